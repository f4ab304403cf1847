#include "core/picture/PictureFile.h"

#include "core/platform/ReplaceFile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

namespace pictrove::picture {

namespace {

// The crop and the file form travel after the encoded bytes: "PtrvCrop", four
// little-endian doubles (left, top, right, bottom), a little-endian u64 that is 1 for
// FileForm::Made and 0 otherwise, "PtrvEnd2". Decoders stop at their own end marker.
constexpr char kTrailerStart[] = "PtrvCrop";
constexpr char kTrailerEnd[] = "PtrvEnd2";
constexpr qsizetype kTrailerBytes = 8 + 4 * 8 + 8 + 8;

// What the trailer carries; a file without one is an uncropped picture as given.
struct Trailer {
    Crop crop;
    FileForm form = FileForm::Given;
};

QByteArray trailerOf(const Picture& picture) {
    const Crop& c = picture.crop();
    const quint64 made = picture.fileForm() == FileForm::Made ? 1 : 0;
    if (c == Crop{} && !made)
        return {};
    QByteArray t(kTrailerStart, 8);
    char le[8];
    for (double v : {c.left, c.top, c.right, c.bottom}) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        qToLittleEndian<quint64>(bits, le);
        t.append(le, 8);
    }
    qToLittleEndian<quint64>(made, le);
    t.append(le, 8);
    t.append(kTrailerEnd, 8);
    return t;
}

// Splits a trailer off `bytes` when there is one.
Trailer takeTrailer(QByteArray& bytes) {
    Trailer t;
    const qsizetype n = bytes.size();
    if (n < kTrailerBytes || std::memcmp(bytes.constData() + n - 8, kTrailerEnd, 8) != 0 ||
        std::memcmp(bytes.constData() + n - kTrailerBytes, kTrailerStart, 8) != 0)
        return t;
    const char* fields = bytes.constData() + n - kTrailerBytes + 8;
    double* crop[] = {&t.crop.left, &t.crop.top, &t.crop.right, &t.crop.bottom};
    for (int i = 0; i < 4; ++i) {
        const quint64 bits = qFromLittleEndian<quint64>(fields + i * 8);
        std::memcpy(crop[i], &bits, sizeof bits);
    }
    if (qFromLittleEndian<quint64>(fields + 4 * 8) == 1)
        t.form = FileForm::Made;
    bytes.truncate(n - kTrailerBytes);
    return t;
}

PictureFileStatus writeWhole(const QString& path, QByteArrayView a, QByteArrayView b,
                             QString* error) {
    return platform::replaceFile(path, {a, b}, error) ? PictureFileStatus::Ok
                                                      : PictureFileStatus::WriteFailed;
}

// The picture in `file` (open, and checked for size), its bytes moved into `store`;
// null when the store cannot take it.
Picture loadIntoStore(QFile& file, PictureStore& store) {
    qint64 payload = file.size();  // the encoded bytes, without a trailer
    Trailer trailer;
    if (payload >= kTrailerBytes) {
        if (!file.seek(payload - kTrailerBytes))
            return {};
        QByteArray tail = file.read(kTrailerBytes);
        if (tail.size() != kTrailerBytes)
            return {};
        trailer = takeTrailer(tail);
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
    return Picture::fromStored(store.append(file.handle(), 0, payload), head, trailer.crop,
                               trailer.form);
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
    return writeWhole(path, bytes, trailerOf(picture), error);
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
    const Trailer trailer = takeTrailer(bytes);
    Picture picture = Picture::fromEncoded(std::move(bytes), trailer.crop, nullptr, trailer.form);
    if (picture.isNull()) {
        if (error)
            *error = QStringLiteral("the file holds no picture that can be read");
        return PictureFileStatus::NotAPicture;
    }
    out = std::move(picture);
    return PictureFileStatus::Ok;
}

}  // namespace pictrove::picture
