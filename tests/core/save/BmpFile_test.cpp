#include "core/save/BmpFile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pictrove::results;

namespace {

QImage noise(int width, int height, quint32 seed) {
    QRandomGenerator random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            row[x] = 0xFF000000u | (random.generate() & 0xFFFFFFu);
        }
    }
    return image;
}

// Compares pixel values only (QImage::operator== also compares colour spaces).
bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y)) {
                qWarning("pixel %d,%d differs: %08x vs %08x", x, y, a.pixel(x, y), b.pixel(x, y));
                return false;
            }
        }
    }
    return true;
}

QByteArray bmpBytes(const QImage& image) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.bmp"));
    if (!writeBmp(image, path).ok()) {
        return {};
    }
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void putU32(QByteArray& bytes, int at, quint32 v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = char((v >> (8 * i)) & 0xFF);
    }
}

}  // namespace

class BmpFileTest : public QObject {
    Q_OBJECT

  private slots:
    void written_file_decodes_elsewhere_with_the_same_pixels_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("one pixel") << QSize(1, 1);
        QTest::newRow("rows need padding") << QSize(3, 2);
        QTest::newRow("rows need no padding") << QSize(4, 5);
        QTest::newRow("wide and short") << QSize(257, 3);
    }
    void written_file_decodes_elsewhere_with_the_same_pixels() {
        QFETCH(QSize, size);
        const QImage image = noise(size.width(), size.height(), quint32(size.width() * 7919));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report_1.bmp"));
        const BmpWriteResult written = writeBmp(image, path);
        QVERIFY2(written.ok(), qPrintable(written.message));
        QVERIFY(samePixels(QImage(path, "BMP"), image));
        const BmpReadResult read = readBmp(path);
        QVERIFY2(read.ok(), qPrintable(read.message));
        QCOMPARE(read.image.format(), QImage::Format_RGB32);
        QVERIFY(samePixels(read.image, image));

        if (!QStandardPaths::findExecutable(QStringLiteral("identify")).isEmpty()) {
            QProcess identify;
            identify.start(QStringLiteral("identify"),
                           {QStringLiteral("-format"), QStringLiteral("%m %w %h %z"), path});
            QVERIFY(identify.waitForFinished(30000));
            QCOMPARE(QString::fromLatin1(identify.readAllStandardOutput()).trimmed(),
                     QStringLiteral("BMP3 %1 %2 8").arg(size.width()).arg(size.height()));
        }
    }

    void transparency_is_composed_onto_white() {
        QImage image(3, 1, QImage::Format_ARGB32);
        image.setPixel(0, 0, qRgba(0, 0, 0, 0));       // fully transparent
        image.setPixel(1, 0, qRgba(255, 0, 0, 128));   // half-transparent red
        image.setPixel(2, 0, qRgba(10, 20, 30, 255));  // opaque
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alpha.bmp"));
        QVERIFY(writeBmp(image, path).ok());
        const QImage back = readBmp(path).image;
        QCOMPARE(back.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(qRed(back.pixel(1, 0)), 255);
        QVERIFY(qAbs(qGreen(back.pixel(1, 0)) - 127) <= 1);
        QVERIFY(qAbs(qBlue(back.pixel(1, 0)) - 127) <= 1);
        QCOMPARE(back.pixel(2, 0), qRgb(10, 20, 30));
    }

    void reads_what_qt_writes_and_32_bit_top_down() {
        const QImage image = noise(5, 4, 42);
        QByteArray qtBmp;
        QBuffer buffer(&qtBmp);
        QVERIFY(image.save(&buffer, "BMP"));
        const BmpReadResult fromQt = decodeBmp(qtBmp);
        QVERIFY2(fromQt.ok(), qPrintable(fromQt.message));
        QVERIFY(samePixels(fromQt.image, image));

        // The same picture as a 32-bit top-down BMP with junk in the unused byte.
        QByteArray bytes(54 + 5 * 4 * 4, '\0');
        bytes[0] = 'B';
        bytes[1] = 'M';
        putU32(bytes, 2, quint32(bytes.size()));
        putU32(bytes, 10, 54);
        putU32(bytes, 14, 40);
        putU32(bytes, 18, 5);
        putU32(bytes, 22, quint32(-4));
        bytes[26] = 1;
        bytes[28] = 32;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                putU32(bytes, 54 + (y * 5 + x) * 4, (image.pixel(x, y) & 0xFFFFFFu) | 0x5A000000u);
            }
        }
        const BmpReadResult topDown = decodeBmp(bytes);
        QVERIFY2(topDown.ok(), qPrintable(topDown.message));
        QVERIFY(samePixels(topDown.image, image));
    }

    void every_truncation_fails_cleanly() {
        const QByteArray whole = bmpBytes(noise(7, 3, 9));
        QVERIFY(decodeBmp(whole).ok());
        for (qsizetype length = 0; length < whole.size(); ++length) {
            // Exactly `length` bytes on the heap, so a read past them trips the sanitizer.
            auto copy = std::make_unique<char[]>(size_t(qMax<qsizetype>(length, 1)));
            std::memcpy(copy.get(), whole.constData(), size_t(length));
            const BmpReadResult r = decodeBmp(QByteArrayView(copy.get(), length));
            QVERIFY2(!r.ok() && r.image.isNull(), qPrintable(QString::number(length)));
        }
    }

    void damaged_headers_give_their_status_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<quint32>("value");
        QTest::addColumn<BmpStatus>("status");
        QTest::newRow("8 bits per pixel") << 28 << quint32(8) << BmpStatus::Unsupported;
        QTest::newRow("run-length compressed") << 30 << quint32(1) << BmpStatus::Unsupported;
        QTest::newRow("OS/2 core header") << 14 << quint32(12) << BmpStatus::Unsupported;
        QTest::newRow("zero width") << 18 << quint32(0) << BmpStatus::Damaged;
        QTest::newRow("negative width") << 18 << quint32(-5) << BmpStatus::Damaged;
        QTest::newRow("zero height") << 22 << quint32(0) << BmpStatus::Damaged;
        QTest::newRow("pixels inside header") << 10 << quint32(20) << BmpStatus::Damaged;
        QTest::newRow("pixels past the end") << 10 << quint32(4000) << BmpStatus::Truncated;
        QTest::newRow("height beyond the bytes") << 22 << quint32(100) << BmpStatus::Truncated;
        QTest::newRow("absurd size") << 18 << quint32(0x7FFFFFFF) << BmpStatus::TooLarge;
        QTest::newRow("no signature") << 0 << quint32(0x4D42 << 8) << BmpStatus::NotBmp;
    }
    void damaged_headers_give_their_status() {
        QFETCH(int, offset);
        QFETCH(quint32, value);
        QFETCH(BmpStatus, status);
        QByteArray bytes = bmpBytes(noise(4, 4, 3));
        putU32(bytes, offset, value);
        const BmpReadResult r = decodeBmp(bytes);
        QCOMPARE(r.status, status);
        QVERIFY(!r.message.isEmpty());
        QVERIFY(r.image.isNull());
    }

    void widthTimesHeightBeyondSixtyThreeBitsIsTooLarge() {
        QByteArray bytes = bmpBytes(noise(4, 4, 3));
        putU32(bytes, 18, 0x7FFFFFFF);
        putU32(bytes, 22, 0x7FFFFFFF);
        QCOMPARE(decodeBmp(bytes).status, BmpStatus::TooLarge);
    }

    void write_into_missing_folder_fails_and_leaves_nothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("gone/report_1.bmp"));
        const BmpWriteResult r = writeBmp(noise(2, 2, 1), path);
        QCOMPARE(r.status, BmpStatus::CannotWrite);
        QVERIFY(r.message.contains(path));
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(writeBmp(QImage(), dir.filePath(QStringLiteral("x.bmp"))).status,
                 BmpStatus::NullImage);
        QCOMPARE(readBmp(path).status, BmpStatus::CannotRead);
    }
};

QTEST_MAIN(BmpFileTest)
#include "BmpFile_test.moc"
