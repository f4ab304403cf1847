#include "core/platform/ReplaceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pictrove::platform {

bool replaceFile(const QString& path, std::initializer_list<QByteArrayView> pieces,
                 QString* error) {
    const QFileInfo target(path);
    // A fresh name in the target folder, so that the rename stays on one file system.
    // NewOnly never opens an existing file.
    QFile temp(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
               QStringLiteral(".%1.part")
                   .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
    if (!temp.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (error) {
            *error = temp.errorString();
        }
        return false;
    }
    bool written = true;
    for (const QByteArrayView bytes : pieces) {
        written = written && temp.write(bytes.data(), bytes.size()) == bytes.size();
    }
    written = written && temp.flush();
    const QString writeError = temp.errorString();
    temp.close();
    if (!written || temp.error() != QFileDevice::NoError) {
        if (error) {
            *error = written ? temp.errorString() : writeError;
        }
        temp.remove();
        return false;
    }
    // rename replaces the target in one step.
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        if (error) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
        }
        temp.remove();
        return false;
    }
    return true;
}

}  // namespace pictrove::platform
