#include "core/metafile/Metafile.h"

#include "core/bytes/ByteReader.h"
#include "core/metafile/Readers.h"
#include "core/metafile/RecordTypes.h"

#include <cmath>

namespace pictrove::metafile {

using bytes::ByteReader;

Format sniff(QByteArrayView bytes) {
    const ByteReader r(bytes);
    if (r.has(0, 88) && r.u32(0) == emr::Header && r.u32(40) == emr::Signature)
        return Format::Emf;
    if (r.has(0, 22 + 18) && r.u32(0) == meta::PlaceableKey)
        return Format::PlaceableWmf;
    // META_HEADER: type 1 (memory) or 2 (disk), header of 9 words, version 0x100/0x300.
    if (r.has(0, 18) && (r.u16(0) == 1 || r.u16(0) == 2) && r.u16(2) == 9 &&
        (r.u16(4) == 0x0100 || r.u16(4) == 0x0300))
        return Format::BareWmf;
    return Format::None;
}

namespace {

QSize pxAt96(double w, double h, double unitsPerInch) {
    return QSize(std::max(1, int(std::lround(w * 96.0 / unitsPerInch))),
                 std::max(1, int(std::lround(h * 96.0 / unitsPerInch))));
}

// The window extent the records of a WMF set, for a WMF whose header gives no size:
// the first META_SETWINDOWEXT before any drawing, as the player then maps it.
std::optional<QSizeF> recordWindowExt(const ByteReader& r, qint64 header) {
    qint64 off = header + qint64(r.u16(header + 2)) * 2;
    for (int n = 0; n < 64 && r.has(off, 6); ++n) {
        const qint64 size = qint64(r.u32(off)) * 2;
        const quint16 fn = r.u16(off + 4);
        if (size < 6 || !r.has(off, size) || fn == meta::Eof)
            break;
        if (fn == meta::SetWindowExt && size >= 10) {
            const double h = std::abs(r.i16(off + 6)), w = std::abs(r.i16(off + 8));
            if (w > 0 && h > 0)
                return QSizeF(w, h);
        }
        off += size;
    }
    return std::nullopt;
}

}  // namespace

std::optional<QSize> frameSizePx(QByteArrayView bytes) {
    const ByteReader r(bytes);
    switch (sniff(bytes)) {
        case Format::Emf: {
            double w = double(r.i32(32)) - r.i32(24), h = double(r.i32(36)) - r.i32(28);
            if (w > 0 && h > 0 && w <= 1e8 && h <= 1e8)
                return pxAt96(w, h, 2540);
            // No usable frame: the bounds, device pixels taken at 96 dpi.
            w = double(r.i32(16)) - r.i32(8) + 1, h = double(r.i32(20)) - r.i32(12) + 1;
            if (w > 0 && h > 0 && w <= 1e6 && h <= 1e6)
                return pxAt96(w, h, 96);
            return std::nullopt;
        }
        case Format::PlaceableWmf: {
            const int w = std::abs(r.i16(10) - r.i16(6)), h = std::abs(r.i16(12) - r.i16(8));
            const int inch = r.u16(14) > 0 ? r.u16(14) : 1440;
            if (w > 0 && h > 0)
                return pxAt96(w, h, inch);
            // A header box with no area: the records' window, in the header's units.
            if (const auto ext = recordWindowExt(r, 22))
                return pxAt96(ext->width(), ext->height(), inch);
            return std::nullopt;
        }
        case Format::BareWmf:
            // No physical size at all: the records' window taken as twips.
            if (const auto ext = recordWindowExt(r, 0))
                return pxAt96(ext->width(), ext->height(), 1440);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

std::optional<QSize> pictureSizePx(QByteArrayView bytes, qint64 maxPixels) {
    const std::optional<QSize> frame = frameSizePx(bytes);
    if (!frame || maxPixels <= 0)
        return std::nullopt;
    const double area = double(frame->width()) * frame->height();
    if (area <= double(maxPixels))
        return frame;
    // A vector picture is drawn smaller rather than dropped: same aspect, within the limit.
    const double k = std::sqrt(double(maxPixels) / area);
    QSize fitted(std::max(1, int(std::floor(frame->width() * k))),
                 std::max(1, int(std::floor(frame->height() * k))));
    while (qint64(fitted.width()) * fitted.height() > maxPixels)
        fitted = fitted.width() >= fitted.height() ? QSize(fitted.width() - 1, fitted.height())
                                                   : QSize(fitted.width(), fitted.height() - 1);
    return fitted;
}

QImage render(QByteArrayView bytes, QSize sizePx, const RenderOptions& options) {
    const Format format = sniff(bytes);
    if (format == Format::None || sizePx.isEmpty())
        return {};
    if (qint64(sizePx.width()) * sizePx.height() > options.maxImageBytes / 4)
        return {};
    QImage image(sizePx, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::white);
    if (format == Format::Emf)
        playEmf(bytes, image, options);
    else
        playWmf(bytes, image, options);
    return image;
}

qint64 playInner(QByteArrayView bytes, QImage& target, const RenderOptions& outer,
                 qint64 workLeft) {
    const Format format = sniff(bytes);
    if (format == Format::None || outer.nesting >= kMaxNesting || workLeft <= 0)
        return 0;
    RenderOptions options = outer;
    options.nesting = outer.nesting + 1;
    options.workLimit = workLeft;
    return format == Format::Emf ? playEmf(bytes, target, options)
                                 : playWmf(bytes, target, options);
}

QImage render(QByteArrayView bytes, QSize sizePx) {
    return render(bytes, sizePx, RenderOptions{});
}

}  // namespace pictrove::metafile
