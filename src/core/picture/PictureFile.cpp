#include "core/picture/PictureFile.h"

#include "core/platform/ReplaceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

namespace pictrove::picture {

namespace {

// The crop travels after the encoded bytes: "PtrvCrop", four little-endian doubles
// (left, top, right, bottom), "PtrvEnd1". Decoders stop at their own end marker.
constexpr char kCropStart[] = "PtrvCrop";
constexpr char kCropEnd[] = "PtrvEnd1";
constexpr qsizetype kTrailerBytes = 8 + 4 * 8 + 8;

QByteArray cropTrailer(const Crop& c) {
    QByteArray t(kCropStart, 8);
    for (double v : {c.left, c.top, c.right, c.bottom}) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char le[8];
        qToLittleEndian<quint64>(bits, le);
        t.append(le, 8);
    }
    t.append(kCropEnd, 8);
    return t;
}

// Splits a trailer off `bytes` when there is one.
Crop takeCropTrailer(QByteArray& bytes) {
    Crop c;
    const qsizetype n = bytes.size();
    if (n < kTrailerBytes || std::memcmp(bytes.constData() + n - 8, kCropEnd, 8) != 0 ||
        std::memcmp(bytes.constData() + n - kTrailerBytes, kCropStart, 8) != 0)
        return c;
    double* fields[] = {&c.left, &c.top, &c.right, &c.bottom};
    for (int i = 0; i < 4; ++i) {
        const quint64 bits =
            qFromLittleEndian<quint64>(bytes.constData() + n - kTrailerBytes + 8 + i * 8);
        std::memcpy(fields[i], &bits, sizeof bits);
    }
    bytes.truncate(n - kTrailerBytes);
    return c;
}

PictureFileStatus writeWhole(const QString& path, QByteArrayView a, QByteArrayView b,
                             QString* error) {
    return platform::replaceFile(path, {a, b}, error) ? PictureFileStatus::Ok
                                                      : PictureFileStatus::WriteFailed;
}

// The picture in `file` (open, and checked for size), its bytes moved into `store`;
// null when the store cannot take it.
Picture loadIntoStore(QFile& file, PictureStore& store) {
    qint64 payload = file.size();  // the encoded bytes, without a crop trailer
    Crop crop;
    if (payload >= kTrailerBytes) {
        if (!file.seek(payload - kTrailerBytes))
            return {};
        QByteArray tail = file.read(kTrailerBytes);
        if (tail.size() != kTrailerBytes)
            return {};
        crop = takeCropTrailer(tail);
        if (tail.isEmpty())  // the trailer was taken off
            payload -= kTrailerBytes;
    }
    // Enough for the headers of ordinary pictures; one whose header lies further in
    // (a JPEG behind a long run of metadata) is read into the heap instead.
    constexpr qint64 kHead = 64 * 1024;
    if (!file.seek(0))
        return {};
    const QByteArray head = file.read(qMin(payload, kHead));
    if (head.size() != qMin(payload, kHead) || sniffFormat(head) == Format::None)
        return {};
    return Picture::fromStored(store.append(file.handle(), 0, payload), head, crop);
}

}  // namespace

PictureFileStatus savePicture(const Picture& picture, const QString& path, QString* error) {
    if (picture.isNull()) {
        if (error)
            *error = QStringLiteral("there is no picture to write");
        return PictureFileStatus::NoPicture;
    }
    const QByteArray bytes = picture.encoded();
    if (bytes.isEmpty()) {  // a composed picture with nothing to draw
        if (error)
            *error = QStringLiteral("there is no picture to write");
        return PictureFileStatus::NoPicture;
    }
    const QByteArray trailer =
        picture.crop() == Crop{} ? QByteArray() : cropTrailer(picture.crop());
    return writeWhole(path, bytes, trailer, error);
}

PictureFileStatus loadPicture(const QString& path, Picture& out, QString* error,
                              PictureStore* store) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        if (error)
            *error = QStringLiteral("no such file");
        return PictureFileStatus::NotFound;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return PictureFileStatus::ReadFailed;
    }
    if (file.size() > kMaxPictureFileBytes) {
        if (error)
            *error = QStringLiteral("the file is too large for a picture");
        return PictureFileStatus::TooLarge;
    }
    if (store) {
        Picture stored = loadIntoStore(file, *store);
        if (!stored.isNull()) {
            out = std::move(stored);
            return PictureFileStatus::Ok;
        }
        if (!file.seek(0)) {
            if (error)
                *error = file.errorString();
            return PictureFileStatus::ReadFailed;
        }
    }
    QByteArray bytes(qsizetype(file.size()), Qt::Uninitialized);
    const qint64 got = file.read(bytes.data(), bytes.size());
    if (got < 0 || file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return PictureFileStatus::ReadFailed;
    }
    bytes.truncate(qsizetype(got));  // a file cut short meanwhile
    const Crop crop = takeCropTrailer(bytes);
    Picture picture = Picture::fromEncoded(std::move(bytes), crop);
    if (picture.isNull()) {
        if (error)
            *error = QStringLiteral("the file holds no picture that can be read");
        return PictureFileStatus::NotAPicture;
    }
    out = std::move(picture);
    return PictureFileStatus::Ok;
}

}  // namespace pictrove::picture
