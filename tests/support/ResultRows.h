#pragma once

#include "core/extract/Results.h"

#include <QList>
#include <QString>

#include <tuple>

namespace pictrove::test {

// Rows and holders as a run leaves them, from (document, picture number, picture).
inline extract::ResultStore resultRows(
    const QList<std::tuple<QString, QString, picture::Picture>>& rows) {
    extract::ResultStore s;
    for (int i = 0; i < rows.size(); ++i) {
        const auto& [document, number, picture] = rows[i];
        s.setRowNumber(s.appendRow(document), number);
        if (i > 0) {
            s.createHolder(i);
        }
        s.setHolder(i, picture);
    }
    return s;
}

}  // namespace pictrove::test
