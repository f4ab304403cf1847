#pragma once

#include <QString>
#include <QStringList>

namespace pictrove::shell {

// What the arguments of `pictrove` ask for.
struct CommandLine {
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    // For Run: the documents and folders to queue at start, in the order given, each
    // made absolute against the current folder (a drop gives absolute paths too).
    QStringList documents;
    // For Usage: what is wrong with the arguments.
    QString error;
};

// `arguments` starts with the program's name, as QCoreApplication::arguments() gives
// them. "--" ends the options; an empty argument names nothing and is skipped.
CommandLine ParseCommandLine(const QStringList& arguments);

// The text of --help (its first line is the usage line), and of --version.
QString CommandLineHelp();
QString CommandLineVersion();

}  // namespace pictrove::shell
