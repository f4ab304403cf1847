#pragma once

#include <QString>

#include <optional>

namespace pictrove::platform {

// The table of running automation objects: finds an already running instance of a
// class by its ProgID and reads its default property (an application's name). Never
// starts anything.
class RunningObjectTable {
  public:
    virtual ~RunningObjectTable() = default;
    // The default property of the running instance, or nullopt when none runs.
    virtual std::optional<QString> activeObjectName(const QString& progId) = 0;
};

// Looks for a running word processor among the processes: on this platform Word runs,
// if at all, as WINWORD.EXE under a compatibility layer. Reads /proc where it exists;
// elsewhere finds nothing.
class ProcessRunningObjectTable final : public RunningObjectTable {
  public:
    std::optional<QString> activeObjectName(const QString& progId) override;

    // Whether one process's command line (NUL-separated arguments) is a running Word.
    static bool isWordCommandLine(const QByteArray& cmdline);
};

}  // namespace pictrove::platform
