#include "ScriptedServices.h"

#include "core/platform/Services.h"

namespace pictrove::test {

platform::MsgResult ScriptedPrompts::message(const QString& text, platform::MsgButtons buttons,
                                             platform::MsgIcon icon) {
    messages.append({text, buttons, icon});
    if (buttons == platform::MsgButtons::Ok) {
        return platform::MsgResult::Ok;
    }
    return yesNoAnswers.isEmpty() ? platform::MsgResult::No : yesNoAnswers.takeFirst();
}

QString ScriptedPrompts::input(const QString& prompt, const QString& defaultText) {
    inputs.append({prompt, defaultText});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
}

double ScriptedRandom::next() {
    const double value = fractions.at(qMin(index_, int(fractions.size()) - 1));
    ++index_;
    return value;
}

QString ScriptedFolderBrowser::browse(QWidget* owner, const QString& text) {
    calls.append({owner, text});
    return answers.isEmpty() ? QString() : answers.takeFirst();
}

std::optional<QStringList> ScriptedFileDialog::pickFiles(QWidget* owner, const Request& request) {
    calls.append({owner, request, FileName, Flags, MaxFileSize});
    const QStringList chosen = answers.isEmpty() ? QStringList() : answers.takeFirst();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return chosen;
}

ScriptedServices::ScriptedServices() : saved_(platform::services()) {
    platform::Services& s = platform::services();
    s.prompts = &prompts;
    s.launcher = &launcher;
    s.random = &random;
    s.runningObjects = &runningObjects;
    s.folderBrowser = &folderBrowser;
    s.fileDialog = &fileDialog;
    s.endProgram = [this] { ++endProgramCalls; };
    platform::setProgramEnding(false);
}

ScriptedServices::~ScriptedServices() {
    platform::services() = saved_;
}

}  // namespace pictrove::test
