#include "core/picture/PictureStore.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace pictrove::picture {

#if defined(Q_OS_LINUX)

std::shared_ptr<PictureStore> PictureStore::create() {
    const int fd = memfd_create("pictrove-pictures", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return std::shared_ptr<PictureStore>(new PictureStore(fd));
}

PictureStore::~PictureStore() {
    close(fd_);
}

std::shared_ptr<const PictureStore::Bytes> PictureStore::append(int fd, qint64 from, qint64 size) {
    if (from < 0 || size < 0) {
        return nullptr;
    }
    const qint64 start = end_;
    if (lseek(fd_, start, SEEK_SET) != start) {
        return nullptr;
    }
    off_t in = from;
    qint64 copied = 0;
    while (copied < size) {
        const ssize_t n = sendfile(fd_, fd, &in, size_t(size - copied));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A short file or a full memory: give back what was copied (the next
            // picture goes to the same place anyway).
            [[maybe_unused]] const int rc = ftruncate(fd_, start);
            return nullptr;
        }
        copied += n;
    }
    end_ = start + size;
    held_ += size;
    return std::shared_ptr<const Bytes>(new Bytes(shared_from_this(), start, size));
}

QByteArray PictureStore::Bytes::read() const {
    QByteArray out(qsizetype(size_), Qt::Uninitialized);
    qint64 got = 0;
    while (got < size_) {
        const ssize_t n = pread(store_->fd_, out.data() + got, size_t(size_ - got), offset_ + got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {};
        }
        got += n;
    }
    return out;
}

void PictureStore::release(qint64 offset, qint64 size) {
    // Whole pages only are given back; the pages a neighbour shares go with it.
    fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset, size);
    held_ -= size;
}

#else

std::shared_ptr<PictureStore> PictureStore::create() {
    return nullptr;
}

PictureStore::~PictureStore() = default;

std::shared_ptr<const PictureStore::Bytes> PictureStore::append(int, qint64, qint64) {
    return nullptr;
}

QByteArray PictureStore::Bytes::read() const {
    return {};
}

void PictureStore::release(qint64, qint64) {}

#endif

PictureStore::Bytes::~Bytes() {
    store_->release(offset_, size_);
}

}  // namespace pictrove::picture
