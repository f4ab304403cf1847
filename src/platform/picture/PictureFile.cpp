#include "platform/picture/PictureFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
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

PictureFileStatus writeWhole(const QString& path, const QByteArray& a, const QByteArray& b,
                             QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(a) != a.size() ||
        (!b.isEmpty() && file.write(b) != b.size()) || !file.commit()) {
        if (error)
            *error = file.errorString();
        return PictureFileStatus::WriteFailed;
    }
    return PictureFileStatus::Ok;
}

}  // namespace

PictureFileStatus savePicture(const Picture& picture, const QString& path, QString* error) {
    if (picture.isNull()) {
        if (error)
            *error = QStringLiteral("there is no picture to write");
        return PictureFileStatus::NoPicture;
    }
    const QByteArray trailer =
        picture.crop() == Crop{} ? QByteArray() : cropTrailer(picture.crop());
    return writeWhole(path, picture.encoded(), trailer, error);
}

PictureFileStatus loadPicture(const QString& path, Picture& out, QString* error) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile()) {
        if (error)
            *error = QStringLiteral("no such file");
        return PictureFileStatus::NotFound;
    }
    if (info.size() > kMaxPictureFileBytes) {
        if (error)
            *error = QStringLiteral("the file is too large for a picture");
        return PictureFileStatus::TooLarge;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return PictureFileStatus::ReadFailed;
    }
    QByteArray bytes = file.read(kMaxPictureFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return PictureFileStatus::ReadFailed;
    }
    if (bytes.size() > kMaxPictureFileBytes) {
        if (error)
            *error = QStringLiteral("the file is too large for a picture");
        return PictureFileStatus::TooLarge;
    }
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

PictureFileStatus saveAsImageFile(const Picture& picture, const QString& path, QString* error) {
    if (picture.isNull()) {
        if (error)
            *error = QStringLiteral("there is no picture to write");
        return PictureFileStatus::NoPicture;
    }
    if (picture.isMetafile())
        return writeWhole(path, picture.encoded(), QByteArray(), error);
    QString why;
    const QImage image = picture.toImage(&why);
    if (image.isNull()) {
        if (error)
            *error = why;
        return PictureFileStatus::WriteFailed;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "BMP") || !file.commit()) {
        if (error)
            *error = file.errorString();
        return PictureFileStatus::WriteFailed;
    }
    return PictureFileStatus::Ok;
}

}  // namespace pictrove::picture
