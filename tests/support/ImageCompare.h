#pragma once

#include <QImage>
#include <QString>

namespace pictrove::test {

// How far two images of one size are apart: the mean absolute difference per colour
// channel over the whole image (0..255), and the worst mean over any 8x8 block.
struct ImageDifference {
    bool sameSize = false;
    double mean = 0;
    double worstBlock = 0;
    QString describe() const;
};

ImageDifference compareImages(const QImage& actual, const QImage& expected);

}  // namespace pictrove::test
