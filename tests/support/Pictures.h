#pragma once

#include "core/picture/Picture.h"

#include <QColor>
#include <QImage>

namespace pictrove::test {

// A PNG picture of the given size filled with one colour.
inline picture::Picture solidPicture(int width, int height, QColor colour = Qt::red) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return picture::Picture::fromImage(image);
}

}  // namespace pictrove::test
