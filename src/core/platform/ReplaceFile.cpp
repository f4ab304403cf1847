#include "core/platform/ReplaceFile.h"

#include "core/platform/PathText.h"
#include "core/platform/TemporaryFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pictrove::platform {

namespace {

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, QByteArrayView bytes) {
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

}  // namespace

bool replaceFile(const QString& path, std::initializer_list<QByteArrayView> pieces,
                 QString* error) {
    const QByteArray target = pathToNative(path);
    const qsizetype slash = target.lastIndexOf('/');
    // A short fresh name in the target folder, so that the rename stays on one file system
    // and any target name that fits the file system works.
    const QByteArray temp =
        (slash >= 0 ? target.left(slash + 1) : QByteArray()) + pathToNative(partFileName());
    // Made and registered in one step, so that an interruption never leaves it behind.
    const int fd = makeForCleanup(temp, [&] {
        return ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    });
    if (fd < 0) {
        if (error)
            *error = errorText(errno);
        return false;
    }
    bool written = true;
    for (const QByteArrayView bytes : pieces) {
        written = written && writeAll(fd, bytes);
    }
    int why = written ? 0 : errno;
    if (::close(fd) != 0 && written) {
        written = false;
        why = errno;
    }
    // rename replaces the target in one step.
    if (written && std::rename(temp.constData(), target.constData()) != 0) {
        written = false;
        why = errno;
    }
    if (!written) {
        if (error)
            *error = errorText(why);
        ::unlink(temp.constData());
    }
    unregisterFromCleanup(temp);
    return written;
}

}  // namespace pictrove::platform
