#include "gui/ui/Pointer.h"

namespace pictrove::shell {

void WindowPointer::setKind(qint16 kind) {
    kind_ = kind;
    apply();
}

void WindowPointer::setCustomCursor(std::optional<QCursor> cursor) {
    custom_ = std::move(cursor);
    apply();
}

void WindowPointer::apply() {
    if (!window_) {
        return;
    }
    switch (kind_) {
        case kPointerHourglass:
            window_->setCursor(Qt::WaitCursor);
            break;
        case kPointerCustom:
            if (custom_) {
                window_->setCursor(*custom_);
            } else {
                window_->unsetCursor();
            }
            break;
        default:
            window_->unsetCursor();
            break;
    }
}

}  // namespace pictrove::shell
