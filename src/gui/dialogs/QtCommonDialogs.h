#pragma once

#include "gui/dialogs/CommonDialogPlatform.h"

#include <QColor>
#include <QStringList>

namespace pictrove::platform {

// The common dialogs as Qt shows them: QFileDialog for open and save, QColorDialog
// for colours, a directory-only QFileDialog for the folder browser. Each runs modally
// without owner window and answers through the records as the common dialog library
// does.
class QtCommonDialogs final : public dialogs::CommonDialogPlatform {
  public:
    std::int32_t getOpenFileName(dialogs::OpenFileNameRecord& record) override;
    std::int32_t getSaveFileName(dialogs::OpenFileNameRecord& record) override;
    std::int32_t chooseColor(dialogs::ChooseColorRecord& record) override;
    std::optional<dialogs::ShellItem> browseForFolder(
        const dialogs::BrowseInfoRecord& record) override;
    std::int32_t extendedError() override { return lastError_; }

  private:
    std::int32_t runFileDialog(dialogs::OpenFileNameRecord& record, bool save);

    std::int32_t lastError_ = 0;
};

// The filter pairs as QFileDialog name filters: "Description (pattern pattern)", the
// description alone when it already ends in its patterns in parentheses.
QStringList qtNameFilters(const QList<dialogs::FilterPair>& pairs);

// 0x00BBGGRR to a colour and back.
QColor colorFromColorRef(std::uint32_t colorRef);
std::uint32_t colorRefFromColor(const QColor& color);

}  // namespace pictrove::platform
