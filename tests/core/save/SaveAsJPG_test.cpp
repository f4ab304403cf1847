#include "core/save/SaveAsJPG.h"
#include "core/save/Gdiplus.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using pictrove::results::SaveJPGFile;

namespace {

// A picture with strong, distinct channels, so that swapped channels show.
QImage colourBands() {
    QImage image(64, 48, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 32, 48, QColor(220, 20, 20));
    p.fillRect(32, 0, 32, 24, QColor(20, 200, 30));
    p.fillRect(32, 24, 32, 24, QColor(10, 40, 230));
    return image;
}

// The quality ImageMagick estimates from the file's quantisation tables.
QString identifyQuality(const QString& path) {
    QProcess identify;
    identify.start(QStringLiteral("identify"),
                   {QStringLiteral("-format"), QStringLiteral("%Q"), path});
    if (!identify.waitForFinished(30000) || identify.exitCode() != 0) {
        return QStringLiteral("identify failed: ") + identify.readAllStandardError();
    }
    return QString::fromLatin1(identify.readAllStandardOutput()).trimmed();
}

bool near(QColor a, QColor b, int tolerance) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

class SaveAsJPGTest : public QObject {
    Q_OBJECT

  private slots:
    void quality_reads_back_from_the_file_data() {
        QTest::addColumn<int>("quality");
        QTest::addColumn<QString>("expected");
        QTest::newRow("slider default 85") << 85 << "85";
        QTest::newRow("best 100") << 100 << "100";
        // libjpeg's scale starts at 1: quality 0 is encoded as 1.
        QTest::newRow("lowest 0") << 0 << "1";
        QTest::newRow("low 1") << 1 << "1";
        QTest::newRow("middle 50") << 50 << "50";
    }
    void quality_reads_back_from_the_file() {
        if (QStandardPaths::findExecutable(QStringLiteral("identify")).isEmpty()) {
            QSKIP("ImageMagick's identify is not installed");
        }
        QFETCH(int, quality);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report_1.jpg"));
        const auto error = SaveJPGFile(colourBands(), path, std::uint8_t(quality));
        QVERIFY2(!error, error ? qPrintable(error->description) : "");
        QCOMPARE(identifyQuality(path), expected);
    }

    void colours_survive_the_encoder() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bands.jpg"));
        QVERIFY(!SaveJPGFile(colourBands(), path, 100));
        const QImage back(path);
        QCOMPARE(back.size(), QSize(64, 48));
        QVERIFY(near(back.pixelColor(8, 8), QColor(220, 20, 20), 12));
        QVERIFY(near(back.pixelColor(50, 8), QColor(20, 200, 30), 12));
        QVERIFY(near(back.pixelColor(50, 40), QColor(10, 40, 230), 12));
    }

    void transparent_pixels_come_out_white() {
        QImage image(32, 32, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("clear.jpg"));
        QVERIFY(!SaveJPGFile(image, path, 90));
        QVERIFY(near(QImage(path).pixelColor(16, 16), Qt::white, 3));
    }

    void missing_folder_reports_the_save_status_and_writes_nothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("not here/report_1.jpg"));
        const auto error = SaveJPGFile(colourBands(), path, 85);
        QVERIFY(error);
        QCOMPARE(error->number, 5);
        QCOMPARE(error->description, QStringLiteral("Cannot save the image. GDI+ Error:7"));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(QDir(dir.path()).isEmpty());
        QCOMPARE(pictrove::gdiplus::liveImageCount(), 0);
    }

    void null_picture_reports_the_bitmap_status() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("none.jpg"));
        const auto error = SaveJPGFile(QImage(), path, 85);
        QVERIFY(error);
        QCOMPARE(error->number, 5);
        QCOMPARE(error->description, QStringLiteral("Cannot save the image. GDI+ Error:2"));
        QVERIFY(!QFileInfo::exists(path));
    }

    void two_calls_in_a_row_both_succeed() {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("a_1.jpg"));
        const QString second = dir.filePath(QStringLiteral("a_2.jpg"));
        QVERIFY(!SaveJPGFile(colourBands(), first, 85));
        QVERIFY(!SaveJPGFile(colourBands().mirrored(), second, 85));
        QCOMPARE(QImage(first).size(), QSize(64, 48));
        QCOMPARE(QImage(second).size(), QSize(64, 48));
        QCOMPARE(pictrove::gdiplus::liveImageCount(), 0);
        // GDI+ was shut down after each call: nothing may be created now.
        const QImage image = colourBands();
        pictrove::gdiplus::GpBitmap* bitmap = nullptr;
        QCOMPARE(pictrove::gdiplus::GdipCreateBitmapFromHBITMAP(&image, nullptr, &bitmap),
                 pictrove::gdiplus::Status::GdiplusNotInitialized);
    }

    void an_existing_file_is_replaced() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report_1.jpg"));
        QVERIFY(!SaveJPGFile(QImage(8, 8, QImage::Format_RGB32), path, 85));
        QVERIFY(!SaveJPGFile(colourBands(), path, 85));
        QCOMPARE(QImage(path).size(), QSize(64, 48));
    }
};

QTEST_MAIN(SaveAsJPGTest)
#include "SaveAsJPG_test.moc"
