#pragma once

#include "gui/ui/ShellHelpers.h"

#include <QTemporaryDir>

namespace pictrove::test {

// An empty temporary folder that stands in for the folder of the executable (where the
// hand cursor and the skin are looked for) while the object lives.
class ProgramFolderSandbox {
  public:
    ProgramFolderSandbox() { shell::SetProgramFolderForTesting(dir_.path()); }
    ~ProgramFolderSandbox() { shell::SetProgramFolderForTesting(QString()); }
    ProgramFolderSandbox(const ProgramFolderSandbox&) = delete;
    ProgramFolderSandbox& operator=(const ProgramFolderSandbox&) = delete;

    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

  private:
    QTemporaryDir dir_;
};

}  // namespace pictrove::test
