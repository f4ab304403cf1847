#include "core/formats/zip/ZipArchive.h"

#include <libdeflate.h>
#include <zip.h>

namespace pictrove::word {

ZipArchive::~ZipArchive() {
    if (archive_)
        zip_discard(archive_);
    libdeflate_free_decompressor(inflater_);
}

bool ZipArchive::readWhole(qint64 index, const zip_stat_t& st, QByteArray& out) {
    const zip_uint64_t need = ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC | ZIP_STAT_ENCRYPTION_METHOD;
    if ((st.valid & need) != need || st.encryption_method != ZIP_EM_NONE ||
        (st.comp_method != ZIP_CM_DEFLATE && st.comp_method != ZIP_CM_STORE))
        return false;
    zip_file_t* file = zip_fopen_index(archive_, zip_uint64_t(index), ZIP_FL_COMPRESSED);
    if (!file)
        return false;
    QByteArray stored(qsizetype(st.comp_size), Qt::Uninitialized);
    const zip_int64_t got = zip_fread(file, stored.data(), st.comp_size);
    char extra;
    const bool whole = got == zip_int64_t(st.comp_size) && zip_fread(file, &extra, 1) == 0;
    zip_fclose(file);
    if (!whole)
        return false;
    if (st.comp_method == ZIP_CM_STORE) {  // libzip checked its CRC at the end
        out = std::move(stored);
        return true;
    }
    if (!inflater_ && !(inflater_ = libdeflate_alloc_decompressor()))
        return false;
    QByteArray data(qsizetype(st.size), Qt::Uninitialized);
    size_t produced = 0;
    if (libdeflate_deflate_decompress(inflater_, stored.constData(), size_t(stored.size()),
                                      data.data(), size_t(st.size),
                                      &produced) != LIBDEFLATE_SUCCESS ||
        produced != st.size || libdeflate_crc32(0, data.constData(), size_t(data.size())) != st.crc)
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
