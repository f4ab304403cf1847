#include "core/formats/zip/ZipArchive.h"

#include "core/bytes/ByteReader.h"

#include <libdeflate.h>
#include <zip.h>

namespace pictrove::word {

ZipArchive::~ZipArchive() {
    if (archive_)
        zip_discard(archive_);
    libdeflate_free_decompressor(inflater_);
}

namespace {

constexpr quint32 kLocalHeader = 0x04034b50u;     // "PK\3\4"
constexpr quint32 kDirectoryEntry = 0x02014b50u;  // "PK\1\2"
constexpr quint32 kEndOfDirectory = 0x06054b50u;  // "PK\5\6"
constexpr quint16 kEncrypted = 1;                 // general purpose flag bit 0

// Where each entry's local header lies, by entry index, read from the central directory
// as libzip found it; empty when the directory is of a kind this does not read (zip64)
// or does not agree with libzip's count. Only a shortcut to the stored bytes: the
// entry's CRC confirms whatever is found through it.
std::vector<quint32> localHeaderOffsets(QByteArrayView archive, zip_int64_t entries) {
    const bytes::ByteReader r(archive);
    qint64 end = -1;
    for (qint64 at = r.size() - 22; at >= 0 && at >= r.size() - 22 - 0xFFFF; --at) {
        if (r.u32(at) == kEndOfDirectory) {
            end = at;
            break;
        }
    }
    if (end < 0 || r.u16(end + 10) != entries || r.u16(end + 10) == 0xFFFF ||
        r.u32(end + 16) == 0xFFFFFFFFu)
        return {};
    std::vector<quint32> offsets;
    offsets.reserve(size_t(entries));
    for (qint64 at = r.u32(end + 16); qint64(offsets.size()) < entries;) {
        if (!r.has(at, 46) || r.u32(at) != kDirectoryEntry || r.u32(at + 42) == 0xFFFFFFFFu)
            return {};
        offsets.push_back(r.u32(at + 42));
        at += 46 + qint64(r.u16(at + 28)) + r.u16(at + 30) + r.u16(at + 32);
    }
    return offsets;
}

}  // namespace

bool ZipArchive::readWhole(qint64 index, const zip_stat_t& st, QByteArray& out) {
    const zip_uint64_t need = ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
    if ((st.valid & need) != need || st.encryption_method != ZIP_EM_NONE ||
        (st.comp_method != ZIP_CM_DEFLATE && st.comp_method != ZIP_CM_STORE) ||
        index >= qint64(localHeaders_.size()))
        return false;
    const bytes::ByteReader r(bytes_);
    const qint64 header = localHeaders_[size_t(index)];
    if (!r.has(header, 30) || r.u32(header) != kLocalHeader || (r.u16(header + 6) & kEncrypted) ||
        r.u16(header + 8) != st.comp_method)
        return false;
    const qint64 start = header + 30 + r.u16(header + 26) + r.u16(header + 28);
    if (!r.has(start, qint64(st.comp_size)))
        return false;
    const char* stored = bytes_.constData() + start;
    QByteArray data;
    if (st.comp_method == ZIP_CM_STORE) {
        data = QByteArray(stored, qsizetype(st.comp_size));
    } else {
        if (!inflater_ && !(inflater_ = libdeflate_alloc_decompressor()))
            return false;
        data = QByteArray(qsizetype(st.size), Qt::Uninitialized);
        size_t produced = 0;
        if (libdeflate_deflate_decompress(inflater_, stored, size_t(st.comp_size), data.data(),
                                          size_t(st.size), &produced) != LIBDEFLATE_SUCCESS ||
            produced != st.size)
            return false;
    }
    if (libdeflate_crc32(0, data.constData(), size_t(data.size())) != st.crc)
        return false;
    out = std::move(data);
    return true;
}

std::unique_ptr<ZipArchive> ZipArchive::open(const QByteArray& bytes, OpenStatus& status,
                                             QString& why, ZipLimits limits) {
    std::unique_ptr<ZipArchive> self(new ZipArchive);
    self->bytes_ = bytes;
    self->limits_ = limits;
    self->budget_ = limits.maxTotalBytes + 16 * qint64(bytes.size());
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(self->bytes_.constData(),
                                                    zip_uint64_t(self->bytes_.size()), 0, &error);
    if (!source) {
        status = OpenStatus::Damaged;
        why = QStringLiteral("zip: %1").arg(QString::fromUtf8(zip_error_strerror(&error)));
        zip_error_fini(&error);
        return nullptr;
    }
    self->archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!self->archive_) {
        zip_source_free(source);
        status = OpenStatus::Damaged;
        why = QStringLiteral("the zip archive is damaged (%1)")
                  .arg(QString::fromUtf8(zip_error_strerror(&error)));
        zip_error_fini(&error);
        return nullptr;
    }
    zip_error_fini(&error);
    const zip_int64_t n = zip_get_num_entries(self->archive_, 0);
    if (n < 0 || n > limits.maxEntries) {
        status = OpenStatus::TooLarge;
        why = QStringLiteral("the zip archive has too many entries (%1)").arg(n);
        return nullptr;
    }
    self->localHeaders_ = localHeaderOffsets(self->bytes_, n);
    self->names_.reserve(qsizetype(n));
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(self->archive_, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name)
            continue;
        const QString s = QString::fromUtf8(name);
        self->names_.append(s);
        const QString key = s.toLower();
        if (!self->index_.contains(key))
            self->index_.insert(key, i);
    }
    status = OpenStatus::Ok;
    why.clear();
    return self;
}

bool ZipArchive::contains(const QString& name) const {
    return index_.contains(name.toLower());
}

QStringList ZipArchive::names() const {
    return names_;
}

bool ZipArchive::read(const QString& name, QByteArray& out, OpenStatus& status, QString& why) {
    const auto it = index_.constFind(name.toLower());
    if (it == index_.constEnd()) {
        status = OpenStatus::Damaged;
        why = QStringLiteral("the part %1 is missing").arg(name);
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, zip_uint64_t(*it), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
        !(st.valid & ZIP_STAT_COMP_SIZE)) {
        status = OpenStatus::Damaged;
        why = QStringLiteral("the zip entry %1 is damaged").arg(name);
        return false;
    }
    const quint64 size = st.size, comp = st.comp_size;
    if (comp > quint64(bytes_.size()) ||
        ((st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_STORE && size != comp)) {
        status = OpenStatus::Damaged;
        why = QStringLiteral("the zip entry %1 gives sizes that the archive cannot hold").arg(name);
        return false;
    }
    if (size > quint64(limits_.maxEntryBytes) || size > comp * quint64(limits_.maxRatio) + 4096 ||
        qint64(size) > budget_ - inflated_) {
        status = OpenStatus::TooLarge;
        why = QStringLiteral("the zip entry %1 would inflate to %2 bytes, beyond the limits")
                  .arg(name)
                  .arg(size);
        return false;
    }
    QByteArray data;
    if (readWhole(*it, st, data)) {
        inflated_ += qint64(size);
        out = std::move(data);
        status = OpenStatus::Ok;
        return true;
    }
    zip_file_t* file = zip_fopen_index(archive_, zip_uint64_t(*it), 0);
    if (!file) {
        status = OpenStatus::Damaged;
        why = QStringLiteral("the zip entry %1 cannot be read (%2)")
                  .arg(name, QString::fromUtf8(zip_strerror(archive_)));
        return false;
    }
    data = QByteArray(qsizetype(size), Qt::Uninitialized);
    qint64 got = 0;
    bool ok = true;
    while (got < qint64(size)) {
        const zip_int64_t r = zip_fread(file, data.data() + got, size - quint64(got));
        if (r <= 0) {
            ok = false;
            break;
        }
        got += r;
    }
    if (ok) {
        // More data than declared is damage too (and libzip checks the CRC at the end).
        char extra;
        ok = zip_fread(file, &extra, 1) == 0;
    }
    if (!ok) {
        why = QStringLiteral("the zip entry %1 is damaged (%2)")
                  .arg(name, QString::fromUtf8(zip_file_strerror(file)));
        zip_fclose(file);
        status = OpenStatus::Damaged;
        return false;
    }
    zip_fclose(file);
    inflated_ += qint64(size);
    out = std::move(data);
    status = OpenStatus::Ok;
    return true;
}

}  // namespace pictrove::word
