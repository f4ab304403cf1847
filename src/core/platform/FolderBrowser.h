#pragma once

#include <QString>

class QWidget;

namespace pictrove::platform {

// The desktop's folder browser: a modal dialog over `owner` that offers file-system
// folders only and opens at the top of the file system every time.
class FolderBrowser {
  public:
    virtual ~FolderBrowser() = default;

    // Shows `text` with the folder tree and returns the chosen folder's full path, or ""
    // when the user cancels or closes the dialog.
    virtual QString browse(QWidget* owner, const QString& text) = 0;
};

}  // namespace pictrove::platform
