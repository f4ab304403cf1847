#include "gui/ui/QtFolderDialog.h"

#include <QDir>
#include <QFileDialog>

namespace pictrove::platform {

QString QtFolderDialog::browse(QWidget* owner, const QString& text) {
    QFileDialog dialog(owner, text, QDir::rootPath());
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted) {
        return QString();
    }
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace pictrove::platform
