#include "FolderTree.h"

#include <QDir>
#include <QDirIterator>
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

QStringList listingOrder(const QString& folder, bool foldersOnly) {
    QStringList names;
    const QDir::Filters filters = (foldersOnly ? QDir::Dirs : QDir::Files) | QDir::Hidden |
                                  QDir::System | QDir::NoDotAndDotDot;
    QDirIterator it(folder, filters);
    while (it.hasNext()) {
        names.append(it.nextFileInfo().fileName());
    }
    return names;
}

}  // namespace pictrove::test
