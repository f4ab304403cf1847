#include "gui/dialogs/QtCommonDialogs.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace pictrove::platform {

using namespace pictrove::dialogs;

namespace {

QString stripAtNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

}  // namespace

QStringList qtNameFilters(const QList<FilterPair>& pairs) {
    QStringList filters;
    for (const FilterPair& pair : pairs) {
        QString patterns = pair.patterns;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString suffix = QLatin1Char('(') + patterns + QLatin1Char(')');
        filters.append(pair.description.trimmed().endsWith(suffix)
                           ? pair.description
                           : pair.description + QLatin1Char(' ') + suffix);
    }
    return filters;
}

QColor colorFromColorRef(std::uint32_t colorRef) {
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

std::uint32_t colorRefFromColor(const QColor& color) {
    const QRgb rgb = color.rgb();
    return std::uint32_t(qRed(rgb)) | (std::uint32_t(qGreen(rgb)) << 8) |
           (std::uint32_t(qBlue(rgb)) << 16);
}

std::int32_t QtCommonDialogs::getOpenFileName(OpenFileNameRecord& record) {
    return runFileDialog(record, false);
}

std::int32_t QtCommonDialogs::getSaveFileName(OpenFileNameRecord& record) {
    return runFileDialog(record, true);
}

std::int32_t QtCommonDialogs::runFileDialog(OpenFileNameRecord& record, bool save) {
    lastError_ = 0;
    if (record.lpstrFile.isNull() || record.nMaxFile == 0) {
        lastError_ = CDERR_INITIALIZATION;  // no buffer to return a name in
        return 0;
    }
    QFileDialog dialog(nullptr);
    dialog.setWindowTitle(!record.lpstrTitle.isNull() ? record.lpstrTitle
                          : save                      ? QStringLiteral("Save As")
                                                      : QStringLiteral("Open"));
    const bool multi = !save && (record.Flags & OFN_ALLOWMULTISELECT);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !(record.Flags & OFN_OVERWRITEPROMPT));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(multi                                ? QFileDialog::ExistingFiles
                           : (record.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                                : QFileDialog::AnyFile);
    }
    const QStringList filters = qtNameFilters(filterPairs(record.lpstrFilter));
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index = qsizetype(std::int32_t(record.nFilterIndex));
        dialog.selectNameFilter(
            filters.value(index >= 1 && index <= filters.size() ? index - 1 : 0));
    }
    if (!record.lpstrInitialDir.isEmpty()) {
        dialog.setDirectory(record.lpstrInitialDir);
    }
    if (!record.lpstrDefExt.isEmpty()) {
        dialog.setDefaultSuffix(record.lpstrDefExt);
    }
    // The offered name arrives padded with blanks to the buffer's size.
    QString offered = stripAtNull(record.lpstrFile);
    while (offered.endsWith(QLatin1Char(' '))) {
        offered.chop(1);
    }
    if (!offered.isEmpty()) {
        dialog.selectFile(offered);
    }

    if (dialog.exec() != QDialog::Accepted) {
        return 0;  // a plain cancel: extended error 0
    }
    QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return 0;
    }
    for (QString& path : chosen) {
        path = QDir::toNativeSeparators(path);
    }
    QString fileText;
    const QString title = QFileInfo(chosen.first()).fileName();
    if (multi && chosen.size() > 1) {
        // The folder, then every name, each followed by a NUL; the terminator that
        // storeChosenFile adds ends the list.
        fileText = QDir::toNativeSeparators(QFileInfo(chosen.first()).absolutePath());
        for (const QString& path : std::as_const(chosen)) {
            fileText += QChar(u'\0') + QFileInfo(path).fileName();
        }
        fileText += QChar(u'\0');
    } else {
        fileText = chosen.first();
    }
    lastError_ = storeChosenFile(record, fileText, title);
    return lastError_ == 0 ? 1 : 0;
}

std::int32_t QtCommonDialogs::chooseColor(ChooseColorRecord& record) {
    lastError_ = 0;
    if (!record.lpCustColors) {
        lastError_ = CDERR_INITIALIZATION;
        return 0;
    }
    for (int i = 0; i < 16; ++i) {
        QColorDialog::setCustomColor(i, colorFromColorRef((*record.lpCustColors)[size_t(i)]));
    }
    QColorDialog dialog(nullptr);
    if (record.Flags & CC_RGBINIT) {
        dialog.setCurrentColor(colorFromColorRef(record.rgbResult));
    } else {
        dialog.setCurrentColor(Qt::black);
    }
    const bool accepted = dialog.exec() == QDialog::Accepted;
    for (int i = 0; i < 16; ++i) {
        (*record.lpCustColors)[size_t(i)] = colorRefFromColor(QColorDialog::customColor(i));
    }
    if (!accepted) {
        return 0;
    }
    record.rgbResult = colorRefFromColor(dialog.selectedColor());
    return 1;
}

std::optional<ShellItem> QtCommonDialogs::browseForFolder(const BrowseInfoRecord& record) {
    const QString folder = QFileDialog::getExistingDirectory(nullptr, record.lpszTitle);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return ShellItem{QDir::toNativeSeparators(folder)};
}

}  // namespace pictrove::platform
