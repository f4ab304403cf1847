#pragma once

#include <QCursor>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace pictrove::shell {

// Pointer kinds of a window.
enum PointerKind : qint16 {
    kPointerDefault = 0,     // the default arrow
    kPointerHourglass = 11,  // busy: a run or a folder scan is going on
    kPointerCustom = 99,     // the window's custom pointer picture (the hand), if loaded
};

// The pointer property of one window: its kind, and the custom pointer picture that
// kind 99 shows. Without a custom picture, kind 99 shows the ordinary arrow.
class WindowPointer {
  public:
    explicit WindowPointer(QWidget* window) : window_(window) {}

    qint16 kind() const { return kind_; }
    void setKind(qint16 kind);
    void setCustomCursor(std::optional<QCursor> cursor);
    bool hasCustomCursor() const { return custom_.has_value(); }

    // The hover rule: the pointer becomes `kind` unless the window is busy (11).
    void hover(qint16 kind) {
        if (kind_ != kPointerHourglass) {
            setKind(kind);
        }
    }

  private:
    void apply();

    QPointer<QWidget> window_;
    qint16 kind_ = kPointerDefault;
    std::optional<QCursor> custom_;
};

}  // namespace pictrove::shell
