// Renders every metafile committed under tests/data/metafile and compares it with the
// reference PNG beside it (mean absolute difference per channel, worst 8x8 block).
//
// The references are made once, by hand: PICTROVE_WRITE_METAFILE_REFERENCES=1 makes
// writeReferences() write the hand-made metafiles with a picture of what they must
// show, drawn straight with QPainter, and copy the chosen corpus metafiles out of their
// documents with our own reviewed rendering as regression reference (README.md there).

#include "core/metafile/Metafile.h"
#include "support/ImageCompare.h"
#include "support/MetafileBuilder.h"
#include "support/TestUtils.h"

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QtTest>

#include <functional>

using namespace pictrove;
using test::EmfBuilder;
using test::renderAtFrame;
using test::WmfBuilder;

namespace {

constexpr double kMaxMean = 2.5;
constexpr double kMaxBlock = 48;

QString dataDir() {
    return QStringLiteral(PICTROVE_TEST_DATA_DIR "/metafile");
}

QImage whiteImage(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

QImage checker(int n, QColor a, QColor b) {
    QImage img(n, n, QImage::Format_RGB32);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            img.setPixelColor(x, y, (x + y) % 2 ? a : b);
    return img;
}

struct HandMade {
    const char* name;
    std::function<QByteArray()> metafile;
    std::function<QImage()> expected;
};

std::vector<HandMade> handMade() {
    std::vector<HandMade> out;
    out.push_back({"hand_emf_shapes",
                   [] {
                       return EmfBuilder(120, 90)
                           .selectObject(0x80000008u)
                           .createBrush(1, 0, QColor(200, 30, 30))
                           .selectObject(1)
                           .rectangle(QRect(10, 10, 50, 40))
                           .createBrush(2, 0, QColor(30, 60, 200))
                           .selectObject(2)
                           .ellipse(QRect(50, 30, 60, 50))
                           .createBrush(3, 0, QColor(40, 160, 60))
                           .selectObject(3)
                           .polygon16({{70, 5}, {115, 5}, {92, 40}})
                           .createPen(4, 0, 3, Qt::black)
                           .selectObject(4)
                           .polyline16({{5, 85}, {60, 60}, {115, 85}})
                           .finish();
                   },
                   [] {
                       QImage img = whiteImage({120, 90});
                       QPainter p(&img);
                       p.setPen(Qt::NoPen);
                       p.fillRect(QRect(10, 10, 50, 40), QColor(200, 30, 30));
                       p.setBrush(QColor(30, 60, 200));
                       p.drawEllipse(QRectF(50, 30, 60, 50));
                       p.setBrush(QColor(40, 160, 60));
                       p.drawPolygon(QPolygonF({{70, 5}, {115, 5}, {92, 40}}));
                       p.setRenderHint(QPainter::Antialiasing);
                       p.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                       p.drawPolyline(QPolygonF({{5, 85}, {60, 60}, {115, 85}}));
                       return img;
                   }});
    out.push_back({"hand_emf_clip_mapping",
                   [] {
                       return EmfBuilder(120, 90)
                           .setMapMode(8)
                           .setWindowExt(1200, 900)
                           .setViewportExt(120, 90)
                           .selectObject(0x80000008u)
                           .createBrush(1, 0, QColor(30, 60, 200))
                           .selectObject(1)
                           .saveDc()
                           .intersectClipRect(QRect(100, 100, 1000, 700))
                           .excludeClipRect(QRect(500, 300, 200, 300))
                           .rectangle(QRect(0, 0, 1200, 900))
                           .restoreDc(-1)
                           .createBrush(2, 0, QColor(250, 200, 0))
                           .selectObject(2)
                           .rectangle(QRect(0, 820, 1200, 80))
                           .finish();
                   },
                   [] {
                       QImage img = whiteImage({120, 90});
                       QPainter p(&img);
                       p.setClipRegion(
                           QRegion(10, 10, 100, 70).subtracted(QRegion(50, 30, 20, 30)));
                       p.fillRect(img.rect(), QColor(30, 60, 200));
                       p.setClipping(false);
                       p.fillRect(QRect(0, 82, 120, 8), QColor(250, 200, 0));
                       return img;
                   }});
    out.push_back(
        {"hand_emf_dib_world",
         [] {
             return EmfBuilder(100, 80)
                 .setWorldTransform(1, 0, 0, 1, 20, 10)
                 .stretchDiBits(QRect(0, 0, 64, 64),
                                test::packedDib(checker(8, Qt::black, QColor(255, 220, 0)), 8))
                 .finish();
         },
         [] {
             QImage img = whiteImage({100, 80});
             QPainter p(&img);
             p.setRenderHint(QPainter::SmoothPixmapTransform);
             p.drawImage(QRectF(20, 10, 64, 64), checker(8, Qt::black, QColor(255, 220, 0)));
             return img;
         }});
    out.push_back({"hand_wmf_shapes",
                   [] {
                       return WmfBuilder(QRect(0, 0, 2000, 1500), 1440)
                           .setWindowOrg(0, 0)
                           .setWindowExt(2000, 1500)
                           .createPen(5, 0, QColor())
                           .selectObject(0)
                           .createBrush(0, QColor(250, 200, 0))
                           .selectObject(1)
                           .rectangle(QRect(200, 200, 800, 600))
                           .createBrush(0, QColor(30, 60, 200))
                           .selectObject(2)
                           .ellipse(QRect(1000, 600, 800, 800))
                           .createBrush(0, QColor(40, 160, 60))
                           .selectObject(3)
                           .polygon({{1200, 100}, {1900, 100}, {1550, 500}})
                           .finish();
                   },
                   [] {
                       QImage img = whiteImage({133, 100});
                       QPainter p(&img);
                       p.scale(133.0 / 2000, 100.0 / 1500);
                       p.setPen(Qt::NoPen);
                       p.setBrush(QColor(250, 200, 0));
                       p.drawRect(QRectF(200, 200, 800, 600));
                       p.setBrush(QColor(30, 60, 200));
                       p.drawEllipse(QRectF(1000, 600, 800, 800));
                       p.setBrush(QColor(40, 160, 60));
                       p.drawPolygon(QPolygonF({{1200, 100}, {1900, 100}, {1550, 500}}));
                       return img;
                   }});
    out.push_back({"hand_wmf_dib_clip",
                   [] {
                       return WmfBuilder(QRect(0, 0, 100, 100), 96)
                           .setWindowExt(100, 100)
                           .intersectClipRect(QRect(10, 10, 70, 70))
                           .stretchDib(QRect(0, 0, 100, 100),
                                       test::packedDib(checker(4, Qt::red, Qt::blue)))
                           .finish();
                   },
                   [] {
                       QImage img = whiteImage({100, 100});
                       QPainter p(&img);
                       p.setClipRect(QRect(10, 10, 70, 70));
                       p.setRenderHint(QPainter::SmoothPixmapTransform);
                       p.drawImage(QRectF(0, 0, 100, 100), checker(4, Qt::red, Qt::blue));
                       return img;
                   }});
    // Clip art as converters write it: the window is the frame in 0.01 mm, the viewport
    // the bounds in device pixels, and the description sits where the header's
    // micrometres would be.
    out.push_back({"hand_emf_anisotropic_header",
                   [] {
                       test::EmfHeaderFields h;
                       h.bounds = QRect(QPoint(1, 1), QPoint(55, 37));
                       h.frame = QRect(QPoint(0, 0), QPoint(1464, 1005));
                       h.description = QStringLiteral("Clip art\0Picture 1");
                       h.descriptionAt = 88;
                       return EmfBuilder(1, 1)
                           .header(h)
                           .setMapMode(8)
                           .setWindowOrg(0, 0)
                           .setWindowExt(1464, 1005)
                           .setViewportOrg(0, 0)
                           .setViewportExt(56, 38)
                           .setPolyFillMode(1)
                           .createPen(1, 0, 0, QColor(30, 60, 200))
                           .selectObject(1)
                           .createBrush(2, 0, QColor(250, 200, 0))
                           .selectObject(2)
                           .polygon16({{100, 900}, {732, 100}, {1364, 900}})
                           .polyline16({{100, 950}, {1364, 950}})
                           .finish();
                   },
                   [] {
                       QImage img = whiteImage({55, 38});
                       QPainter p(&img);
                       p.scale(56.0 / 1464 * 55 / 55.33, 38.0 / 1005 * 38 / 37.98);
                       p.setPen(Qt::NoPen);
                       p.setBrush(QColor(250, 200, 0));
                       p.drawPolygon(QPolygonF({{100, 900}, {732, 100}, {1364, 900}}));
                       p.resetTransform();
                       p.setRenderHint(QPainter::Antialiasing);
                       p.setPen(QPen(QColor(30, 60, 200), 1));
                       const double sx = 56.0 / 1464 * 55 / 55.33, sy = 38.0 / 1005 * 38 / 37.98;
                       p.drawPolygon(QPolygonF(
                           {{100 * sx, 900 * sy}, {732 * sx, 100 * sy}, {1364 * sx, 900 * sy}}));
                       p.drawLine(QPointF(100 * sx, 950 * sy), QPointF(1364 * sx, 950 * sy));
                       return img;
                   }});
    // An equation as equation editors store it: an italic variable, Greek and the prime
    // from the Symbol font, the ellipsis from MT Extra.
    out.push_back(
        {"hand_wmf_equation",
         [] {
             return WmfBuilder(QRect(0, 0, 2880, 720), 1440)
                 .setWindowOrg(0, 0)
                 .setWindowExt(2880, 720)
                 .setBkMode(1)
                 .createFont(-480, "Times New Roman", 400, true)
                 .selectObject(0)
                 .textOut(120, 120, "x")
                 .createFont(-480, "Symbol", 400, false, 2)
                 .selectObject(1)
                 .textOut(600, 120, "w\xa2")
                 .createFont(-480, "MT Extra", 400, false, 2)
                 .selectObject(2)
                 .textOut(1500, 120, "L")
                 .finish();
         },
         [] {
             QImage img = whiteImage({192, 48});
             QPainter p(&img);
             p.setRenderHint(QPainter::Antialiasing);
             p.setRenderHint(QPainter::TextAntialiasing);
             auto text = [&p](const QString& family, bool italic, double x, const QString& s) {
                 QFont f(family);
                 f.setItalic(italic);
                 f.setPixelSize(32);
                 f.setKerning(false);
                 p.setFont(f);
                 p.drawText(QPointF(x, 8 + QFontMetricsF(f).ascent()), s);
             };
             text(QStringLiteral("Liberation Serif"), true, 8, QStringLiteral("x"));
             text(QStringLiteral("DejaVu Serif"), false, 40, QStringLiteral("\u03C9\u2032"));
             text(QStringLiteral("DejaVu Sans"), false, 100, QStringLiteral("\u22EF"));
             return img;
         }});
    return out;
}

// Corpus metafiles kept as regression references: document, member, file name here.
struct FromCorpus {
    const char* document;
    const char* member;
    const char* name;
};
const FromCorpus kCorpus[] = {
    {"docx4j_EMF.docx", "word/media/image1.emf", "docx4j_EMF-image1.emf"},
    {"docx4j_EMF.docx", "word/media/image2.emf", "docx4j_EMF-image2.emf"},
    {"docx4j_WMF.docx", "word/media/image2.wmf", "docx4j_WMF-image2.wmf"},
    {"docx4j_LegacyForms.docx", "word/media/image1.wmf", "docx4j_LegacyForms-image1.wmf"},
    {"docx4j_LegacyForms.docx", "word/media/image4.wmf", "docx4j_LegacyForms-image4.wmf"},
    {"docx4j_headers_footers.docx", "docProps/thumbnail.emf",
     "docx4j_headers_footers-thumbnail.emf"},
};

QString handMadePath(const HandMade& h) {
    const bool emf = QByteArray(h.name).contains("emf");
    return dataDir() + u'/' + QString::fromLatin1(h.name) +
           (emf ? QStringLiteral(".emf") : QStringLiteral(".wmf"));
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace

class MetafileReferenceTest : public QObject {
    Q_OBJECT
  private slots:
    void matchesReference_data();
    void matchesReference();
    void handMadeFilesAreCurrent();
    void writeReferences();
};

void MetafileReferenceTest::matchesReference_data() {
    QTest::addColumn<QString>("metafile");
    const QDir dir(dataDir());
    const QStringList files =
        dir.entryList({QStringLiteral("*.emf"), QStringLiteral("*.wmf")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        QTest::newRow("no-references") << QString();
    for (const QString& f : files)
        QTest::newRow(qPrintable(f)) << dir.filePath(f);
}

void MetafileReferenceTest::matchesReference() {
    QFETCH(QString, metafile);
    QVERIFY2(!metafile.isEmpty(), "the committed reference set is missing");
    QFile file(metafile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QImage actual = renderAtFrame(file.readAll());
    const QImage expected(metafile + QStringLiteral(".png"));
    QVERIFY2(!expected.isNull(), "reference PNG missing");
    const test::ImageDifference d = test::compareImages(actual, expected);
    qInfo("%s: %s", qPrintable(QFileInfo(metafile).fileName()), qPrintable(d.describe()));
    QVERIFY2(d.sameSize, qPrintable(d.describe()));
    QVERIFY2(d.mean <= kMaxMean && d.worstBlock <= kMaxBlock, qPrintable(d.describe()));
}

void MetafileReferenceTest::handMadeFilesAreCurrent() {
    // The committed hand-made files are exactly what the builder writes today, so the
    // expected pictures above keep describing them.
    for (const HandMade& h : handMade()) {
        QFile f(handMadePath(h));
        QVERIFY2(f.open(QIODevice::ReadOnly), h.name);
        QCOMPARE(f.readAll(), h.metafile());
    }
}

void MetafileReferenceTest::writeReferences() {
    if (qEnvironmentVariableIsEmpty("PICTROVE_WRITE_METAFILE_REFERENCES"))
        QSKIP("set PICTROVE_WRITE_METAFILE_REFERENCES=1 to rewrite the references");
    QDir().mkpath(dataDir());
    for (const HandMade& h : handMade()) {
        const QString base = handMadePath(h);
        QVERIFY(writeFile(base, h.metafile()));
        QVERIFY(h.expected().save(base + QStringLiteral(".png")));
    }
    const QString corpus = test::corpusDir();
    if (corpus.isEmpty())
        QSKIP("no corpus: only the hand-made references were written");
    for (const FromCorpus& c : kCorpus) {
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"),
                    {QStringLiteral("-p"), corpus + u'/' + QString::fromLatin1(c.document),
                     QString::fromLatin1(c.member)});
        QVERIFY(unzip.waitForFinished(60000));
        const QByteArray bytes = unzip.readAllStandardOutput();
        QVERIFY2(metafile::sniff(bytes) != metafile::Format::None, c.name);
        const QString base = dataDir() + u'/' + QString::fromLatin1(c.name);
        QVERIFY(writeFile(base, bytes));
        QVERIFY(renderAtFrame(bytes).save(base + QStringLiteral(".png")));
    }
}

QTEST_MAIN(MetafileReferenceTest)
#include "metafile_reference_test.moc"
