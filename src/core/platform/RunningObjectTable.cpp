#include "core/platform/RunningObjectTable.h"

#include <QDir>
#include <QFile>

namespace pictrove::platform {

bool ProcessRunningObjectTable::isWordCommandLine(const QByteArray& cmdline) {
    // A compatibility layer starts the program as "wine C:\...\WINWORD.EXE ..." or under
    // its own loader, so any argument may name it; the name's case varies.
    const QList<QByteArray> args = cmdline.split('\0');
    for (const QByteArray& arg : args) {
        const qsizetype slash = qMax(arg.lastIndexOf('/'), arg.lastIndexOf('\\'));
        if (arg.mid(slash + 1).toLower() == "winword.exe") {
            return true;
        }
    }
    return false;
}

std::optional<QString> ProcessRunningObjectTable::activeObjectName(const QString& progId) {
    if (progId.compare(QStringLiteral("Word.Application"), Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : entries) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric) {
            continue;
        }
        QFile file(proc.filePath(pid + QStringLiteral("/cmdline")));
        if (file.open(QIODevice::ReadOnly) && isWordCommandLine(file.read(64 * 1024))) {
            return QStringLiteral("Microsoft Word");
        }
    }
    return std::nullopt;
}

}  // namespace pictrove::platform
