#include "ImageCompare.h"

#include <algorithm>
#include <cstdlib>

namespace pictrove::test {

QString ImageDifference::describe() const {
    if (!sameSize)
        return QStringLiteral("sizes differ");
    return QStringLiteral("mean %1, worst 8x8 block %2")
        .arg(mean, 0, 'f', 2)
        .arg(worstBlock, 0, 'f', 2);
}

ImageDifference compareImages(const QImage& actualIn, const QImage& expectedIn) {
    ImageDifference d;
    if (actualIn.size() != expectedIn.size() || actualIn.isNull())
        return d;
    d.sameSize = true;
    const QImage a = actualIn.convertToFormat(QImage::Format_RGB32);
    const QImage e = expectedIn.convertToFormat(QImage::Format_RGB32);
    const int w = a.width(), h = a.height();
    double total = 0;
    for (int by = 0; by < h; by += 8) {
        for (int bx = 0; bx < w; bx += 8) {
            double block = 0;
            int count = 0;
            for (int y = by; y < std::min(h, by + 8); ++y) {
                const QRgb* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
                const QRgb* le = reinterpret_cast<const QRgb*>(e.constScanLine(y));
                for (int x = bx; x < std::min(w, bx + 8); ++x) {
                    const int diff = std::abs(qRed(la[x]) - qRed(le[x])) +
                                     std::abs(qGreen(la[x]) - qGreen(le[x])) +
                                     std::abs(qBlue(la[x]) - qBlue(le[x]));
                    block += diff / 3.0;
                    ++count;
                }
            }
            total += block;
            d.worstBlock = std::max(d.worstBlock, block / count);
        }
    }
    d.mean = total / (double(w) * h);
    return d;
}

}  // namespace pictrove::test
