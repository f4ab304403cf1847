#pragma once

#include "core/platform/Launcher.h"
#include "core/platform/Prompts.h"
#include "core/platform/Random.h"
#include "core/platform/RunningObjectTable.h"
#include "gui/ui/QtFileDialog.h"
#include "gui/ui/QtFolderDialog.h"

namespace pictrove::platform {

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
