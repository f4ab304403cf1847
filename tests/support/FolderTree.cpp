#include "FolderTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pictrove::test {

bool makeTree(const QString& root, const QStringList& entries) {
    QDir dir(root);
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            if (!dir.mkpath(entry)) {
                return false;
            }
            continue;
        }
        const QString path = dir.filePath(entry);
        if (!dir.mkpath(QFileInfo(path).path())) {
            return false;
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write("x") != 1) {
            return false;
        }
    }
    return true;
}

}  // namespace pictrove::test
