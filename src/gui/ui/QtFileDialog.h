#pragma once

#include "core/platform/FileDialog.h"

namespace pictrove::platform {

// The open-file dialog as a QFileDialog. The read-only check box, the Explorer look
// and long names are what the desktop dialog has anyway.
class QtFileDialog : public FileDialog {
  protected:
    std::optional<QStringList> pickFiles(QWidget* owner, const Request& request) override;
};

// The Qt name filter for one entry of the filter list: the description exactly as
// given, then the patterns for Qt, where "*.*" becomes "*" (names without a dot count
// too). QFileDialog shows only the description (HideNameFilterDetails).
QString qtNameFilter(const FileDialog::NameFilter& filter);

}  // namespace pictrove::platform
