// The Original output format: stored bytes untouched where the window shows exactly
// them, a PNG of the window's picture where the document changed it.

#include "DocBuilder.h"
#include "MetafileBuilder.h"
#include "TestDocuments.h"
#include "core/extract/DocumentExtraction.h"
#include "core/save/SaveResults.h"
#include "gui/results/Form2.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using results::OutputFormat;
using results::SaveResults;
using results::SaveStatus;

namespace {

constexpr quint16 kBlipEmf = 0xF01A;
constexpr quint16 kBlipWmf = 0xF01B;
constexpr quint16 kBlipJpeg = 0xF01D;
constexpr quint16 kBlipPng = 0xF01E;
constexpr quint16 kBlipDib = 0xF01F;
constexpr quint16 kPib = 0x0104;
constexpr quint16 kCropFromTop = 0x0100;
constexpr quint16 kCropFromLeft = 0x0102;
constexpr quint16 kCropFromRight = 0x0103;
constexpr qint32 kEmuPerInch = 914400;

QString croppedFloatingPic(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:pict><v:shape style=\"position:absolute\"><v:imagedata r:id=\"%1\" "
               "cropleft=\"0.25\" croptop=\"0.5\"/></v:shape></w:pict></w:r></w:p>")
        .arg(rel);
}

// A picture whose quadrants differ, the top-right one half transparent, so that a crop,
// a placement or a composition that is off shows in the pixels.
QImage quadrants(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const bool right = x >= size.width() / 2, bottom = y >= size.height() / 2;
            image.setPixelColor(x, y,
                                bottom ? (right ? QColor(20, 160, 40) : QColor(30, 60, 200))
                                       : (right ? QColor(240, 200, 0, 128) : QColor(220, 30, 30)));
        }
    }
    return image;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A GIF of 2 x 1 pixels, written byte by byte (Qt writes no GIF).
QByteArray gifBytes() {
    static const unsigned char bytes[] = {
        'G',  'I', 'F',  '8',  '9', 'a',  2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-colour table
        0xFF, 0,   0,    0,    0,   0xFF,                          // red, blue
        ',',  0,   0,    0,    0,   2,    0, 1, 0, 0,              // image descriptor
        2,    2,   0x44, 0x01, 0,                                  // LZW data
        ';'};
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// A document saved as Original as the program does it: written to a file, extracted by
// a run (its pictures kept in the run's store), then saved into a folder of its own.
class OriginalSave {
  public:
    OriginalSave(const QString& name, const QByteArray& document) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(document) != document.size())
            return;
        f.close();
        const QString temporary = dir_.filePath(QStringLiteral("tmp"));
        const QString out = dir_.filePath(QStringLiteral("out"));
        if (!QDir().mkdir(temporary) || !QDir().mkdir(out))
            return;
        int counter = 1;
        extract::ExtractImagesFromDocument(path, counter, rows_,
                                           extract::defaultEnvironment(temporary));
        outcome_ = SaveResults(rows_, {out, OutputFormat::Original, 85});
    }

    const extract::ResultStore& rows() const { return rows_; }
    const results::SaveOutcome& outcome() const { return outcome_; }
    // The names of the files written, in row order.
    QStringList names() const {
        QStringList names;
        for (const QString& file : outcome_.files)
            names << QFileInfo(file).fileName();
        return names;
    }
    QByteArray bytes(int row) const { return readAll(outcome_.files.value(row)); }

  private:
    QTemporaryDir dir_;
    extract::ResultStore rows_;
    results::SaveOutcome outcome_;
};

// The picture the results window shows for a holder: its preview control's pixmap.
QImage shownInWindow(const picture::Picture& picture) {
    results::PreviewPicture preview(nullptr);
    preview.setPicture(picture);
    return preview.pixmap().toImage();
}

// The first pixel (alpha included) where two images differ; "" when they are the same.
QString pixelDifference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size()) {
        return QStringLiteral("%1 x %2 pixels, expected %3 x %4")
            .arg(actual.width())
            .arg(actual.height())
            .arg(expected.width())
            .arg(expected.height());
    }
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != e.pixel(x, y)) {
                return QStringLiteral("pixel (%1, %2) is #%3, expected #%4")
                    .arg(x)
                    .arg(y)
                    .arg(a.pixel(x, y), 8, 16, QLatin1Char('0'))
                    .arg(e.pixel(x, y), 8, 16, QLatin1Char('0'));
            }
        }
    }
    return {};
}

QByteArray docxWith(const QString& body, std::vector<test::PackagePart> parts) {
    test::DocxPackage pkg;
    pkg.body = body;
    pkg.parts = std::move(parts);
    return test::makeDocx(pkg);
}

test::ArtShapeParams pictureShape(quint32 spid, quint32 pib,
                                  const QList<QPair<quint16, qint32>>& extra = {}) {
    test::ArtShapeParams s;
    s.spid = spid;
    s.properties = {{kPib, qint32(pib)}};
    s.properties += extra;
    return s;
}

// A .doc whose one picture is inline, its picture descriptor in the Data stream.
QByteArray docWithInline(const QByteArray& picf) {
    test::DocBuilder doc;
    doc.text(QStringLiteral("A picture: ")).inlinePicture(picf);
    return doc.build();
}

// A .doc whose one picture floats, its BLIP in the blip store (delayed: in the
// WordDocument stream).
QByteArray docWithFloating(const QByteArray& blip, bool delayed,
                           const QList<QPair<quint16, qint32>>& extra = {}) {
    test::DocBuilder doc;
    const quint32 id = doc.storeBlip(blip, delayed);
    doc.text(QStringLiteral("A picture: "))
        .floating(0x401)
        .drawingShape(test::spContainer(pictureShape(0x401, id, extra)));
    return doc.build();
}

// The WMF `draw` makes, bare or behind a placeable header of box and inch.
template <typename Draw>
QByteArray wmf(QRect box, quint16 inch, bool placeable, Draw draw) {
    test::WmfBuilder b(box, inch, placeable);
    draw(b);
    return b.finish();
}

// An RTF document holding one \pict group whose data is written as hex, 64 digits to
// the line.
QByteArray rtfWithPict(const QByteArray& words, const QByteArray& data, bool upperCase = false) {
    const QByteArray hex = upperCase ? data.toHex().toUpper() : data.toHex();
    QByteArray lines;
    for (qsizetype i = 0; i < hex.size(); i += 64)
        lines += hex.mid(i, 64) + "\r\n";
    return "{\\rtf1\\ansi{\\pict" + words + "\r\n" + lines + "}\\par}";
}

// What a .doc stores as a BLIP comes out as the format describes the picture: a
// bitmap's bytes after the BLIP header, a metafile inflated, and a WMF (which a BLIP
// keeps without its placeable header) behind a placeable header whose box is the
// BLIP's bounds and whose inch makes that box as wide as the BLIP's size in EMUs.
void addDocRows() {
    const QByteArray png = test::encodeImage(quadrants({9, 7}), "PNG");
    const QByteArray jpeg = test::jpegBytes({16, 8}, QColor(10, 120, 200));
    auto inlineShape = [](const QByteArray& blipEntry) {
        return docWithInline(
            test::picfWithShape(test::spContainer(pictureShape(0x401, 1)), {blipEntry}));
    };
    QTest::newRow(".doc png in a blip store entry in the Data stream")
        << "doc.doc" << inlineShape(test::fbse(test::bitmapBlip(kBlipPng, png))) << "doc_1.png"
        << png;
    QTest::newRow(".doc png as a bare BLIP in the Data stream")
        << "doc.doc" << inlineShape(test::bitmapBlip(kBlipPng, png)) << "doc_1.png" << png;
    QTest::newRow(".doc png delayed in the WordDocument stream")
        << "doc.doc" << docWithFloating(test::bitmapBlip(kBlipPng, png), true) << "doc_1.png"
        << png;
    QTest::newRow(".doc png inside the drawing group's blip store entry")
        << "doc.doc" << docWithFloating(test::bitmapBlip(kBlipPng, png), false) << "doc_1.png"
        << png;
    QTest::newRow(".doc jpeg with two uids in the Data stream")
        << "doc.doc" << inlineShape(test::fbse(test::bitmapBlip(kBlipJpeg, jpeg, true)))
        << "doc_1.jpg" << jpeg;
    QTest::newRow(".doc jpeg delayed in the WordDocument stream")
        << "doc.doc" << docWithFloating(test::bitmapBlip(kBlipJpeg, jpeg), true) << "doc_1.jpg"
        << jpeg;

    const QByteArray emf = test::EmfBuilder(30, 20)
                               .createBrush(1, 0, QColor(200, 0, 0))
                               .selectObject(1)
                               .rectangle(QRect(3, 3, 20, 10))
                               .finish();
    const QSize emfFrame(30 * kEmuPerInch / 96, 20 * kEmuPerInch / 96);
    QTest::newRow(".doc emf deflated in the Data stream")
        << "doc.doc" << inlineShape(test::fbse(test::metafileBlip(kBlipEmf, emf, true, emfFrame)))
        << "doc_1.emf" << emf;
    QTest::newRow(".doc emf stored as it is, delayed in the WordDocument stream")
        << "doc.doc" << docWithFloating(test::metafileBlip(kBlipEmf, emf, false, emfFrame), true)
        << "doc_1.emf" << emf;

    // A drawing whose window is the BLIP's bounds, 1000 x 500 units on 2 x 1 inches:
    // 500 units to the inch.
    auto windowed = [](test::WmfBuilder& b) {
        b.setWindowOrg(0, 0)
            .setWindowExt(1000, 500)
            .createBrush(0, QColor(0, 0, 255))
            .selectObject(0)
            .rectangle(QRect(100, 100, 600, 300));
    };
    const QRect box(0, 0, 1000, 500);
    const QSize twoByOne(2 * kEmuPerInch, kEmuPerInch);
    QTest::newRow(".doc wmf deflated in the Data stream")
        << "doc.doc"
        << inlineShape(test::fbse(
               test::metafileBlip(kBlipWmf, wmf(box, 0, false, windowed), true, twoByOne, box)))
        << "doc_1.wmf" << wmf(box, 500, true, windowed);
    QTest::newRow(".doc wmf deflated, delayed in the WordDocument stream")
        << "doc.doc"
        << docWithFloating(
               test::metafileBlip(kBlipWmf, wmf(box, 0, false, windowed), true, twoByOne, box),
               true)
        << "doc_1.wmf" << wmf(box, 500, true, windowed);
    // No window records: the BLIP's bounds alone give the box; 400 units on 4 inches.
    auto unwindowed = [](test::WmfBuilder& b) {
        b.createBrush(0, QColor(0, 128, 0)).selectObject(0).rectangle(QRect(20, 30, 200, 100));
    };
    const QRect offset(10, 20, 400, 200);
    QTest::newRow(".doc wmf without a window takes the BLIP's bounds")
        << "doc.doc"
        << docWithFloating(test::metafileBlip(kBlipWmf, wmf(offset, 0, false, unwindowed), false,
                                              QSize(4 * kEmuPerInch, 2 * kEmuPerInch), offset),
                           false)
        << "doc_1.wmf" << wmf(offset, 100, true, unwindowed);
    // An old-style picture descriptor holds the bare WMF itself and no bounds: the box
    // is the drawing's window, its inch such that the box is the goal size (2880 twips,
    // 2 inches) wide.
    QTest::newRow(".doc wmf of an old-style picture descriptor")
        << "doc.doc"
        << docWithInline(test::picfWithData(8, wmf(box, 0, false, windowed), QSize(2880, 1440)))
        << "doc_1.wmf" << wmf(box, 500, true, windowed);
}

// An RTF picture is its hex digits decoded; a WMF, which RTF keeps bare, behind a
// placeable header framing the goal size in twips (in coarser units when twips do not
// fit the header's 16 bits).
void addRtfRows() {
    const QByteArray png = test::encodeImage(quadrants({6, 4}), "PNG");
    const QByteArray jpeg = test::jpegBytes({20, 12}, QColor(250, 140, 0));
    const QByteArray emf = test::EmfBuilder(12, 8)
                               .createBrush(1, 0, QColor(0, 90, 0))
                               .selectObject(1)
                               .rectangle(QRect(1, 1, 6, 4))
                               .finish();
    QTest::newRow(".rtf pngblip") << "doc.rtf"
                                  << rtfWithPict("\\picw6\\pich4\\picwgoal90\\pichgoal60\\pngblip",
                                                 png)
                                  << "doc_1.png" << png;
    QTest::newRow(".rtf jpegblip in upper-case hex")
        << "doc.rtf"
        << rtfWithPict("\\picw20\\pich12\\picwgoal300\\pichgoal180\\jpegblip", jpeg, true)
        << "doc_1.jpg" << jpeg;
    // A \dibitmap may hold a whole BMP file: that file form is the document's.
    const QByteArray bmp = test::encodeImage(quadrants({5, 3}), "BMP");
    QTest::newRow(".rtf dibitmap holding a BMP file")
        << "doc.rtf" << rtfWithPict("\\picw5\\pich3\\dibitmap0", bmp) << "doc_1.bmp" << bmp;
    QTest::newRow(".rtf emfblip") << "doc.rtf"
                                  << rtfWithPict(
                                         "\\picw318\\pich212\\picwgoal180\\pichgoal120\\emfblip",
                                         emf)
                                  << "doc_1.emf" << emf;

    auto drawing = [](test::WmfBuilder& b) {
        b.setMapMode(8)
            .setWindowOrg(0, 0)
            .setWindowExt(200, 100)
            .createBrush(0, QColor(128, 0, 128))
            .selectObject(0)
            .ellipse(QRect(10, 10, 180, 80));
    };
    const QByteArray bare = wmf({}, 0, false, drawing);
    QTest::newRow(".rtf wmetafile with a goal size")
        << "doc.rtf"
        << rtfWithPict("\\picw5080\\pich2540\\picwgoal2880\\pichgoal1440\\wmetafile8", bare)
        << "doc_1.wmf" << wmf(QRect(0, 0, 2880, 1440), 1440, true, drawing);
    // 2540 x 1270 hundredths of a millimetre are 1440 x 720 twips.
    QTest::newRow(".rtf wmetafile sized in hundredths of a millimetre")
        << "doc.rtf" << rtfWithPict("\\picw2540\\pich1270\\wmetafile8", bare) << "doc_1.wmf"
        << wmf(QRect(0, 0, 1440, 720), 1440, true, drawing);
    // 40000 twips do not fit 16 bits: half-twips, 720 to the inch.
    QTest::newRow(".rtf wmetafile wider than 16 bits of twips")
        << "doc.rtf"
        << rtfWithPict("\\picw70556\\pich35278\\picwgoal40000\\pichgoal20000\\wmetafile8", bare)
        << "doc_1.wmf" << wmf(QRect(0, 0, 20000, 10000), 720, true, drawing);
}

}  // namespace

class OriginalFormatTest : public QObject {
    Q_OBJECT

  private slots:
    void uncropped_pictures_keep_their_stored_bytes_and_cropped_ones_become_pngs() {
        const QByteArray png = test::pngBytes({12, 8}, Qt::red, true);
        const QByteArray jpeg = test::jpegBytes({30, 20}, Qt::blue);
        const QByteArray gif = gifBytes();
        const QByteArray emf = test::EmfBuilder(20, 10)
                                   .createBrush(1, 0, Qt::green)
                                   .selectObject(1)
                                   .rectangle(QRect(2, 2, 10, 5))
                                   .finish();
        const QByteArray wmf = test::WmfBuilder(QRect(0, 0, 100, 50), 1440)
                                   .setWindowExt(100, 50)
                                   .createBrush(0, Qt::yellow)
                                   .selectObject(0)
                                   .rectangle(QRect(10, 10, 50, 20))
                                   .finish();
        QString body;
        for (const char* rel : {"rId1", "rId2", "rId3", "rId4", "rId5"}) {
            body += test::inlinePictureXml(QString::fromLatin1(rel));
        }
        body += croppedFloatingPic(QStringLiteral("rId6"));
        const OriginalSave save(
            QStringLiteral("doc.docx"),
            docxWith(body, {{"rId1", "media/a.png", png},
                            {"rId2", "media/b.jpeg", jpeg},
                            {"rId3", "media/c.gif", gif},
                            {"rId4", "media/d.emf", emf},
                            {"rId5", "media/e.wmf", wmf},
                            {"rId6", "media/f.jpeg", test::jpegBytes({40, 40}, Qt::green)}}));
        QCOMPARE(save.rows().rowCount(), 6);
        QCOMPARE(save.outcome().status, SaveStatus::Done);
        QCOMPARE(save.names(), (QStringList{"doc_1.png", "doc_2.jpg", "doc_3.gif", "doc_4.emf",
                                            "doc_5.wmf", "doc_6.png"}));
        QCOMPARE(save.bytes(0), png);
        QCOMPARE(save.bytes(1), jpeg);
        QCOMPARE(save.bytes(2), gif);
        QCOMPARE(save.bytes(3), emf);
        QCOMPARE(save.bytes(4), wmf);

        // The cropped picture: a PNG with the pixels the window shows.
        const QImage written = QImage::fromData(save.bytes(5), "PNG");
        QCOMPARE(written.size(), QSize(30, 20));
        QCOMPARE(pixelDifference(written, shownInWindow(save.rows().holder(5))), QString());
    }

    void names_clash_by_the_same_rule_as_bmp_and_jpg() {
        extract::ResultStore rows;
        for (int i = 0; i < 3; ++i) {
            rows.setRowNumber(rows.appendRow(QStringLiteral("/d%1/r.docx").arg(i)),
                              QStringLiteral("1"));
            rows.createHolder(i);
            rows.setHolder(i,
                           picture::Picture::fromEncoded(test::pngBytes({4, 4}, QColor(Qt::red))));
        }
        QTemporaryDir out;
        const auto outcome = SaveResults(rows, {out.path(), OutputFormat::Original, 85});
        QCOMPARE(outcome.written, 3);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"r_1 (2).png", "r_1 (3).png", "r_1.png"}));
    }

    // Groups are composed, crops applied and bitmaps stored without a file header given
    // one on the way: the file is a PNG holding what the window's preview shows, pixel
    // for pixel, the white where the window shows white included.
    void changed_pictures_are_pngs_of_what_the_window_shows_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QSize>("size");

        const QByteArray left = test::encodeImage(quadrants({40, 50}), "PNG");
        const QByteArray right = test::jpegBytes({40, 50}, QColor(90, 20, 120));
        // Each picture is 40 x 50 pixels on 80 x 100 units of a 200-unit-wide group.
        const QSize groupSize(100, 50);
        QTest::newRow("docx group with a gap between its pictures")
            << "doc.docx"
            << docxWith(test::pictureGroupXml({{QStringLiteral("rId1"), QRect(0, 0, 80, 100)},
                                               {QStringLiteral("rId2"), QRect(120, 0, 80, 100)}},
                                              QSize(200, 100)),
                        {{"rId1", "media/left.png", left}, {"rId2", "media/right.jpeg", right}})
            << groupSize;
        {
            test::DocBuilder doc;
            const quint32 a = doc.storeBlip(test::bitmapBlip(kBlipPng, left));
            const quint32 b = doc.storeBlip(test::bitmapBlip(kBlipJpeg, right), false);
            test::ArtShapeParams group;
            group.spid = 0x410;
            group.shapeType = 0;
            test::ArtShapeParams first = pictureShape(0x411, a);
            first.childAnchor = QRect(0, 0, 80, 100);
            test::ArtShapeParams second = pictureShape(0x412, b);
            second.childAnchor = QRect(120, 0, 80, 100);
            doc.text(QStringLiteral("A group: "))
                .floating(0x410)
                .drawingShape(
                    test::spgrContainer(group, QRect(0, 0, 200, 100),
                                        {test::spContainer(first), test::spContainer(second)}));
            QTest::newRow("doc floating group with a gap between its pictures")
                << "doc.doc" << doc.build() << groupSize;
        }

        // 16.16 fractions: a quarter off the left, a half off the top.
        const QList<QPair<quint16, qint32>> crop = {{kCropFromLeft, 0x4000},
                                                    {kCropFromTop, 0x8000}};
        QTest::newRow("doc inline picture cropped by its shape")
            << "doc.doc"
            << docWithInline(test::picfWithShape(test::spContainer(pictureShape(0x401, 1, crop)),
                                                 {test::fbse(test::bitmapBlip(kBlipPng, left))}))
            << QSize(30, 25);
        QTest::newRow("doc floating picture cropped by its shape")
            << "doc.doc"
            << docWithFloating(test::bitmapBlip(kBlipPng, left), true,
                               {{kCropFromRight, 0x4000}, {kCropFromTop, 0x8000}})
            << QSize(30, 25);
        // Crops in twips of the goal size (1440 x 1440): a quarter off the left, a half
        // off the bottom.
        QTest::newRow("doc old-style picture descriptor cropped in twips")
            << "doc.doc"
            << docWithInline(test::picfWithData(99, left, QSize(1440, 1440), QRect(360, 0, 0, 720)))
            << QSize(30, 25);

        // A bitmap stored without a file header: the BMP file it becomes is of our making.
        const QByteArray dib = test::packedDib(quadrants({12, 10}));
        QTest::newRow("doc DIB BLIP in an inline blip store entry")
            << "doc.doc"
            << docWithInline(test::picfWithShape(test::spContainer(pictureShape(0x401, 1)),
                                                 {test::fbse(test::bitmapBlip(kBlipDib, dib))}))
            << QSize(12, 10);
        QTest::newRow("doc DIB BLIP delayed in the WordDocument stream")
            << "doc.doc" << docWithFloating(test::bitmapBlip(kBlipDib, dib), true) << QSize(12, 10);
        QTest::newRow("doc old-style picture descriptor holding a DIB")
            << "doc.doc" << docWithInline(test::picfWithData(99, dib)) << QSize(12, 10);
        QTest::newRow("rtf dibitmap")
            << "doc.rtf" << rtfWithPict("\\picw12\\pich10\\dibitmap0", dib) << QSize(12, 10);
        QTest::newRow("rtf wbitmap")
            << "doc.rtf"
            << rtfWithPict("\\picw16\\pich2\\wbmbitspixel1\\wbmwidthbytes2\\wbitmap0",
                           QByteArray::fromHex("f00f0ff0"))
            << QSize(16, 2);
        QTest::newRow("rtf picture without a type word holding a DIB")
            << "doc.rtf" << rtfWithPict("\\picw12\\pich10", dib) << QSize(12, 10);
        QTest::newRow("docx part holding a DIB")
            << "doc.docx"
            << docxWith(test::inlinePictureXml(QStringLiteral("rId1")),
                        {{"rId1", "media/image1.bmp", dib}})
            << QSize(12, 10);
    }
    void changed_pictures_are_pngs_of_what_the_window_shows() {
        QFETCH(QString, name);
        QFETCH(QByteArray, document);
        QFETCH(QSize, size);
        const OriginalSave save(name, document);
        QCOMPARE(save.rows().rowCount(), 1);
        QCOMPARE(save.outcome().status, SaveStatus::Done);
        QCOMPARE(save.names(), QStringList{QStringLiteral("doc_1.png")});
        const QByteArray file = save.bytes(0);
        QVERIFY(file.startsWith("\x89PNG\r\n\x1A\n"));
        const QImage shown = shownInWindow(save.rows().holder(0));
        QCOMPARE(shown.size(), size);
        QCOMPARE(pixelDifference(QImage::fromData(file, "PNG"), shown), QString());
    }

    void stored_pictures_are_the_bytes_their_format_describes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("expected");
        addDocRows();
        addRtfRows();
        const QByteArray bmp = test::encodeImage(quadrants({7, 5}), "BMP");
        QTest::newRow(".docx bmp part") << "doc.docx"
                                        << docxWith(test::inlinePictureXml(QStringLiteral("rId1")),
                                                    {{"rId1", "media/image1.bmp", bmp}})
                                        << "doc_1.bmp" << bmp;
    }
    void stored_pictures_are_the_bytes_their_format_describes() {
        QFETCH(QString, name);
        QFETCH(QByteArray, document);
        QFETCH(QString, file);
        QFETCH(QByteArray, expected);
        const OriginalSave save(name, document);
        QCOMPARE(save.rows().rowCount(), 1);
        QCOMPARE(save.outcome().status, SaveStatus::Done);
        QCOMPARE(save.names(), QStringList{file});
        QCOMPARE(save.bytes(0).toHex(), expected.toHex());
    }
};

QTEST_MAIN(OriginalFormatTest)
#include "original_format_test.moc"
