#include "gui/main/CommandLine.h"

#include <QDir>

namespace pictrove::shell {

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (optionsEnded || !a.startsWith(u'-') || a == u"-") {
            if (!a.isEmpty()) {
                line.documents.append(
                    QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(a))));
            }
        } else if (a == u"--") {
            optionsEnded = true;
        } else if (a == u"-h" || a == u"--help") {
            line.action = CommandLine::Action::Help;
            return line;
        } else if (a == u"-V" || a == u"--version") {
            line.action = CommandLine::Action::Version;
            return line;
        } else {
            line.action = CommandLine::Action::Usage;
            line.error = QStringLiteral("unknown option ") + a;
            return line;
        }
    }
    return line;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "usage: pictrove [FILE...]\n"
        "\n"
        "Opens the main window. Each FILE is queued in the document list as if it had\n"
        "been dropped on it: a file as it is, a folder with every file of its whole\n"
        "tree except names beginning with '~'.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -V, --version  show the version and exit\n"
        "  --             end of the options: the arguments after it are FILEs\n"
        "\n"
        "The options of every Qt program (-platform, -style, ...) are taken as well.\n");
}

QString CommandLineVersion() {
    return QStringLiteral("pictrove " PICTROVE_VERSION "\n");
}

}  // namespace pictrove::shell
