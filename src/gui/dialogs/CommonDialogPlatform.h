#pragma once

#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// The platform's open, save, colour and folder dialogs as clsCommonDialog calls them:
// the same records, the same results and the same extended error codes as the common
// dialog library, so that the class above them can be written as it would be over it.
// Strings stay UTF-16 throughout; where the library converts to a narrow code page,
// the conversion here is the identity.
namespace pictrove::dialogs {

// Extended error codes (CommDlgExtendedError).
inline constexpr std::int32_t CDERR_INITIALIZATION = 0x0002;
inline constexpr std::int32_t FNERR_INVALIDFILENAME = 0x3002;
inline constexpr std::int32_t FNERR_BUFFERTOOSMALL = 0x3003;

// Option bits of the file dialogs that the Qt dialogs honour; the others are carried
// along unchanged.
inline constexpr std::uint32_t OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr std::uint32_t OFN_ALLOWMULTISELECT = 0x00000200;
inline constexpr std::uint32_t OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr std::uint32_t OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr std::uint32_t OFN_EXPLORER = 0x00080000;

// Option bits of the colour dialog.
inline constexpr std::uint32_t CC_RGBINIT = 0x00000001;

// Option bit of the folder browser: only folders of the file system can be confirmed.
inline constexpr std::uint32_t BIF_RETURNONLYFSDIRS = 0x00000001;

// OPENFILENAME, field for field. A null QString is a null pointer; buffers are QStrings
// whose length is their capacity, as the dialog sees the memory behind the pointer.
struct OpenFileNameRecord {
    std::uint32_t lStructSize = 76;
    // Description/pattern pairs, each string followed by a NUL, the list ending in an
    // empty string: the characters as the dialog reads them, terminators included.
    QString lpstrFilter;
    std::uint32_t nFilterIndex = 0;  // 1-based pair; 0 means the custom filter
    QString lpstrFile;               // in: the offered name; out: the chosen name(s)
    std::uint32_t nMaxFile = 0;      // usable characters of lpstrFile, terminator included
    QString lpstrFileTitle;          // out: the chosen name without folder
    std::uint32_t nMaxFileTitle = 0;
    QString lpstrInitialDir;
    QString lpstrTitle;  // null: the dialog's own title
    std::uint32_t Flags = 0;
    std::uint16_t nFileOffset = 0;     // out: where the file name starts in lpstrFile
    std::uint16_t nFileExtension = 0;  // out: where its extension starts, 0 when none
    QString lpstrDefExt;
};

// CHOOSECOLOR, field for field. Colours are 0x00BBGGRR.
struct ChooseColorRecord {
    std::uint32_t lStructSize = 36;
    std::uint32_t rgbResult = 0;
    std::array<std::uint32_t, 16>* lpCustColors = nullptr;  // the custom colour table
    std::uint32_t Flags = 0;
};

// BROWSEINFO, the fields the folder browser reads.
struct BrowseInfoRecord {
    QString lpszTitle;
    std::uint32_t ulFlags = 0;
};

// The item the folder browser returns. An item outside the file system (a virtual
// folder) has no path.
struct ShellItem {
    QString path;
};

struct FilterPair {
    QString description;
    QString patterns;  // ";"-separated, as the dialogs take them

    bool operator==(const FilterPair&) const = default;
};

class CommonDialogPlatform {
  public:
    virtual ~CommonDialogPlatform() = default;

    // GetOpenFileName / GetSaveFileName: show the dialog the record describes, modal
    // and without owner. Return 1 when a name was chosen and stored in the record's
    // buffers (see storeChosenFile), 0 when the user cancelled or the dialog failed;
    // extendedError() then tells which.
    virtual std::int32_t getOpenFileName(OpenFileNameRecord& record) = 0;
    virtual std::int32_t getSaveFileName(OpenFileNameRecord& record) = 0;

    // ChooseColor: offers rgbResult and the custom colour table; returns 1 with the
    // chosen colour in rgbResult, 0 when cancelled or failed.
    virtual std::int32_t chooseColor(ChooseColorRecord& record) = 0;

    // SHBrowseForFolder: the chosen item, or none when the user cancels.
    virtual std::optional<ShellItem> browseForFolder(const BrowseInfoRecord& record) = 0;

    // CommDlgExtendedError: the code of the last file or colour dialog call that
    // returned 0; 0 when that call was a plain cancel.
    virtual std::int32_t extendedError() = 0;
};

// The pairs a file dialog reads from lpstrFilter: strings in alternation until an
// empty string or the end of the text. A description without its pattern is dropped.
QList<FilterPair> filterPairs(const QString& apiFilter);

// Stores a dialog's answer into the record as the file dialogs do: `fileText` (one
// path, or for a multiple selection the folder and the names each followed by a NUL)
// and `title` go into lpstrFile and lpstrFileTitle, each with its terminator, and
// nFileOffset/nFileExtension are set. Returns 0, or FNERR_BUFFERTOOSMALL and leaves
// the buffers alone when a text and its terminator do not fit the given capacity.
std::int32_t storeChosenFile(OpenFileNameRecord& record, const QString& fileText,
                             const QString& title);

// SHGetPathFromIDList: writes the item's path and a NUL into `buffer` (its length is
// its capacity). False for an item without a file-system path or a path that does not
// fit; the buffer is then unchanged.
bool pathFromShellItem(const ShellItem& item, QString& buffer);

}  // namespace pictrove::dialogs
