#include "core/model/GroupPicture.h"

#include <QPainter>

#include <cmath>

namespace pictrove::word {

namespace {

// The children drawn at their places on white; null when none of them could be drawn.
QImage draw(const std::vector<PlacedPicture>& children, const QRectF& extent, double scale,
            QSize outSize) {
    QImage out(outSize, QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter painter(&out);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    bool drewAny = false;
    for (const PlacedPicture& child : children) {
        if (child.picture.isNull() || child.rect.width() <= 0 || child.rect.height() <= 0)
            continue;
        const QImage image = child.picture.toImage();
        if (image.isNull())
            continue;
        const QRectF target((child.rect.x() - extent.x()) * scale,
                            (child.rect.y() - extent.y()) * scale, child.rect.width() * scale,
                            child.rect.height() * scale);
        painter.drawImage(target, image);
        drewAny = true;
    }
    painter.end();
    return drewAny ? out : QImage();
}

}  // namespace

picture::Picture composeGroup(const std::vector<PlacedPicture>& children, const QRectF& extent) {
    if (!extent.isValid() || extent.width() <= 0 || extent.height() <= 0)
        return {};
    double scale = 0;
    for (const PlacedPicture& child : children) {
        if (child.picture.isNull() || child.rect.width() <= 0 || child.rect.height() <= 0)
            continue;
        const QSize s = child.picture.size();
        scale = std::max({scale, s.width() / child.rect.width(), s.height() / child.rect.height()});
    }
    if (scale <= 0 || !std::isfinite(scale))
        return {};
    // Keep within the pixel budget and a sane side length.
    const double pixels = extent.width() * scale * extent.height() * scale;
    if (pixels > double(kMaxComposedPixels))
        scale *= std::sqrt(double(kMaxComposedPixels) / pixels);
    scale = std::min({scale, 16384.0 / extent.width(), 16384.0 / extent.height()});
    const QSize outSize(std::max(1, int(std::lround(extent.width() * scale))),
                        std::max(1, int(std::lround(extent.height() * scale))));
    // Drawn only when the picture itself is asked for: a listing needs its size alone.
    return picture::Picture::deferred(outSize, [children, extent, scale, outSize] {
        return draw(children, extent, scale, outSize);
    });
}

}  // namespace pictrove::word
