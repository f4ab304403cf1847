#include "core/save/BmpFile.h"

#include "core/picture/Picture.h"
#include "core/platform/ReplaceFile.h"
#include "core/save/OpaqueImage.h"

#include <QFile>

#include <cstdint>
#include <cstring>

namespace pictrove::results {

namespace {

constexpr qint64 kFileHeaderSize = 14;
constexpr qint64 kInfoHeaderSize = 40;

void putU16(char* p, std::uint16_t v) {
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

void putU32(char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = char((v >> (8 * i)) & 0xFF);
    }
}

std::uint16_t getU16(const char* p) {
    return std::uint16_t(std::uint8_t(p[0]) | (std::uint8_t(p[1]) << 8));
}

std::uint32_t getU32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | (std::uint32_t(std::uint8_t(p[1])) << 8) |
           (std::uint32_t(std::uint8_t(p[2])) << 16) | (std::uint32_t(std::uint8_t(p[3])) << 24);
}

// Bytes of one pixel row, padded to a multiple of four.
qint64 rowStride(qint64 width, int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

BmpReadResult failure(BmpStatus status, QString message) {
    BmpReadResult r;
    r.status = status;
    r.message = std::move(message);
    return r;
}

}  // namespace

BmpWriteResult encodeBmp(const QImage& image, QByteArray& bytes) {
    if (image.isNull()) {
        return {BmpStatus::NullImage, QStringLiteral("There is no picture to write.")};
    }
    const QImage rgb = gdiplus::opaqueOnWhite(image);
    if (rgb.isNull()) {
        return {BmpStatus::TooLarge, QStringLiteral("Not enough memory for the picture.")};
    }
    const qint64 width = rgb.width();
    const qint64 height = rgb.height();
    const qint64 stride = rowStride(width, 24);
    const qint64 pixelBytes = stride * height;
    const qint64 fileSize = kFileHeaderSize + kInfoHeaderSize + pixelBytes;
    if (fileSize > qint64(UINT32_MAX) || fileSize > qint64(INT32_MAX)) {
        return {BmpStatus::TooLarge, QStringLiteral("The picture is too large for a BMP file.")};
    }

    bytes = QByteArray(fileSize, Qt::Uninitialized);
    char* out = bytes.data();
    // BITMAPFILEHEADER
    out[0] = 'B';
    out[1] = 'M';
    putU32(out + 2, std::uint32_t(fileSize));
    putU32(out + 6, 0);
    putU32(out + 10, std::uint32_t(kFileHeaderSize + kInfoHeaderSize));
    // BITMAPINFOHEADER: positive height means the rows run bottom-up.
    char* info = out + kFileHeaderSize;
    putU32(info + 0, std::uint32_t(kInfoHeaderSize));
    putU32(info + 4, std::uint32_t(width));
    putU32(info + 8, std::uint32_t(height));
    putU16(info + 12, 1);   // planes
    putU16(info + 14, 24);  // bits per pixel
    putU32(info + 16, 0);   // BI_RGB
    putU32(info + 20, std::uint32_t(pixelBytes));
    putU32(info + 24, std::uint32_t(qMax(0, rgb.dotsPerMeterX())));
    putU32(info + 28, std::uint32_t(qMax(0, rgb.dotsPerMeterY())));
    putU32(info + 32, 0);  // colours used
    putU32(info + 36, 0);  // important colours

    char* row = out + kFileHeaderSize + kInfoHeaderSize;
    for (qint64 y = height - 1; y >= 0; --y, row += stride) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(y)));
        auto* dst = reinterpret_cast<std::uint8_t*>(row);
        for (qint64 x = 0; x < width; ++x) {
            const QRgb p = src[x];
            dst[0] = std::uint8_t(p);
            dst[1] = std::uint8_t(p >> 8);
            dst[2] = std::uint8_t(p >> 16);
            dst += 3;
        }
        std::memset(dst, 0, size_t(stride - 3 * width));
    }
    return {};
}

BmpWriteResult writeBmp(const QImage& image, const QString& path) {
    QByteArray bytes;
    if (const BmpWriteResult encoded = encodeBmp(image, bytes); !encoded.ok()) {
        return encoded;
    }
    QString reason;
    if (!platform::replaceFile(path, {bytes}, &reason)) {
        return {BmpStatus::CannotWrite, QStringLiteral("Cannot write %1: %2").arg(path, reason)};
    }
    return {};
}

BmpReadResult readBmp(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return failure(BmpStatus::CannotRead,
                       QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return failure(BmpStatus::CannotRead,
                       QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    }
    return decodeBmp(bytes);
}

BmpReadResult decodeBmp(QByteArrayView bytes) {
    const qint64 size = bytes.size();
    const char* data = bytes.data();
    if (size < kFileHeaderSize + kInfoHeaderSize || data[0] != 'B' || data[1] != 'M') {
        return failure(BmpStatus::NotBmp, QStringLiteral("Not a BMP file."));
    }
    const qint64 pixelOffset = getU32(data + 10);
    const char* info = data + kFileHeaderSize;
    const qint64 infoSize = getU32(info);
    if (infoSize < kInfoHeaderSize) {
        return failure(BmpStatus::Unsupported,
                       QStringLiteral("BMP header of %1 bytes is not supported.").arg(infoSize));
    }
    const std::int32_t width = std::int32_t(getU32(info + 4));
    const std::int32_t rawHeight = std::int32_t(getU32(info + 8));
    const int planes = getU16(info + 12);
    const int bitsPerPixel = getU16(info + 14);
    const std::uint32_t compression = getU32(info + 16);
    if (bitsPerPixel != 24 && bitsPerPixel != 32) {
        return failure(
            BmpStatus::Unsupported,
            QStringLiteral("BMP of %1 bits per pixel is not supported.").arg(bitsPerPixel));
    }
    if (compression != 0) {
        return failure(
            BmpStatus::Unsupported,
            QStringLiteral("Compressed BMP (method %1) is not supported.").arg(compression));
    }
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || planes != 1) {
        return failure(BmpStatus::Damaged, QStringLiteral("BMP header gives an impossible size."));
    }
    const bool topDown = rawHeight < 0;
    const qint64 height = topDown ? -qint64(rawHeight) : qint64(rawHeight);
    if (qint64(width) * height > picture::kMaxDecodedBytes / 4) {
        return failure(
            BmpStatus::TooLarge,
            QStringLiteral("BMP of %1 x %2 pixels is too large.").arg(width).arg(height));
    }
    if (pixelOffset < kFileHeaderSize + infoSize) {
        return failure(BmpStatus::Damaged, QStringLiteral("BMP pixels start inside its header."));
    }
    const qint64 stride = rowStride(width, bitsPerPixel);
    if (pixelOffset > size || stride * height > size - pixelOffset) {
        return failure(BmpStatus::Truncated, QStringLiteral("BMP pixel rows run past the end "
                                                            "of the file (offset %1).")
                                                 .arg(pixelOffset));
    }

    BmpReadResult result;
    result.image = QImage(width, int(height), QImage::Format_RGB32);
    if (result.image.isNull()) {
        return failure(BmpStatus::TooLarge, QStringLiteral("Not enough memory for the BMP."));
    }
    const std::int32_t xRes = std::int32_t(getU32(info + 24));
    const std::int32_t yRes = std::int32_t(getU32(info + 28));
    if (xRes > 0 && yRes > 0) {
        result.image.setDotsPerMeterX(xRes);
        result.image.setDotsPerMeterY(yRes);
    }
    const int step = bitsPerPixel / 8;
    for (qint64 y = 0; y < height; ++y) {
        const qint64 fileRow = topDown ? y : height - 1 - y;
        const auto* src =
            reinterpret_cast<const std::uint8_t*>(data + pixelOffset + fileRow * stride);
        auto* dst = reinterpret_cast<QRgb*>(result.image.scanLine(int(y)));
        for (std::int32_t x = 0; x < width; ++x, src += step) {
            dst[x] = 0xFF000000u | (QRgb(src[2]) << 16) | (QRgb(src[1]) << 8) | QRgb(src[0]);
        }
    }
    return result;
}

}  // namespace pictrove::results
