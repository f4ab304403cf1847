#include "gui/dialogs/clsCommonDialog.h"

#include "gui/dialogs/QtCommonDialogs.h"

#include <array>

namespace pictrove::dialogs {

namespace {

// Longest buffer we build. Larger MaxFileSize values fail to allocate, which ends the
// file dialog silently like any other error inside it.
constexpr std::int32_t kMaxBufferChars = 1 << 20;

// MaxFileSize - 1 characters of `text`, padded with blanks, then a NUL. A null text
// counts as empty.
QString fileBuffer(const QString& text, std::int32_t size) {
    QString buffer = text.left(size - 1);
    buffer.resize(size - 1, QLatin1Char(' '));
    buffer.append(QChar(u'\0'));
    return buffer;
}

CommonDialogPlatform& qtDialogs() {
    static platform::QtCommonDialogs dialogs;
    return dialogs;
}

}  // namespace

clsCommonDialog::clsCommonDialog() : clsCommonDialog(qtDialogs()) {}

clsCommonDialog::clsCommonDialog(CommonDialogPlatform& platform) : platform_(platform) {
    hDC_ = 0;
    maxFileSize_ = 256;
    max_ = 256;
    fileTitle_ = QString();
    dialogTitle_ = QStringLiteral("Please Select a File");
    initDir_ = QString();
    defaultExt_ = QString();
}

QString clsCommonDialog::StripAtNull(const QString& text) {
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

QString clsCommonDialog::FilterToApi(const QString& filter) {
    QString api = filter;
    api.replace(QLatin1Char('|'), QChar(u'\0'));
    api.append(QChar(u'\0'));
    return api;
}

std::optional<DialogError> clsCommonDialog::ShowOpen() {
    return ShowFileDialog(1);
}

std::optional<DialogError> clsCommonDialog::ShowSave() {
    return ShowFileDialog(2);
}

std::optional<DialogError> clsCommonDialog::ShowFileDialog(std::int16_t kind) {
    apiReturn_ = 0;
    extendedError_ = 0;
    if (kind != 1 && kind != 2) {
        return std::nullopt;
    }
    // Below 1 there is no buffer to build; the dialog is not shown and nothing raised.
    if (maxFileSize_ < 1 || maxFileSize_ > kMaxBufferChars) {
        return std::nullopt;
    }

    OpenFileNameRecord record;
    record.lStructSize = 76;
    // The dialog reads the list up to the empty string our terminator makes.
    record.lpstrFilter = FilterToApi(filter_) + QChar(u'\0');
    record.nFilterIndex = std::uint32_t(std::int32_t(filterIndex_));  // widened with its sign
    record.lpstrFile = fileBuffer(filename_, maxFileSize_);
    // Every size, 255 included, is handed on as it is: a capacity of 0 for 255 would
    // only make a dialog that can never return a name.
    record.nMaxFile = std::uint32_t(maxFileSize_);
    record.lpstrFileTitle = fileBuffer(fileTitle_, maxFileSize_);
    record.nMaxFileTitle = record.nMaxFile;
    record.lpstrInitialDir = initDir_;
    record.lpstrTitle = dialogTitle_;
    record.Flags = std::uint32_t(flags_);
    record.lpstrDefExt = defaultExt_;

    apiReturn_ = kind == 1 ? platform_.getOpenFileName(record) : platform_.getSaveFileName(record);
    if (apiReturn_ == 1) {
        filename_ = StripAtNull(record.lpstrFile);
        fileTitle_ = StripAtNull(record.lpstrFileTitle);
        return std::nullopt;
    }
    extendedError_ = platform_.extendedError();
    if (apiReturn_ == 0 && cancelError_) {
        return DialogError{kFileDialogCancelError, QString()};
    }
    return std::nullopt;
}

std::optional<DialogError> clsCommonDialog::ShowColor() {
    action_ = 3;
    apiReturn_ = 0;
    extendedError_ = 0;

    // Built afresh for every call: colours the user defines are not kept.
    std::array<std::uint32_t, 16> customColors;
    customColors.fill(0x00FFFFFFu);

    ChooseColorRecord record;
    record.lStructSize = 36;
    record.rgbResult = std::uint32_t(color_);
    record.lpCustColors = &customColors;
    record.Flags = std::uint32_t(flags_);

    apiReturn_ = platform_.chooseColor(record);
    if (apiReturn_ == 1) {
        color_ = std::int32_t(record.rgbResult);
        return std::nullopt;
    }
    extendedError_ = platform_.extendedError();
    if (apiReturn_ == 0 && cancelError_) {
        return DialogError{kColorDialogCancelError, QStringLiteral("Cancel Pressed")};
    }
    return std::nullopt;
}

QString clsCommonDialog::BrowseFolder(const QString& szDialogTitle) {
    BrowseInfoRecord record;
    record.lpszTitle = szDialogTitle;
    record.ulFlags = BIF_RETURNONLYFSDIRS;
    const std::optional<ShellItem> item = platform_.browseForFolder(record);
    QString buffer(512, QLatin1Char(' '));
    if (item && pathFromShellItem(*item, buffer)) {
        return StripAtNull(buffer);
    }
    return QStringLiteral("");
}

}  // namespace pictrove::dialogs
