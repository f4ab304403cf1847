#include "core/save/OpaqueImage.h"

#include <QPainter>

namespace pictrove::gdiplus {

QImage opaqueOnWhite(const QImage& image) {
    if (image.isNull()) {
        return {};
    }
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage out(image.size(), QImage::Format_RGB32);
    if (out.isNull()) {
        return {};  // no memory for the copy
    }
    out.setDotsPerMeterX(image.dotsPerMeterX());
    out.setDotsPerMeterY(image.dotsPerMeterY());
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(0, 0, image);
    return out;
}

}  // namespace pictrove::gdiplus
