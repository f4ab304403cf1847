#include "core/platform/FileDialog.h"

#include <QDir>
#include <QFileInfo>

namespace pictrove::platform {

QList<FileDialog::NameFilter> FileDialog::parseFilter(const QString& filter) {
    QList<NameFilter> filters;
    const QStringList parts = filter.split(u'|');
    // A description without a pattern after it is dropped, as the control does.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters.append({parts[i], parts[i + 1]});
    }
    return filters;
}

QString FileDialog::selectionString(const QStringList& paths) {
    if (paths.size() == 1) {
        return QDir::toNativeSeparators(paths.first());
    }
    const QString folder = QDir::cleanPath(QFileInfo(paths.first()).path());
    QStringList parts{QDir::toNativeSeparators(folder)};
    for (const QString& path : paths) {
        parts.append(QFileInfo(path).fileName());
    }
    return parts.join(QChar(u'\0'));
}

FileDialog::Outcome FileDialog::ShowOpen(QWidget* owner) {
    Request request;
    request.title = DialogTitle;
    request.filters = parseFilter(Filter);
    request.filterIndex = qBound(0, FilterIndex - 1, qMax(0, int(request.filters.size()) - 1));
    request.multiSelect = (Flags & AllowMultiSelect) != 0;

    const std::optional<QStringList> paths = pickFiles(owner, request);
    if (!paths || paths->isEmpty()) {
        return Outcome::Cancelled;
    }
    const QString selection = selectionString(*paths);
    if (selection.size() + 1 > MaxFileSize) {
        return Outcome::BufferTooSmall;
    }
    FileName = selection;
    return Outcome::Chosen;
}

}  // namespace pictrove::platform
