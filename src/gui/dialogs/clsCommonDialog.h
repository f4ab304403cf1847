#pragma once

#include "gui/dialogs/CommonDialogPlatform.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <optional>

namespace pictrove::dialogs {

// An error a dialog method raises to its caller, returned instead of thrown.
struct DialogError {
    std::int32_t number = 0;
    QString description;

    bool operator==(const DialogError&) const = default;
};

// Raised by ShowOpen and ShowSave when CancelError is set and no name was chosen.
inline constexpr std::int32_t kFileDialogCancelError = 2001;
// Raised by ShowColor when CancelError is set and no colour was chosen.
inline constexpr std::int32_t kColorDialogCancelError = std::int32_t(0x8004037Eu);

// The open, save, colour and folder dialogs behind one set of properties: set the
// properties, call one method, read the results back from the properties (or, for
// BrowseFolder, from the returned text). Properties persist across calls, so a second
// ShowOpen offers the file the first one chose.
//
// A null QString is the absent string and reaches the dialogs as a null pointer; an
// empty QString is an empty string.
class clsCommonDialog {
  public:
    // Over the platform's own dialogs (Qt's, modal, without owner window).
    clsCommonDialog();
    // Over the given dialogs, which must outlive the instance.
    explicit clsCommonDialog(CommonDialogPlatform& platform);

    // Filter list: descriptions and patterns in alternation, separated by "|".
    const QString& Filter() const { return filter_; }
    void setFilter(const QString& value) { filter_ = value; }
    // 1-based filter pair preselected in the file dialogs; never changed by a dialog.
    std::int16_t FilterIndex() const { return filterIndex_; }
    void setFilterIndex(std::int16_t value) { filterIndex_ = value; }
    // The name offered to the file dialogs; the chosen name afterwards.
    const QString& Filename() const { return filename_; }
    void setFilename(const QString& value) { filename_ = value; }
    // The chosen name without folder.
    const QString& FileTitle() const { return fileTitle_; }
    void setFileTitle(const QString& value) { fileTitle_ = value; }
    // Extension the file dialogs append when the user types none.
    const QString& DefaultExt() const { return defaultExt_; }
    void setDefaultExt(const QString& value) { defaultExt_ = value; }
    const QString& DialogTitle() const { return dialogTitle_; }
    void setDialogTitle(const QString& value) { dialogTitle_ = value; }
    const QString& InitDir() const { return initDir_; }
    void setInitDir(const QString& value) { initDir_ = value; }
    // Option bits handed unchanged to the file and colour dialogs; never changed by them.
    std::int32_t flags() const { return flags_; }
    void setFlags(std::int32_t value) { flags_ = value; }
    // Characters of the Filename and FileTitle buffers, terminator included.
    std::int32_t MaxFileSize() const { return maxFileSize_; }
    void setMaxFileSize(std::int32_t value) { maxFileSize_ = value; }
    // Colour offered to and returned by the colour dialog, 0x00BBGGRR.
    std::int32_t Color() const { return color_; }
    void setColor(std::int32_t value) { color_ = value; }
    // When true, a dialog closed without a result returns a DialogError.
    bool CancelError() const { return cancelError_; }
    void setCancelError(bool value) { cancelError_ = value; }
    // 3 once ShowColor has run; the file dialogs leave it as it is.
    std::int16_t Action() const { return action_; }
    // The platform dialog's own result of the last ShowOpen, ShowSave or ShowColor.
    std::int32_t APIReturn() const { return apiReturn_; }
    // The platform's extended error code of the last failed dialog, else 0.
    std::int32_t ExtendedError() const { return extendedError_; }
    // Kept only: stored and returned unchanged.
    std::int32_t hDC() const { return hDC_; }
    void setHDC(std::int32_t value) { hDC_ = value; }
    std::int32_t Max() const { return max_; }
    void setMax(std::int32_t value) { max_ = value; }
    std::int32_t Min() const { return min_; }
    void setMin(std::int32_t value) { min_ = value; }
    QObject* Object() const { return object_; }
    void setObject(QObject* value) { object_ = value; }

    // The open-file dialog. Results in Filename and FileTitle; see ShowFileDialog.
    [[nodiscard]] std::optional<DialogError> ShowOpen();
    // The save-file dialog, otherwise as ShowOpen.
    [[nodiscard]] std::optional<DialogError> ShowSave();
    // The colour dialog, offering Color and sixteen white custom colours (built anew
    // for every call). Sets Action to 3; the chosen colour goes to Color. With
    // CancelError set, no colour chosen returns 0x8004037E "Cancel Pressed".
    [[nodiscard]] std::optional<DialogError> ShowColor();
    // The folder browser with the given prompt; the chosen folder's path, or "" when
    // the user cancels or picks an item outside the file system. Reads and changes no
    // property.
    QString BrowseFolder(const QString& szDialogTitle);

    // The characters before the first NUL; the whole text when it holds none.
    static QString StripAtNull(const QString& text);
    // The filter with every "|" replaced by a NUL, followed by one more NUL; an empty
    // or null filter gives a single NUL. The dialogs' own terminator then ends the list
    // with the empty string they require.
    static QString FilterToApi(const QString& filter);

  private:
    // The file dialogs (kind 1 open, 2 save; any other kind shows nothing).
    // MaxFileSize below 1 shows no dialog and raises nothing. The Filename and
    // FileTitle buffers hold MaxFileSize - 1 characters and a NUL: longer names are
    // cut, shorter ones padded with blanks. On success Filename and FileTitle receive
    // the dialog's texts up to their first NUL; with no result ExtendedError gets the
    // platform's code and, when CancelError is set, error 2001 is returned.
    std::optional<DialogError> ShowFileDialog(std::int16_t kind);

    CommonDialogPlatform& platform_;

    QString filter_;
    std::int16_t filterIndex_ = 0;
    QString filename_;
    QString fileTitle_;
    QString defaultExt_;
    QString dialogTitle_;
    QString initDir_;
    std::int32_t flags_ = 0;
    std::int32_t maxFileSize_ = 0;
    std::int32_t color_ = 0;
    bool cancelError_ = false;
    std::int16_t action_ = 0;
    std::int32_t apiReturn_ = 0;
    std::int32_t extendedError_ = 0;
    std::int32_t hDC_ = 0;
    std::int32_t max_ = 0;
    std::int32_t min_ = 0;
    QPointer<QObject> object_;
};

}  // namespace pictrove::dialogs
