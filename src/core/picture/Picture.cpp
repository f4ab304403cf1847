#include "core/picture/Picture.h"

#include "core/metafile/Metafile.h"
#include "core/picture/PictureHeader.h"
#include "core/picture/PngDecode.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <turbojpeg.h>

#include <mutex>

namespace pictrove::picture {

QString formatName(Format format) {
    switch (format) {
        case Format::None:
            return {};
        case Format::Png:
            return QStringLiteral("png");
        case Format::Jpeg:
            return QStringLiteral("jpeg");
        case Format::Gif:
            return QStringLiteral("gif");
        case Format::Bmp:
            return QStringLiteral("bmp");
        case Format::Tiff:
            return QStringLiteral("tiff");
        case Format::Emf:
            return QStringLiteral("emf");
        case Format::Wmf:
            return QStringLiteral("wmf");
    }
    return {};
}

Format sniffFormat(QByteArrayView b) {
    auto at = [&](qsizetype off, std::initializer_list<unsigned char> sig) {
        if (b.size() < off + qsizetype(sig.size()))
            return false;
        qsizetype i = off;
        for (unsigned char c : sig) {
            if (static_cast<unsigned char>(b[i++]) != c)
                return false;
        }
        return true;
    };
    if (at(0, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}))
        return Format::Png;
    if (at(0, {0xFF, 0xD8, 0xFF}))
        return Format::Jpeg;
    if (at(0, {'G', 'I', 'F', '8'}))
        return Format::Gif;
    if (at(0, {'B', 'M'}))
        return Format::Bmp;
    if (at(0, {'I', 'I', 42, 0}) || at(0, {'M', 'M', 0, 42}))
        return Format::Tiff;
    if (at(0, {1, 0, 0, 0}) && at(40, {' ', 'E', 'M', 'F'}))
        return Format::Emf;
    if (at(0, {0xD7, 0xCD, 0xC6, 0x9A}))
        return Format::Wmf;
    // A bare WMF header: type 1 or 2, header size 9 words.
    if ((at(0, {1, 0, 9, 0}) || at(0, {2, 0, 9, 0})) && b.size() >= 18)
        return Format::Wmf;
    return Format::None;
}

Picture Picture::fromHeader(QByteArrayView header, Crop crop, QString* why) {
    Picture p;
    auto fail = [&](const QString& reason) {
        if (why)
            *why = reason;
        return p;
    };
    const Format f = sniffFormat(header);
    if (f == Format::None)
        return fail(QStringLiteral("the picture is in no known format"));
    const std::optional<QSize> size = (f == Format::Emf || f == Format::Wmf)
                                          ? metafile::pictureSizePx(header, kMaxDecodedBytes / 4)
                                          : rasterHeaderSize(header, f);
    if (!size || size->width() <= 0 || size->height() <= 0)
        return fail(QStringLiteral("the %1 picture's header is damaged").arg(formatName(f)));
    if (qint64(size->width()) * size->height() > kMaxDecodedBytes / 4) {
        return fail(QStringLiteral("the %1 picture of %2 x %3 pixels is over the size limit")
                        .arg(formatName(f))
                        .arg(size->width())
                        .arg(size->height()));
    }
    p.format_ = f;
    p.storedSize_ = *size;
    p.crop_ = crop;
    return p;
}

Picture Picture::fromEncoded(QByteArray bytes, Crop crop, QString* why, FileForm form) {
    if (sniffFormat(bytes) == Format::None && looksLikeDib(bytes)) {
        bytes = bmpFromDib(bytes);
        form = FileForm::Made;
    }
    Picture p = fromHeader(bytes, crop, why);
    if (!p.isNull()) {
        p.bytes_ = std::move(bytes);
        p.form_ = form;
    }
    return p;
}

Picture Picture::fromStored(std::shared_ptr<const PictureStore::Bytes> bytes, QByteArrayView head,
                            Crop crop, FileForm form) {
    if (!bytes || head.size() > bytes->size())
        return {};
    Picture p = fromHeader(head, crop);
    if (!p.isNull()) {
        p.stored_ = std::move(bytes);
        p.form_ = form;
    }
    return p;
}

struct Picture::Deferred {
    std::function<QImage()> make;
    std::once_flag once;
    QByteArray bytes;

    const QByteArray& get() {
        std::call_once(once, [this] {
            const QImage image = make();
            make = nullptr;
            if (image.isNull())
                return;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        });
        return bytes;
    }
};

Picture Picture::deferred(QSize size, std::function<QImage()> make) {
    Picture p;
    if (size.isEmpty())
        return p;
    p.format_ = Format::Png;
    p.storedSize_ = size;
    p.deferred_ = std::make_shared<Deferred>();
    p.deferred_->make = std::move(make);
    return p;
}

QByteArray Picture::encoded() const {
    if (deferred_)
        return deferred_->get();
    return stored_ ? stored_->read() : bytes_;
}

qint64 Picture::encodedSize() const {
    if (deferred_)
        return deferred_->get().size();
    return stored_ ? stored_->size() : bytes_.size();
}

Picture Picture::fromImage(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return fromEncoded(std::move(bytes));
}

namespace {
// The part of a picture of the given size that a crop leaves.
QRect cropRect(QSize size, const Crop& c) {
    auto clampFrac = [](double v) { return v > 0 ? v : 0.0; };
    const double l = clampFrac(c.left), t = clampFrac(c.top), r = clampFrac(c.right),
                 b = clampFrac(c.bottom);
    if (l + r >= 1.0 || t + b >= 1.0)
        return QRect(QPoint(0, 0), size);
    const int x = qRound(size.width() * l);
    const int y = qRound(size.height() * t);
    const int w = qMax(1, qRound(size.width() * (1.0 - l - r)));
    const int h = qMax(1, qRound(size.height() * (1.0 - t - b)));
    return QRect(x, y, w, h).intersected(QRect(QPoint(0, 0), size));
}
}  // namespace

QSize Picture::size() const {
    if (isNull())
        return {};
    return cropRect(storedSize_, crop_).size();
}

namespace {

// JPEG through libjpeg-turbo straight into an RGB32 image (several times faster than
// the generic image reader). Null when turbojpeg cannot do it (CMYK, damage).
QImage decodeJpeg(const QByteArray& bytes) {
    tjhandle tj = tjInitDecompress();
    if (!tj)
        return {};
    QImage image;
    int w = 0, h = 0, subsamp = 0, colorspace = 0;
    auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto size = static_cast<unsigned long>(bytes.size());
    if (tjDecompressHeader3(tj, data, size, &w, &h, &subsamp, &colorspace) == 0 && w > 0 && h > 0 &&
        qint64(w) * h * 4 <= kMaxDecodedBytes && colorspace != TJCS_CMYK &&
        colorspace != TJCS_YCCK) {
        image = QImage(w, h, QImage::Format_RGB32);
        const int pixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;
        if (!image.isNull() &&
            tjDecompress2(tj, data, size, image.bits(), w, int(image.bytesPerLine()), h,
                          pixelFormat, 0) != 0 &&
            tjGetErrorCode(tj) != TJERR_WARNING) {
            image = QImage();
        }
    }
    tjDestroy(tj);
    return image;
}

QImage decodeRaster(const QByteArray& bytes, Format format) {
    if (format == Format::Jpeg) {
        QImage image = decodeJpeg(bytes);
        if (!image.isNull())
            return image;
    }
    if (format == Format::Png) {
        QImage image = decodeCommonPng(bytes, kMaxDecodedBytes);
        if (!image.isNull())
            return image;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(false);
    // Our own limit was checked against the header; let the reader go that far. Set
    // once: pictures are decoded on several threads at once and the limit is global.
    static const bool limitSet = [] {
        QImageReader::setAllocationLimit(int(kMaxDecodedBytes / (1024 * 1024)));
        return true;
    }();
    Q_UNUSED(limitSet);
    return reader.read();
}

}  // namespace

QImage Picture::toImage(QString* error) const {
    if (isNull()) {
        if (error)
            *error = QStringLiteral("no picture");
        return {};
    }
    const QByteArray bytes = encoded();
    if (bytes.isEmpty()) {
        if (error)
            *error = QStringLiteral("there is nothing to draw");
        return {};
    }
    QImage decoded =  // not const, so that the return below moves it
        isMetafile() ? metafile::render(bytes, storedSize_) : decodeRaster(bytes, format_);
    if (decoded.isNull()) {
        if (error)
            *error = QStringLiteral("the picture data cannot be decoded");
        return {};
    }
    const QRect keep = cropRect(decoded.size(), crop_);
    if (keep == decoded.rect() && decoded.format() == QImage::Format_RGB32)
        return decoded;
    QImage out(keep.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.drawImage(QPoint(0, 0), decoded, keep);
    painter.end();
    return out;
}

}  // namespace pictrove::picture
