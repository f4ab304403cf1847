#pragma once

#include <QString>

namespace pictrove::platform {

enum class MsgButtons { Ok, YesNo };
enum class MsgIcon { None, Exclamation, Information, Critical, Question };
enum class MsgResult { Ok, Yes, No };

// Message boxes and the one-line input prompt. Every message box and prompt of the
// program carries the application's title as its caption, so no caption is passed.
class Prompts {
  public:
    virtual ~Prompts() = default;

    // Shows a modal message box and returns the button pressed. Closing a Yes/No box
    // without a choice answers No.
    virtual MsgResult message(const QString& text, MsgButtons buttons, MsgIcon icon) = 0;

    // Asks for one line of text offering defaultText; returns the text as typed, or ""
    // when the user cancels.
    virtual QString input(const QString& prompt, const QString& defaultText) = 0;
};

}  // namespace pictrove::platform
