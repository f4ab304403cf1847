#include "core/scan/DocumentPaths.h"

#include <QDir>

namespace pictrove::queue {

QString CollapseDoubledSeparators(const QString& path) {
    const QChar separator = QDir::separator();
    QString doubled(2, separator);
    return QString(path).replace(doubled, QString(separator));
}

QStringList SelectionPaths(const QString& selection) {
    QStringList parts = selection.split(QChar(u'\0'));
    if (parts.size() == 1) {
        return parts;
    }
    QStringList paths;
    paths.reserve(parts.size() - 1);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        paths.append(CollapseDoubledSeparators(parts[0] + QDir::separator() + parts[i]));
    }
    return paths;
}

std::optional<QStringList> TreeDocumentPaths(const QString& folder, const QString& pattern,
                                             Collapse collapse, const YieldPoint& yield) {
    const QChar separator = QDir::separator();
    QStringList folders{folder + separator};
    if (CollectSubfolders(folders, true, yield) != WalkOutcome::Complete) {
        return std::nullopt;
    }
    QStringList paths;
    for (const QString& entry : std::as_const(folders)) {
        // A large tree takes as long to list as to walk: the windows stay live here too.
        if (!yield()) {
            return std::nullopt;
        }
        const QString dir = entry.chopped(1);
        const QStringList names = ListFiles(dir, pattern);
        for (const QString& name : names) {
            if (name.startsWith(u'~')) {
                continue;
            }
            const QString path = dir + separator + name;
            paths.append(collapse == Collapse::DoubledSeparators ? CollapseDoubledSeparators(path)
                                                                 : path);
        }
    }
    return paths;
}

std::optional<QStringList> FolderDocumentPaths(const QString& folder, const QString& extension,
                                               const YieldPoint& yield) {
    return TreeDocumentPaths(folder, QStringLiteral("*.") + extension, Collapse::DoubledSeparators,
                             yield);
}

}  // namespace pictrove::queue
