#pragma once

#include "gui/ui/ShellHelpers.h"

#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

namespace pictrove::test {

// An empty temporary folder that stands in for the folder of the executable (where the
// hand cursor and the skin are looked for first) while the object lives. The user's
// data folder ($XDG_DATA_HOME) moves into the sandbox too, so that a skin of the person
// running the tests is never picked up.
class ProgramFolderSandbox {
  public:
    ProgramFolderSandbox()
        : oldDataHome_(qgetenv("XDG_DATA_HOME")),
          hadDataHome_(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
        QDir(root_.path()).mkdir(QStringLiteral("bin"));
        qputenv("XDG_DATA_HOME", root_.filePath(QStringLiteral("user")).toLocal8Bit());
        shell::SetProgramFolderForTesting(path());
    }
    ~ProgramFolderSandbox() {
        shell::SetProgramFolderForTesting(QString());
        if (hadDataHome_) {
            qputenv("XDG_DATA_HOME", oldDataHome_);
        } else {
            qunsetenv("XDG_DATA_HOME");
        }
    }
    ProgramFolderSandbox(const ProgramFolderSandbox&) = delete;
    ProgramFolderSandbox& operator=(const ProgramFolderSandbox&) = delete;

    // The folder of the executable.
    QString path() const { return root_.filePath(QStringLiteral("bin")); }
    QString filePath(const QString& name) const { return path() + QLatin1Char('/') + name; }
    // Everything the sandbox may hold lies below this folder.
    QString root() const { return root_.path(); }

  private:
    QTemporaryDir root_;
    QByteArray oldDataHome_;
    bool hadDataHome_;
};

}  // namespace pictrove::test
