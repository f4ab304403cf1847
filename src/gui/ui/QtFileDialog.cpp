#include "gui/ui/QtFileDialog.h"

#include <QFileDialog>

namespace pictrove::platform {

QString qtNameFilter(const FileDialog::NameFilter& filter) {
    QStringList patterns = filter.patterns.split(u';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
        pattern = pattern.trimmed();
        if (pattern == QLatin1String("*.*")) {
            pattern = QStringLiteral("*");
        }
    }
    return filter.description + QStringLiteral(" (") + patterns.join(u' ') + u')';
}

std::optional<QStringList> QtFileDialog::pickFiles(QWidget* owner, const Request& request) {
    QFileDialog dialog(owner, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles
                                           : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const NameFilter& filter : request.filters) {
        filters.append(qtNameFilter(filter));
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.at(request.filterIndex));
    }
    if (!FileName.isEmpty()) {
        dialog.selectFile(FileName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.selectedFiles();
}

}  // namespace pictrove::platform
