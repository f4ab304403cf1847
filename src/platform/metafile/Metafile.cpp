#include "platform/metafile/Metafile.h"

#include <QtEndian>

namespace pictrove::metafile {

std::optional<QSize> frameSizePx(QByteArrayView b) {
    auto u32 = [&](qsizetype off) { return qFromLittleEndian<qint32>(b.data() + off); };
    auto i16 = [&](qsizetype off) { return qFromLittleEndian<qint16>(b.data() + off); };
    if (b.size() >= 88 && u32(0) == 1) {
        // EMF frame in 0.01 mm.
        const double w = double(u32(32)) - u32(24), h = double(u32(36)) - u32(28);
        if (w <= 0 || h <= 0)
            return std::nullopt;
        return QSize(qRound(w / 2540.0 * 96.0), qRound(h / 2540.0 * 96.0));
    }
    if (b.size() >= 22 && static_cast<quint32>(u32(0)) == 0x9AC6CDD7u) {
        const int w = i16(10) - i16(6), h = i16(12) - i16(8), inch = quint16(i16(14));
        if (w <= 0 || h <= 0 || inch == 0)
            return std::nullopt;
        return QSize(qRound(w * 96.0 / inch), qRound(h * 96.0 / inch));
    }
    return std::nullopt;
}

QImage render(QByteArrayView bytes, QSize sizePx) {
    if (!frameSizePx(bytes) || sizePx.isEmpty())
        return {};
    QImage image(sizePx, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

}  // namespace pictrove::metafile
