#pragma once

#include <QStringList>
#include <QStringView>

namespace pictrove::queue {

// The order in which a folder's names are listed to the user: letter case ignored, and
// runs of digits compared by their value, so "img2" comes before "img10" as it does in
// the desktop's file manager. Names that differ only in letter case or in leading
// zeros are ordered by the fewer zeros, then by their code points, so the order is
// total and does not depend on the locale.
bool NameLess(QStringView a, QStringView b);

// Sorts `names` by NameLess.
void SortNames(QStringList& names);

}  // namespace pictrove::queue
