#pragma once

#include "core/platform/Launcher.h"
#include "core/platform/Prompts.h"
#include "core/platform/Random.h"
#include "core/platform/RunningObjectTable.h"
#include "gui/ui/QtFileDialog.h"
#include "gui/ui/QtFolderDialog.h"

class QMessageBox;

namespace pictrove::platform {

// Gives a message box its text so that the box stays readable: wide enough for the
// program's title in the frame, and no wider than about half a small screen. Sentences
// wrap; a word too wide for that (a long path has no blank to wrap at) is cut in the
// middle, keeping the file name, and the box then carries the whole text behind its
// details button. Call
// it after setting the icon: a new icon lays the box out anew.
void SetMessageBoxText(QMessageBox& box, const QString& text);

// Message boxes and the input prompt as Qt dialogs with the program's title.
class QtPrompts final : public Prompts {
  public:
    MsgResult message(const QString& text, MsgButtons buttons, MsgIcon icon) override;
    QString input(const QString& prompt, const QString& defaultText) override;
};

// Web addresses through the desktop's URL handler.
class QtLauncher final : public Launcher {
  public:
    void openAddress(const QString& address) override;
};

// The desktop program's implementations of every service, installed at start.
class QtServices {
  public:
    void install();

  private:
    QtPrompts prompts_;
    QtLauncher launcher_;
    StdRandom random_;
    ProcessRunningObjectTable runningObjects_;
    QtFolderDialog folderBrowser_;
    QtFileDialog fileDialog_;
};

}  // namespace pictrove::platform
