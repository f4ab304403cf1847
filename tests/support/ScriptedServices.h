#pragma once

#include "core/platform/FileDialog.h"
#include "core/platform/FolderBrowser.h"
#include "core/platform/Launcher.h"
#include "core/platform/Prompts.h"
#include "core/platform/Random.h"
#include "core/platform/RunningObjectTable.h"
#include "core/platform/Services.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace pictrove::test {

// Answers message boxes and input prompts from a script and records what was asked.
class ScriptedPrompts final : public platform::Prompts {
  public:
    struct Message {
        QString text;
        platform::MsgButtons buttons;
        platform::MsgIcon icon;
    };

    platform::MsgResult message(const QString& text, platform::MsgButtons buttons,
                                platform::MsgIcon icon) override;
    QString input(const QString& prompt, const QString& defaultText) override;

    // Answers for the next Yes/No boxes (No when the script runs out).
    QList<platform::MsgResult> yesNoAnswers;
    // Answers for the next input prompts ("" — a cancel — when the script runs out).
    QStringList inputAnswers;

    QList<Message> messages;
    QList<QPair<QString, QString>> inputs;  // prompt, default
};

class ScriptedLauncher final : public platform::Launcher {
  public:
    void openAddress(const QString& address) override { opened << address; }
    QStringList opened;
};

// Returns the scripted fractions in turn, repeating the last one.
class ScriptedRandom final : public platform::Random {
  public:
    void seed(quint32 value) override { seeds << value; }
    double next() override;

    QList<double> fractions{0.5};
    QList<quint32> seeds;

  private:
    int index_ = 0;
};

// A running word processor, or none, as the test says.
class ScriptedRunningObjects final : public platform::RunningObjectTable {
  public:
    std::optional<QString> activeObjectName(const QString& progId) override {
        lookups << progId;
        return runningName;
    }
    std::optional<QString> runningName;  // nullopt: nothing runs
    QStringList lookups;
};

// Answers the folder browser from a script ("" — a cancel — when it runs out) and
// records what was shown.
class ScriptedFolderBrowser final : public platform::FolderBrowser {
  public:
    struct Call {
        QWidget* owner;
        QString text;
    };
    QString browse(QWidget* owner, const QString& text) override;

    QStringList answers;
    QList<Call> calls;
};

// Answers the open dialog from a script of chosen full paths (an empty list — a cancel
// — when it runs out) and records each request with the properties set at the time.
class ScriptedFileDialog final : public platform::FileDialog {
  public:
    struct Call {
        QWidget* owner;
        Request request;
        QString fileName;
        qint32 flags;
        int maxFileSize;
    };

    QList<QStringList> answers;
    QList<Call> calls;

  protected:
    std::optional<QStringList> pickFiles(QWidget* owner, const Request& request) override;
};

// Installs scripted services for the lifetime of the object and restores the previous
// ones afterwards. endProgram only counts calls.
class ScriptedServices {
  public:
    ScriptedServices();
    ~ScriptedServices();
    ScriptedServices(const ScriptedServices&) = delete;
    ScriptedServices& operator=(const ScriptedServices&) = delete;

    ScriptedPrompts prompts;
    ScriptedLauncher launcher;
    ScriptedRandom random;
    ScriptedRunningObjects runningObjects;
    ScriptedFolderBrowser folderBrowser;
    ScriptedFileDialog fileDialog;
    int endProgramCalls = 0;

  private:
    platform::Services saved_;
};

}  // namespace pictrove::test
