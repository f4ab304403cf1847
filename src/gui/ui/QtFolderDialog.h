#pragma once

#include "core/platform/FolderBrowser.h"

namespace pictrove::platform {

// The folder browser as a folder-only QFileDialog. The text goes into the window's
// title bar; the dialog opens at the file-system root every time.
class QtFolderDialog final : public FolderBrowser {
  public:
    QString browse(QWidget* owner, const QString& text) override;
};

}  // namespace pictrove::platform
