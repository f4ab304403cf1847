#pragma once

#include "core/model/DocumentModel.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

struct zip;
struct zip_stat;
struct libdeflate_decompressor;

namespace pictrove::word {

// Limits that keep a hostile package from taking the machine: every entry's declared
// size is checked against them and against the compressed bytes present before
// anything is inflated, and the total inflated per archive is capped.
struct ZipLimits {
    qint64 maxEntries = 20000;
    qint64 maxEntryBytes = qint64(512) * 1024 * 1024;
    // Inflated over the archive's life, on top of 16 times the archive's own size (a
    // document whose pictures are copied again and again stays far below that; one that
    // points many shapes at one bomb entry does not).
    qint64 maxTotalBytes = qint64(1) << 30;
    // Deflate cannot exceed about 1032:1; a declared size beyond that lies.
    qint64 maxRatio = 1100;
};

// A read-only zip archive over bytes in memory (the bytes are shared, not copied).
// Entry names are matched without regard to case, as package part names are.
class ZipArchive {
  public:
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Opens the archive; on failure returns null and sets `status` and `why`.
    static std::unique_ptr<ZipArchive> open(const QByteArray& bytes, OpenStatus& status,
                                            QString& why, ZipLimits limits = {});

    bool contains(const QString& name) const;
    qint64 entryCount() const { return qint64(index_.size()); }
    // Every entry name, in archive order.
    QStringList names() const;

    // Inflates one entry whole. Fails (false, `why` set, `status` Damaged or TooLarge)
    // for a missing entry, a damaged or lying one, or one beyond the limits.
    bool read(const QString& name, QByteArray& out, OpenStatus& status, QString& why);

  private:
    ZipArchive() = default;
    // The entry inflated in one call from its stored bytes where they lie in `bytes_`, its
    // CRC checked; false when that way does not give exactly the entry (libzip then reads
    // it and names the fault).
    bool readWhole(qint64 index, const struct zip_stat& st, QByteArray& out);

    QByteArray bytes_;  // keeps the buffer alive for libzip
    struct zip* archive_ = nullptr;
    QHash<QString, qint64> index_;  // lower-cased name -> entry index
    QStringList names_;
    ZipLimits limits_;
    qint64 inflated_ = 0;
    qint64 budget_ = 0;                  // what inflated_ may reach
    std::vector<quint32> localHeaders_;  // by entry index
    libdeflate_decompressor* inflater_ = nullptr;
};

}  // namespace pictrove::word
