// Encoding and writing one 4-megapixel picture: our JPEG writer against
// QImage::save("JPG", 85), and our BMP writer and reader against QImage's, measured in
// the same process. Prints the median of several runs and the ratio ours / Qt's.

#include "core/save/BmpFile.h"
#include "core/save/SaveAsJPG.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// A photograph-like picture: smooth gradients with noise, so the encoder has work.
QImage makePicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(24));
            row[x] = qRgb((x * 255 / width + n) & 0xFF, (y * 255 / height + n) & 0xFF,
                          ((x + y) * 127 / (width + height) + n) & 0xFF);
        }
    }
    return image;
}

double medianMs(int runs, const std::function<bool()>& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!work()) {
            std::fprintf(stderr, "a run failed\n");
            return -1;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const char* what, double ours, double qt) {
    std::printf("%-28s ours %8.1f ms   Qt %8.1f ms   ratio %.2f\n", what, ours, qt, ours / qt);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int runs = 7;
    const QImage picture = makePicture(2304, 1728);  // about 4 megapixels
    QTemporaryDir dir;
    const QString ourJpg = dir.filePath(QStringLiteral("ours.jpg"));
    const QString qtJpg = dir.filePath(QStringLiteral("qt.jpg"));
    const QString ourBmp = dir.filePath(QStringLiteral("ours.bmp"));
    const QString qtBmp = dir.filePath(QStringLiteral("qt.bmp"));

    const double jpgOurs = medianMs(
        runs, [&] { return !pictrove::results::SaveJPGFile(picture, ourJpg, 85).has_value(); });
    const double jpgQt = medianMs(runs, [&] { return picture.save(qtJpg, "JPG", 85); });
    report("JPEG encode + write, q85", jpgOurs, jpgQt);

    const double bmpWriteOurs =
        medianMs(runs, [&] { return pictrove::results::writeBmp(picture, ourBmp).ok(); });
    const double bmpWriteQt = medianMs(runs, [&] { return picture.save(qtBmp, "BMP"); });
    report("BMP write", bmpWriteOurs, bmpWriteQt);

    const double bmpReadOurs =
        medianMs(runs, [&] { return pictrove::results::readBmp(ourBmp).ok(); });
    const double bmpReadQt = medianMs(runs, [&] { return !QImage(qtBmp, "BMP").isNull(); });
    report("BMP read", bmpReadOurs, bmpReadQt);

    // The save's JPG path per picture: BMP written, read back, encoded.
    const double pathOurs = medianMs(runs, [&] {
        return pictrove::results::writeBmp(picture, ourBmp).ok() &&
               !pictrove::results::SaveJPGFile(pictrove::results::readBmp(ourBmp).image, ourJpg,
                                               85);
    });
    const double pathQt = medianMs(runs, [&] {
        return picture.save(qtBmp, "BMP") && QImage(qtBmp, "BMP").save(qtJpg, "JPG", 85);
    });
    report("BMP -> read -> JPEG", pathOurs, pathQt);
    return 0;
}
