#include "core/formats/rtf/RtfReader.h"

#include "support/TestUtils.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QtEndian>

#include <memory>

using pictrove::picture::Crop;
using pictrove::picture::Format;
using pictrove::word::OpenStatus;
using pictrove::word::ReadResult;
using pictrove::word::Shape;
using Kind = pictrove::word::Shape::Kind;

namespace {

QByteArray encodeImage(int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

void putU16(QByteArray& b, quint16 v) {
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void putU32(QByteArray& b, quint32 v) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// An EMF of a header and an end record whose frame is 2540 x 1270 (0.01 mm): 96 x 48 px.
QByteArray tinyEmf() {
    QByteArray b;
    putU32(b, 1);                         // EMR_HEADER
    putU32(b, 88);                        // record size
    for (quint32 v : {0u, 0u, 95u, 47u})  // bounds
        putU32(b, v);
    for (quint32 v : {0u, 0u, 2540u, 1270u})  // frame
        putU32(b, v);
    putU32(b, 0x464D4520);  // " EMF"
    putU32(b, 0x10000);
    putU32(b, 88 + 20);  // total bytes
    putU32(b, 2);        // records
    putU16(b, 1);        // handles
    putU16(b, 0);
    for (int i = 0; i < 3; ++i)  // description count/offset, palette entries
        putU32(b, 0);
    for (quint32 v : {1024u, 768u, 320u, 240u})  // device px, device mm
        putU32(b, v);
    putU32(b, 14);  // EMR_EOF
    putU32(b, 20);
    putU32(b, 0);
    putU32(b, 0);
    putU32(b, 20);
    return b;
}

// A WMF as RTF stores it: METAHEADER and the end record, no placeable header.
QByteArray bareWmf() {
    QByteArray b;
    putU16(b, 1);      // memory metafile
    putU16(b, 9);      // header words
    putU16(b, 0x300);  // version
    putU32(b, 12);     // size in words
    putU16(b, 0);      // objects
    putU32(b, 3);      // largest record
    putU16(b, 0);
    putU32(b, 3);  // META_EOF
    putU16(b, 0);
    return b;
}

// A 2 x 2 24-bit DIB without file header.
QByteArray tinyDib() {
    QByteArray b;
    putU32(b, 40);
    putU32(b, 2);
    putU32(b, 2);
    putU16(b, 1);
    putU16(b, 24);
    for (int i = 0; i < 6; ++i)
        putU32(b, 0);
    b.append(QByteArray(16, '\x7f'));  // two rows of 6 bytes padded to 8
    return b;
}

QByteArray hexLines(const QByteArray& bytes) {
    const QByteArray hex = bytes.toHex();
    QByteArray out;
    for (qsizetype i = 0; i < hex.size(); i += 64)
        out += hex.mid(i, 64) + "\r\n";
    return out;
}

// A \pict group: `head` carries the type word and any size or crop words.
QByteArray pict(const QByteArray& head, const QByteArray& data) {
    return "{\\pict" + head + "\n" + hexLines(data) + "}";
}

QByteArray png() {
    static const QByteArray bytes = encodeImage(4, 3, "PNG");
    return bytes;
}
QByteArray jpeg() {
    static const QByteArray bytes = encodeImage(8, 6, "JPEG");
    return bytes;
}

QByteArray pngPict(const QByteArray& extra = {}) {
    return pict("\\picw4\\pich3\\picwgoal60\\pichgoal45" + extra + "\\pngblip", png());
}
QByteArray jpegPict() {
    return pict("\\picw8\\pich6\\picwgoal120\\pichgoal90\\jpegblip", jpeg());
}
QByteArray emfPict() {
    return pict("\\picw2540\\pich1270\\picwgoal1440\\pichgoal720\\emfblip", tinyEmf());
}

// Word's way of writing an inline picture: the real one and a WMF for old readers.
QByteArray shppict(const QByteArray& realPict) {
    return "{\\*\\shppict" + realPict + "}{\\nonshppict" +
           pict("\\picw2540\\pich1270\\picwgoal1440\\pichgoal720\\wmetafile8", bareWmf()) + "}";
}

QByteArray prop(const QByteArray& name, const QByteArray& value) {
    return "{\\sp{\\sn " + name + "}{\\sv " + value + "}}";
}

// A floating shape as Word writes it, with its fallback result.
QByteArray shape(const QByteArray& inside) {
    return "{\\shp{\\*\\shpinst\\shpleft100\\shptop200\\shpright1100\\shpbottom900\\shpz0" +
           inside + "}{\\shprslt\\par\\pard" + shppict(jpegPict()) + "\\par}}";
}

QByteArray doc(const QByteArray& body) {
    return "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times;}}"
           "{\\colortbl;\\red0\\green0\\blue0;}\n\\pard\\plain " +
           body + "\\par}";
}

QString formats(const std::vector<Shape>& shapes) {
    QStringList out;
    for (const Shape& s : shapes) {
        out << (s.picture().isNull() ? QStringLiteral("-")
                                     : pictrove::picture::formatName(s.picture().format()));
    }
    return out.join(QLatin1Char(','));
}

// Every kind of content the reader knows, for truncation and fuzz seeds.
QByteArray richSample() {
    return doc("{\\header " + pngPict() + "}Text " + pngPict() + shppict(emfPict()) +
               "{\\object\\objemb{\\*\\objclass Paint}{\\*\\objdata 0102}{\\result " +
               shppict(jpegPict()) + "}}" + shape(prop("pib", pngPict())) +
               "{\\shpgrp{\\*\\shpinst\\shpleft0\\shptop0\\shpright2000\\shpbottom1000" +
               prop("groupLeft", "0") + prop("groupTop", "0") + prop("groupRight", "200") +
               prop("groupBottom", "100") + "{\\shp{\\*\\shpinst" + prop("relLeft", "0") +
               prop("relTop", "0") + prop("relRight", "100") + prop("relBottom", "100") +
               prop("pib", jpegPict()) + "}}}}" + "{\\pict\\picw4\\pich3\\pngblip\\bin" +
               QByteArray::number(png().size()) + " " + png() + "}");
}

}  // namespace

class RtfReaderTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void inlinePictureFormats_data();
    void inlinePictureFormats();
    void rtf_nonshppict_not_counted_twice();
    void mainTextOnly_data();
    void mainTextOnly();
    void floatingShapes_data();
    void floatingShapes();
    void rtf_shprslt_fallback_not_counted();
    void pseudoInlineShapeOrderedAmongPictures();
    void groupChildrenPlacedInGroupCoordinates();
    void oleObjectPreview_data();
    void oleObjectPreview();
    void crop_data();
    void crop();
    void damage_data();
    void damage();
    void everyTruncationReturnsCleanly();
    void corpusAgreesWithManifest();
};

void RtfReaderTest::initTestCase() {
    QVERIFY(!png().isEmpty());
    QVERIFY(!jpeg().isEmpty());
    // Fuzzing seeds: the samples below, written where the caller asks.
    const QString seeds = qEnvironmentVariable("PICTROVE_RTF_SEEDS");
    if (seeds.isEmpty())
        return;
    QDir().mkpath(seeds);
    const QList<QByteArray> samples = {richSample(), doc(shppict(pngPict())),
                                       doc(pict("\\wbitmap0\\picw16\\pich2", "ffff0000")),
                                       doc(pict("\\dibitmap0\\picw2\\pich2", tinyDib()))};
    for (qsizetype i = 0; i < samples.size(); ++i) {
        QFile f(seeds + QStringLiteral("/seed%1.rtf").arg(i));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(samples[i]);
    }
}

void RtfReaderTest::inlinePictureFormats_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Format>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QByteArray>("payload");  // the stored bytes end with these

    const QByteArray ddbBits = QByteArray::fromHex("00ff00ff");  // 16 x 2, 1 bit per pixel
    QTest::newRow("png in hex") << pngPict() << Kind::Picture << Format::Png << QSize(4, 3)
                                << png();
    QTest::newRow("jpeg in hex") << jpegPict() << Kind::Picture << Format::Jpeg << QSize(8, 6)
                                 << jpeg();
    QTest::newRow("emf") << emfPict() << Kind::Picture << Format::Emf << QSize(96, 48) << tinyEmf();
    QTest::newRow("bare wmf framed by its goal size")
        << pict("\\picw2540\\pich1270\\picwgoal1440\\pichgoal720\\wmetafile8", bareWmf())
        << Kind::Picture << Format::Wmf << QSize(96, 48) << bareWmf();
    QTest::newRow("bare wmf framed by picw in 0.01 mm")
        << pict("\\picw5080\\pich2540\\wmetafile8", bareWmf()) << Kind::Picture << Format::Wmf
        << QSize(192, 96) << bareWmf();
    QTest::newRow("dib gets a file header")
        << pict("\\picw2\\pich2\\dibitmap0", tinyDib()) << Kind::Picture << Format::Bmp
        << QSize(2, 2) << tinyDib();
    QTest::newRow("ddb becomes a bmp")
        << pict("\\picw16\\pich2\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2\\wbitmap0", ddbBits)
        << Kind::Picture << Format::Bmp << QSize(16, 2) << QByteArray();
    QTest::newRow("png as bin") << "{\\pict\\picw4\\pich3\\pngblip\\bin" +
                                       QByteArray::number(png().size()) + " " + png() + "}"
                                << Kind::Picture << Format::Png << QSize(4, 3) << png();
    QTest::newRow("hex split by blanks and tabs")
        << "{\\pict\\pngblip " + png().toHex(' ').replace("0", "0\t") + "}" << Kind::Picture
        << Format::Png << QSize(4, 3) << png();
    QTest::newRow("picture properties and blip id are not picture data")
        << shppict("{\\pict{\\*\\picprop\\shplid1025" + prop("shapeType", "75") +
                   prop("pibName", "x.png") +
                   "}\\picscalex100\\picscaley100\\picw106\\pich79\\picwgoal60\\pichgoal45"
                   "\\pngblip\\bliptag-1463297543{\\*\\blipuid a8c8a6f9c3b0a3e1d0b1f7c6a9e5d4c3}" +
                   hexLines(png()) + "}")
        << Kind::Picture << Format::Png << QSize(4, 3) << png();
    QTest::newRow("no type word, sniffed")
        << "{\\pict " + png().toHex() + "}" << Kind::Picture << Format::Png << QSize(4, 3) << png();
    QTest::newRow("macpict is counted but not read")
        << pict("\\macpict", "00112233") << Kind::Other << Format::None << QSize() << QByteArray();
    QTest::newRow("pngblip with broken data") << pict("\\pngblip", "0011223344") << Kind::Picture
                                              << Format::None << QSize() << QByteArray();
    QTest::newRow("ddb with fewer rows than announced")
        << pict("\\picw16\\pich9\\wbmbitspixel1\\wbmwidthbytes2\\wbitmap0", ddbBits)
        << Kind::Picture << Format::None << QSize() << QByteArray();
    QTest::newRow("dib whose palette runs past the data")
        << pict("\\dibitmap0",
                tinyDib().left(40).replace(14, 2, QByteArray("\x08\x00", 2)))  // 8 bit, no bits
        << Kind::Picture << Format::None << QSize() << QByteArray();
}

void RtfReaderTest::inlinePictureFormats() {
    QFETCH(QByteArray, body);
    QFETCH(Kind, kind);
    QFETCH(Format, format);
    QFETCH(QSize, size);
    QFETCH(QByteArray, payload);

    const ReadResult r = pictrove::word::readRtf(doc(body));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    QVERIFY(r.model.floatingShapes.empty());
    const Shape& s = r.model.inlineShapes.front();
    QCOMPARE(s.kind, kind);
    QCOMPARE(s.picture().format(), format);
    QCOMPARE(s.picture().size(), size);
    QVERIFY(s.picture().encoded().endsWith(payload));
    if (format != Format::None) {
        // Whatever the stored form, the picture stands alone as a file.
        QVERIFY2(!s.picture().toImage().isNull(), "the picture does not decode");
    }
}

void RtfReaderTest::rtf_nonshppict_not_counted_twice() {
    const ReadResult r =
        pictrove::word::readRtf(doc(pngPict() + shppict(emfPict()) + "more text" + jpegPict()));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(formats(r.model.inlineShapes), QStringLiteral("png,emf,jpeg"));
    QVERIFY(r.model.floatingShapes.empty());
}

void RtfReaderTest::mainTextOnly_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("header") << "{\\header \\pard " + pngPict() + "\\par}";
    QTest::newRow("first-page footer") << "{\\footerf \\pard " + shppict(pngPict()) + "}";
    QTest::newRow("footnote") << "{\\super\\chftn}{\\footnote\\pard " + pngPict() + "}";
    QTest::newRow("annotation") << "{\\*\\annotation " + pngPict() + "}";
    QTest::newRow("document info") << "{\\info{\\title x}" + pngPict() + "}";
    QTest::newRow("stylesheet") << "{\\stylesheet{\\s0 Normal;}" + pngPict() + "}";
    QTest::newRow("picture bullet") << "{\\*\\listpicture" + shppict(pngPict()) + "}";
    QTest::newRow("unknown starred destination") << "{\\*\\xyzzy " + pngPict() + "}";
    QTest::newRow("text box text")
        << shape(prop("shapeType", "202") + "{\\shptxt \\pard " + pngPict() + "\\par}");
    QTest::newRow("page background") << "{\\*\\background " + shape(prop("pib", pngPict())) + "}";
}

void RtfReaderTest::mainTextOnly() {
    QFETCH(QByteArray, body);
    // The JPEG after the ignored part shows that reading resumed in the main text.
    const ReadResult r = pictrove::word::readRtf(doc(body + jpegPict()));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(formats(r.model.inlineShapes), QStringLiteral("jpeg"));
    for (const Shape& s : r.model.floatingShapes)
        QVERIFY(s.picture().isNull());
}

void RtfReaderTest::floatingShapes_data() {
    QTest::addColumn<QByteArray>("inside");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<Format>("format");
    QTest::newRow("picture") << prop("shapeType", "75") + prop("pib", pngPict()) << Kind::Picture
                             << Format::Png;
    QTest::newRow("picture fill") << prop("shapeType", "1") + prop("fillBlip", emfPict())
                                  << Kind::Picture << Format::Emf;
    QTest::newRow("text box with text") << prop("shapeType", "202") + "{\\shptxt \\pard Hello\\par}"
                                        << Kind::TextBox << Format::None;
    QTest::newRow("text box without text")
        << prop("shapeType", "202") << Kind::TextBox << Format::None;
    QTest::newRow("line") << prop("shapeType", "20") << Kind::Other << Format::None;
    QTest::newRow("picture in a format we do not read")
        << prop("pib", pict("\\pmmetafile0", "0102")) << Kind::Other << Format::None;
}

void RtfReaderTest::floatingShapes() {
    QFETCH(QByteArray, inside);
    QFETCH(Kind, kind);
    QFETCH(Format, format);
    const ReadResult r = pictrove::word::readRtf(doc("Anchor " + shape(inside)));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QVERIFY(r.model.inlineShapes.empty());
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    QCOMPARE(r.model.floatingShapes[0].kind, kind);
    QCOMPARE(r.model.floatingShapes[0].picture().format(), format);
}

void RtfReaderTest::rtf_shprslt_fallback_not_counted() {
    // Two floating shapes in anchor order, each with a JPEG fallback in \shprslt, and a
    // plain \shprslt-only shape: neither fallback may surface as an inline picture.
    const ReadResult r = pictrove::word::readRtf(doc(shape(prop("pib", pngPict())) + "x" +
                                                     shape(prop("pib", emfPict())) +
                                                     "{\\shp{\\shprslt " + jpegPict() + "}}"));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QVERIFY(r.model.inlineShapes.empty());
    QCOMPARE(formats(r.model.floatingShapes), QStringLiteral("png,emf,-"));
    QCOMPARE(r.model.floatingShapes[0].picture().encoded(), png());
}

void RtfReaderTest::pseudoInlineShapeOrderedAmongPictures() {
    const ReadResult r = pictrove::word::readRtf(
        doc(pngPict() + shape(prop("fPseudoInline", "1") + prop("pib", jpegPict())) +
            shppict(emfPict()) + shape(prop("pib", pngPict()))));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(formats(r.model.inlineShapes), QStringLiteral("png,jpeg,emf"));
    QCOMPARE(formats(r.model.floatingShapes), QStringLiteral("png"));
}

void RtfReaderTest::groupChildrenPlacedInGroupCoordinates() {
    const QByteArray inner =
        "{\\shpgrp{\\*\\shpinst" + prop("relLeft", "100") + prop("relTop", "0") +
        prop("relRight", "200") + prop("relBottom", "50") + prop("groupLeft", "0") +
        prop("groupTop", "0") + prop("groupRight", "10") + prop("groupBottom", "10") +
        "{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright5\\shpbottom10" + prop("pib", jpegPict()) +
        "}}}}";
    const QByteArray group =
        "{\\shpgrp{\\*\\shpinst\\shpleft1000\\shptop1000\\shpright3000\\shpbottom2000" +
        prop("groupLeft", "0") + prop("groupTop", "0") + prop("groupRight", "200") +
        prop("groupBottom", "100") +
        // a picture placed by rel*, a picture placed by \shpleft.., a text box, a group
        "{\\shp{\\*\\shpinst" + prop("relLeft", "0") + prop("relTop", "0") +
        prop("relRight", "100") + prop("relBottom", "50") + prop("pib", pngPict()) + "}}" +
        "{\\shp{\\*\\shpinst\\shpleft0\\shptop50\\shpright100\\shpbottom100" +
        prop("pib", emfPict()) + "}}" + "{\\shp{\\*\\shpinst" + prop("shapeType", "202") +
        "{\\shptxt x}}}" + inner + "}{\\shprslt " + jpegPict() + "}}";
    const ReadResult r = pictrove::word::readRtf(doc(group));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QVERIFY(r.model.inlineShapes.empty());
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    const Shape& g = r.model.floatingShapes[0];
    QCOMPARE(g.kind, Kind::Group);
    QCOMPARE(g.groupExtent, QRectF(0, 0, 200, 100));
    QCOMPARE(g.children.size(), size_t(3));
    QCOMPARE(g.children[0].picture.format(), Format::Png);
    QCOMPARE(g.children[0].rect, QRectF(0, 0, 100, 50));
    QCOMPARE(g.children[1].picture.format(), Format::Emf);
    QCOMPARE(g.children[1].rect, QRectF(0, 50, 100, 50));
    // The nested group's extent 10 x 10 maps onto its place 100..200 x 0..50.
    QCOMPARE(g.children[2].picture.format(), Format::Jpeg);
    QCOMPARE(g.children[2].rect, QRectF(100, 0, 50, 50));
}

void RtfReaderTest::oleObjectPreview_data() {
    QTest::addColumn<QByteArray>("object");
    QTest::addColumn<QString>("inlineFormats");
    QTest::addColumn<QString>("floatingFormats");
    const QByteArray head =
        "{\\object\\objemb\\objw100\\objh100{\\*\\objclass Excel.Sheet.8}"
        "{\\*\\objdata 01050000020000000b000000}";
    QTest::newRow("shppict preview") << head + "{\\result " + shppict(pngPict()) + "}}"
                                     << "png"
                                     << "";
    QTest::newRow("plain pict preview") << head + "{\\result {" + jpegPict() + "}}}"
                                        << "jpeg"
                                        << "";
    QTest::newRow("two pictures in the result: the first")
        << head + "{\\result " + emfPict() + pngPict() + "}}"
        << "emf"
        << "";
    QTest::newRow("no result") << head + "}"
                               << "-"
                               << "";
    QTest::newRow("floating preview shape")
        << head + "{\\result " + shape(prop("pib", pngPict())) + "}}"
        << ""
        << "png";
    QTest::newRow("objdata as bin is stepped over")
        << "{\\object\\objemb{\\*\\objdata\\bin4 {{{{}{\\result " + pngPict() + "}}"
        << "png"
        << "";
}

void RtfReaderTest::oleObjectPreview() {
    QFETCH(QByteArray, object);
    QFETCH(QString, inlineFormats);
    QFETCH(QString, floatingFormats);
    const ReadResult r = pictrove::word::readRtf(doc(object));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(formats(r.model.inlineShapes), inlineFormats);
    QCOMPARE(formats(r.model.floatingShapes), floatingFormats);
    for (const auto* list : {&r.model.inlineShapes, &r.model.floatingShapes}) {
        for (const Shape& s : *list)
            QCOMPARE(s.kind, Kind::OleObject);
    }
}

void RtfReaderTest::crop_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<Crop>("crop");
    QTest::addColumn<QSize>("size");
    // The PNG is 4 x 3 pixels with a goal of 60 x 45 twips.
    QTest::newRow("quarter from the left, third from the top")
        << pngPict("\\piccropl15\\piccropt15") << Crop{0.25, 1.0 / 3, 0, 0} << QSize(3, 2);
    QTest::newRow("right and bottom")
        << pngPict("\\piccropr30\\piccropb15") << Crop{0, 0, 0.5, 1.0 / 3} << QSize(2, 2);
    QTest::newRow("negative crop is padding and ignored")
        << pngPict("\\piccropl-300\\piccropt-15\\piccropr15") << Crop{0, 0, 0.25, 0} << QSize(3, 3);
    QTest::newRow("no goal: picw in pixels")
        << pict("\\picw4\\pich3\\piccropl15\\pngblip", png()) << Crop{0.25, 0, 0, 0} << QSize(3, 3);
    QTest::newRow("shape crop replaces the picture's")
        << shape(prop("fPseudoInline", "1") + prop("cropFromLeft", "32768") +
                 prop("pib", pngPict("\\piccropt15")))
        << Crop{0.5, 0, 0, 0} << QSize(2, 3);
}

void RtfReaderTest::crop() {
    QFETCH(QByteArray, body);
    QFETCH(Crop, crop);
    QFETCH(QSize, size);
    const ReadResult r = pictrove::word::readRtf(doc(body));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    const auto p = r.model.inlineShapes[0].picture();
    QVERIFY(qFuzzyCompare(1 + p.crop().left, 1 + crop.left));
    QVERIFY(qFuzzyCompare(1 + p.crop().top, 1 + crop.top));
    QVERIFY(qFuzzyCompare(1 + p.crop().right, 1 + crop.right));
    QVERIFY(qFuzzyCompare(1 + p.crop().bottom, 1 + crop.bottom));
    QCOMPARE(p.size(), size);
    QCOMPARE(p.encoded(), png());  // the crop is applied when decoding, not stored
}

void RtfReaderTest::damage_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<OpenStatus>("status");
    QTest::addColumn<QString>("reasonPart");
    QTest::addColumn<int>("inlineCount");

    QTest::newRow("empty") << QByteArray() << OpenStatus::NotAWordDocument << "{\\rtf" << 0;
    QTest::newRow("plain text") << QByteArray("Hello {\\rtf1}") << OpenStatus::NotAWordDocument
                                << "{\\rtf" << 0;
    QTest::newRow("fragment without rtf header") << QByteArray("{\\pard " + pngPict() + "}")
                                                 << OpenStatus::NotAWordDocument << "{\\rtf" << 0;
    QTest::newRow("bin longer than the data")
        << QByteArray("{\\rtf1{\\pict\\pngblip\\bin5000 abc}}") << OpenStatus::Damaged
        << "\\bin announces 5000 bytes" << 0;
    QTest::newRow("bin with the largest parameter")
        << QByteArray("{\\rtf1 x\\bin99999999999999999999 }") << OpenStatus::Damaged
        << "\\bin announces 2147483647 bytes" << 0;
    // Broken picture data costs that picture only: the shape stays, without a picture.
    QTest::newRow("odd number of hex digits")
        << doc("{\\pict\\pngblip 89504}" + pngPict()) << OpenStatus::Ok << "" << 2;
    QTest::newRow("stray byte in hex")
        << doc("{\\pict\\pngblip 8950;4e47}" + pngPict()) << OpenStatus::Ok << "" << 2;
    QTest::newRow("groups nested too deep")
        << QByteArray("{\\rtf1" + QByteArray(5000, '{') + QByteArray(5000, '}') + "}")
        << OpenStatus::Damaged << "nested deeper than 1000" << 0;
    // Tolerated like Word does.
    QTest::newRow("groups left open at the end")
        << QByteArray("{\\rtf1{\\*\\shppict" + pngPict().chopped(1)) << OpenStatus::Ok << "" << 1;
    QTest::newRow("bytes after the last group")
        << QByteArray(doc(pngPict()) + "}}}" + pngPict()) << OpenStatus::Ok << "" << 1;
    QTest::newRow("negative bin is empty")
        << doc("{\\pict\\pngblip\\bin-5 " + png().toHex() + "}") << OpenStatus::Ok << "" << 1;
    QTest::newRow("lone backslash at the end")
        << QByteArray("{\\rtf1 " + pngPict() + "\\") << OpenStatus::Ok << "" << 1;
    QTest::newRow("unicode fallback skipped in a property name")
        << doc(shape("{\\sp{\\sn \\uc1\\u112 ?fPseudoInline}{\\sv 1}}" + prop("pib", pngPict())))
        << OpenStatus::Ok << "" << 1;
}

void RtfReaderTest::damage() {
    QFETCH(QByteArray, bytes);
    QFETCH(OpenStatus, status);
    QFETCH(QString, reasonPart);
    QFETCH(int, inlineCount);
    const ReadResult r = pictrove::word::readRtf(bytes);
    QCOMPARE(r.status, status);
    QVERIFY2(r.reason.contains(reasonPart), qPrintable(r.reason));
    QCOMPARE(int(r.model.inlineShapes.size()), inlineCount);
    if (r.ok() && inlineCount == 2) {
        QVERIFY(r.model.inlineShapes[0].picture().isNull());
        QVERIFY(!r.model.inlineShapes[1].picture().isNull());
    }
}

void RtfReaderTest::everyTruncationReturnsCleanly() {
    const QByteArray sample = richSample();
    const ReadResult full = pictrove::word::readRtf(sample);
    QVERIFY2(full.ok(), qPrintable(full.reason));
    QCOMPARE(formats(full.model.inlineShapes), QStringLiteral("png,emf,jpeg,png"));
    QCOMPARE(full.model.floatingShapes.size(), size_t(2));
    QCOMPARE(full.model.inlineShapes[2].kind, Kind::OleObject);

    for (qsizetype n = 0; n < sample.size(); ++n) {
        // The bytes end where their allocation ends, so an over-read trips the sanitizer.
        auto buffer = std::make_unique<char[]>(size_t(n));
        std::copy_n(sample.constData(), n, buffer.get());
        const ReadResult r = pictrove::word::readRtf(QByteArrayView(buffer.get(), n));
        if (n < 5) {
            QCOMPARE(r.status, OpenStatus::NotAWordDocument);
            continue;
        }
        QVERIFY2(r.ok() || r.status == OpenStatus::Damaged,
                 qPrintable(QStringLiteral("length %1: %2").arg(n).arg(r.reason)));
        QVERIFY(r.ok() || !r.reason.isEmpty());
        QVERIFY(r.model.inlineShapes.size() <= full.model.inlineShapes.size());
        QVERIFY(r.model.floatingShapes.size() <= full.model.floatingShapes.size());
    }
}

void RtfReaderTest::corpusAgreesWithManifest() {
    const QString dir = pictrove::test::corpusDir();
    if (dir.isEmpty())
        QSKIP("no corpus beside this checkout");
    QFile manifest(dir + QStringLiteral("/MANIFEST.tsv"));
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    const QList<QByteArray> header = manifest.readLine().trimmed().split('\t');
    const qsizetype fileCol = header.indexOf("file");
    const qsizetype inlineCol = header.indexOf("inline_with_image");
    const qsizetype floatingCol = header.indexOf("floating_with_image");
    QVERIFY(fileCol >= 0 && inlineCol >= 0 && floatingCol >= 0);
    int checked = 0;
    while (!manifest.atEnd()) {
        const QList<QByteArray> row = manifest.readLine().chopped(1).split('\t');
        if (row.size() <= qMax(inlineCol, floatingCol))
            continue;
        QFile doc(dir + QLatin1Char('/') + QString::fromUtf8(row[fileCol]));
        if (!doc.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = doc.readAll();
        if (!bytes.startsWith("{\\rtf"))
            continue;
        bool inlineOk = false, floatingOk = false;
        const int wantInline = row[inlineCol].toInt(&inlineOk);
        const int wantFloating = row[floatingCol].toInt(&floatingOk);
        if (!inlineOk || !floatingOk)
            continue;
        const ReadResult r = pictrove::word::readRtf(bytes);
        QVERIFY2(r.ok(), qPrintable(doc.fileName() + QStringLiteral(": ") + r.reason));
        auto withImage = [](const std::vector<Shape>& shapes) {
            return int(std::count_if(shapes.begin(), shapes.end(), [](const Shape& s) {
                return !s.picture().isNull() || !s.children.empty();
            }));
        };
        QCOMPARE(withImage(r.model.inlineShapes), wantInline);
        QCOMPARE(withImage(r.model.floatingShapes), wantFloating);
        ++checked;
    }
    if (checked == 0)
        QSKIP("the corpus holds no RTF document");
}

QTEST_MAIN(RtfReaderTest)
#include "rtf_reader_test.moc"
