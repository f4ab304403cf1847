#include "core/extract/RunningWordCheck.h"

#include "core/platform/Prompts.h"
#include "core/platform/RunningObjectTable.h"
#include "core/platform/Services.h"

namespace pictrove::extract {

bool IsWordRunning() {
    platform::RunningObjectTable* table = platform::services().runningObjects;
    if (!table) {
        return false;
    }
    const std::optional<QString> name = table->activeObjectName(QStringLiteral("Word.Application"));
    return name && *name == QStringLiteral("Microsoft Word");
}

bool WarnIfWordOpen() {
    if (!IsWordRunning()) {
        return false;
    }
    platform::Prompts* prompts = platform::services().prompts;
    if (!prompts) {
        return true;
    }
    const QString text = QStringLiteral(
        "Word may be open. It is recommended that you close Word first. Use Ctrl+Alt+Del > Task "
        "Manager > WINWORD.EXE if necessary.\n\nWould you like to proceed anyway?");
    return prompts->message(text, platform::MsgButtons::YesNo, platform::MsgIcon::None) !=
           platform::MsgResult::Yes;
}

}  // namespace pictrove::extract
