#pragma once

#include <QCursor>
#include <QString>

#include <optional>

class QWidget;

namespace pictrove::shell {

// The publisher's home page, opened now and then at start.
inline const QString kHomePage = QStringLiteral("https://pictrove.example.org/");

// The folder of the running executable, as the platform reports it.
QString ProgramFolder();

// Tests place support files beside a folder of their own.
void SetProgramFolderForTesting(const QString& folder);

// The folders a support file (HAND-M.CUR, x/o.cjs) is looked for in, first to last:
// beside the executable (a portable copy, the build folder), the user's data folder
// ($XDG_DATA_HOME/pictrove, by default ~/.local/share/pictrove), and the installed
// data folder (share/pictrove beside the installed bin/, wherever the prefix is).
QStringList SupportFolders();

// The first of the support folders holding `name` (a relative path) as a regular
// file; "" when none does.
QString FindSupportFile(const QString& name);

// True when the path names something whose modification time can be read; false for
// "" and for a missing path. Never reports anything itself.
bool FileExists(const QString& path);

// Places the window so that its outer frame is centred on the primary screen. A window
// larger than the screen is moved right and down as far as needed to keep its top-left
// corner, and so its title bar, on the screen's available area.
void CenterForm(QWidget* window);

// Gives the window, and its frames, labels, option buttons and check boxes, the
// platform's button-face colour. Other controls keep theirs.
void SetButtonFaceColors(QWidget* window);

// Loads the skin (x/o.cjs, a Qt style sheet, found by FindSupportFile) when there is
// one: recolours the main window and applies the sheet to the program. A missing file
// or a folder of that name changes nothing.
void ApplySkin(QWidget* mainWindow);

// On about one start in a hundred, hands the home page to the browser.
void MaybeOpenHomePage();

// The program window (main or results window) that was activated last. Coming back
// from another application is no change of it.
QWidget* LastActiveProgramWindow();
void SetLastActiveProgramWindow(QWidget* window);

// The hand pointer of a window: a Windows cursor file, hotspot honoured. nullopt when
// the file cannot be read or decoded.
std::optional<QCursor> LoadCursorFile(const QString& path);

}  // namespace pictrove::shell
