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

std::optional<QSize> frameSizePx(QByteArrayView bytes) {
    const ByteReader r(bytes);
    switch (sniff(bytes)) {
        case Format::Emf: {
            const double w = double(r.i32(32)) - r.i32(24), h = double(r.i32(36)) - r.i32(28);
            if (w <= 0 || h <= 0 || w > 1e8 || h > 1e8)
                return std::nullopt;
            return QSize(std::max(1, int(std::lround(w / 2540.0 * 96.0))),
                         std::max(1, int(std::lround(h / 2540.0 * 96.0))));
        }
        case Format::PlaceableWmf: {
            const int w = std::abs(r.i16(10) - r.i16(6)), h = std::abs(r.i16(12) - r.i16(8));
            const int inch = r.u16(14);
            if (w == 0 || h == 0 || inch == 0)
                return std::nullopt;
            return QSize(std::max(1, int(std::lround(w * 96.0 / inch))),
                         std::max(1, int(std::lround(h * 96.0 / inch))));
        }
        default:
            return std::nullopt;
    }
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

QImage render(QByteArrayView bytes, QSize sizePx) {
    return render(bytes, sizePx, RenderOptions{});
}

}  // namespace pictrove::metafile
