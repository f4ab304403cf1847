#include "core/formats/doc/DocReader.h"
#include "core/picture/Picture.h"
#include "support/CfbBuilder.h"
#include "support/DocBuilder.h"
#include "support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace pictrove;
using namespace pictrove::test;
using Kind = word::Shape::Kind;
using word::OpenStatus;

Q_DECLARE_METATYPE(word::OpenStatus)

namespace {

constexpr quint16 kPng = 0xF01E;
constexpr quint16 kDib = 0xF01F;
constexpr quint16 kEmf = 0xF01A;
constexpr quint16 kWmf = 0xF01B;
constexpr quint16 kPib = 0x0104;

// An inline shape of one PNG in the Data stream.
QByteArray inlinePngPicf(const QByteArray& png, const QList<QPair<quint16, qint32>>& extra = {},
                         qint32 pib = 1) {
    ArtShapeParams s;
    s.spid = 0x401;
    s.properties = {{kPib, pib}};
    s.properties += extra;
    return picfWithShape(spContainer(s), {fbse(bitmapBlip(kPng, png))});
}

QByteArray pictureShape(quint32 spid, quint32 pib, std::optional<QRect> anchor = {}) {
    ArtShapeParams s;
    s.spid = spid;
    s.properties = {{kPib, qint32(pib)}};
    s.childAnchor = anchor;
    return spContainer(s);
}

// A small document with one inline and one floating picture, for damage tests.
DocBuilder sampleDoc() {
    DocBuilder doc;
    doc.text(QStringLiteral("Intro ")).inlinePicture(inlinePngPicf(pngBytes(QSize(4, 3))));
    const quint32 id = doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(5, 2), 0xFF00FF00u)));
    doc.text(QStringLiteral(" and ")).floating(0x402).drawingShape(pictureShape(0x402, id));
    return doc;
}

word::ReadResult read(const QByteArray& bytes) {
    return doc::readBinaryDocument(bytes);
}

QByteArray withStreams(const DocBuilder::Streams& s) {
    return DocBuilder::pack(s);
}

// The MANIFEST.tsv rows of the corpus by file name: (inline_with_image, floating_with_image).
QMap<QString, QPair<int, int>> manifest(const QString& dir) {
    QMap<QString, QPair<int, int>> rows;
    QFile f(dir + QStringLiteral("/MANIFEST.tsv"));
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    const QStringList header = QString::fromUtf8(f.readLine()).trimmed().split(QLatin1Char('\t'));
    const int iInline = header.indexOf(QStringLiteral("inline_with_image"));
    const int iFloating = header.indexOf(QStringLiteral("floating_with_image"));
    while (!f.atEnd()) {
        const QStringList cols = QString::fromUtf8(f.readLine()).split(QLatin1Char('\t'));
        if (cols.size() > std::max(iInline, iFloating))
            rows[cols[0]] = {cols[iInline].toInt(), cols[iFloating].toInt()};
    }
    return rows;
}

int withPicture(const std::vector<word::Shape>& shapes) {
    int n = 0;
    for (const word::Shape& s : shapes)
        n += (!s.picture().isNull() || !s.children.empty()) ? 1 : 0;
    return n;
}

}  // namespace

class DocReaderTest : public QObject {
    Q_OBJECT

  private slots:
    void inlinePicture_data();
    void inlinePicture();
    void inline_order_follows_text();
    void inline_object_char_without_picture_props_not_counted_data();
    void inline_object_char_without_picture_props_not_counted();
    void inline_crop_from_shape_properties();
    void ole_object_storage_reference_not_counted_twice();
    void floating_blip_in_worddocument_stream();
    void floating_order_is_anchor_order_not_drawing_order();
    void floating_shapes_without_picture_data();
    void floating_shapes_without_picture();
    void floating_anchor_to_missing_shape_is_skipped();
    void group_children_in_group_coordinates();
    void nested_group_flattened_into_outer_coordinates();
    void compressed_emf_with_lying_size_gives_no_picture();
    void failures_data();
    void failures();
    void fat_loop_past_stream_end_keeps_the_stream();
    void interleaved_stream_sectors_read_like_contiguous_ones();
    void every_truncation_fails_cleanly();
    void corpus_agrees_with_manifest();
};

void DocReaderTest::inlinePicture_data() {
    QTest::addColumn<QByteArray>("picf");
    QTest::addColumn<bool>("ole");
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<bool>("table0");
    QTest::addColumn<QByteArray>("expected");  // picture bytes; empty: compare format only
    QTest::addColumn<QString>("format");
    QTest::addColumn<QSize>("size");

    const QByteArray png = pngBytes(QSize(7, 5));
    QTest::newRow("png, compressed text, 1Table")
        << inlinePngPicf(png) << false << false << false << png << "png" << QSize(7, 5);
    // Word numbers the blip id in the document's blip store; the descriptor holds
    // only this shape's BLIP.
    QTest::newRow("inline blip id counts in the document store")
        << inlinePngPicf(png, {}, 6) << false << false << false << png << "png" << QSize(7, 5);
    QTest::newRow("png, unicode text, 0Table")
        << inlinePngPicf(png) << false << true << true << png << "png" << QSize(7, 5);

    ArtShapeParams s;
    s.spid = 0x401;
    s.properties = {{kPib, 1}};
    const QByteArray emf = minimalEmf(QSize(2540, 1270));  // 1 x 0.5 inch
    QTest::newRow("compressed emf blip")
        << picfWithShape(spContainer(s),
                         {fbse(metafileBlip(kEmf, emf, true, QSize(914400, 457200)))})
        << false << false << false << emf << "emf" << QSize(96, 48);
    QTest::newRow("uncompressed emf blip as bare record")
        << picfWithShape(spContainer(s), {metafileBlip(kEmf, emf, false, QSize(914400, 457200))})
        << false << false << false << emf << "emf" << QSize(96, 48);
    QTest::newRow("ole object preview is its picture")
        << picfWithShape(spContainer(s),
                         {fbse(metafileBlip(kEmf, emf, true, QSize(914400, 457200)))})
        << true << false << false << emf << "emf" << QSize(96, 48);
    // A WMF BLIP has no placeable header: its frame comes from the BLIP's size in EMUs.
    QTest::newRow("compressed wmf blip gets a placeable header")
        << picfWithShape(spContainer(s), {fbse(metafileBlip(kWmf, minimalBareWmf(QSize(1000, 500)),
                                                            true, QSize(914400 * 2, 914400)))})
        << false << false << false << QByteArray() << "wmf" << QSize(192, 96);
    QTest::newRow("dib blip gets a file header")
        << picfWithShape(spContainer(s), {fbse(bitmapBlip(kDib, dibBytes(QSize(3, 2))))}) << false
        << false << false << QByteArray() << "bmp" << QSize(3, 2);
    QTest::newRow("png blip with two uids")
        << picfWithShape(spContainer(s), {fbse(bitmapBlip(kPng, png, true))}) << false << false
        << false << png << "png" << QSize(7, 5);
    QTest::newRow("old-style descriptor holding a wmf")
        << picfWithData(8, minimalBareWmf(QSize(300, 150)), QSize(1440, 720)) << false << false
        << false << QByteArray() << "wmf" << QSize(96, 48);
}

void DocReaderTest::inlinePicture() {
    QFETCH(QByteArray, picf);
    QFETCH(bool, ole);
    QFETCH(bool, unicode);
    QFETCH(bool, table0);
    QFETCH(QByteArray, expected);
    QFETCH(QString, format);
    QFETCH(QSize, size);

    DocBuilder doc;
    InlineFlags flags;
    flags.ole2 = ole;
    doc.unicode(unicode)
        .useTable0(table0)
        .text(QStringLiteral("Before "))
        .inlinePicture(picf, flags);
    doc.text(QStringLiteral(" after."));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    QCOMPARE(r.model.floatingShapes.size(), size_t(0));
    const word::Shape& shape = r.model.inlineShapes[0];
    QCOMPARE(shape.kind, ole ? Kind::OleObject : Kind::Picture);
    QCOMPARE(picture::formatName(shape.picture().format()), format);
    if (!expected.isEmpty())
        QCOMPARE(shape.picture().encoded(), expected);
    QCOMPARE(shape.picture().size(), size);
}

void DocReaderTest::inline_order_follows_text() {
    DocBuilder doc;
    const QList<QSize> sizes = {QSize(1, 1), QSize(2, 1), QSize(3, 1)};
    for (QSize s : sizes)
        doc.text(QStringLiteral("x")).inlinePicture(inlinePngPicf(pngBytes(s)));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(3));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(r.model.inlineShapes[i].picture().size(), sizes[i]);
}

void DocReaderTest::inline_object_char_without_picture_props_not_counted_data() {
    QTest::addColumn<bool>("objectChar");
    QTest::addColumn<bool>("data");
    QTest::newRow("0x01 without the object-character flag is text") << false << false;
    QTest::newRow("form-field data is no picture") << true << true;
}

void DocReaderTest::inline_object_char_without_picture_props_not_counted() {
    QFETCH(bool, objectChar);
    QFETCH(bool, data);
    InlineFlags flags;
    flags.objectChar = objectChar;
    flags.data = data;
    DocBuilder doc;
    doc.text(QStringLiteral("a")).inlinePicture(inlinePngPicf(pngBytes(QSize(2, 2))), flags);
    doc.text(QStringLiteral("b")).inlinePicture(inlinePngPicf(pngBytes(QSize(3, 3))));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    QCOMPARE(r.model.inlineShapes[0].picture().size(), QSize(3, 3));
}

void DocReaderTest::inline_crop_from_shape_properties() {
    // 16.16 fixed-point fractions: a quarter from the left, a half from the top.
    DocBuilder doc;
    doc.inlinePicture(inlinePngPicf(pngBytes(QSize(8, 8)), {{0x0102, 0x4000}, {0x0100, 0x8000}}));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    const picture::Crop crop = r.model.inlineShapes[0].picture().crop();
    QCOMPARE(crop.left, 0.25);
    QCOMPARE(crop.top, 0.5);
    QCOMPARE(crop.right, 0.0);
    QCOMPARE(r.model.inlineShapes[0].picture().size(), QSize(6, 4));
}

void DocReaderTest::ole_object_storage_reference_not_counted_twice() {
    ArtShapeParams s;
    s.properties = {{kPib, 1}};
    const QByteArray emf = minimalEmf(QSize(2540, 2540));
    DocBuilder doc;
    doc.text(QStringLiteral("An object: "))
        .oleObject(picfWithShape(spContainer(s),
                                 {fbse(metafileBlip(kEmf, emf, true, QSize(914400, 914400)))}))
        .text(QStringLiteral(" and a picture: "))
        .inlinePicture(inlinePngPicf(pngBytes(QSize(2, 2))));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(2));
    QCOMPARE(r.model.inlineShapes[0].kind, Kind::OleObject);
    QCOMPARE(r.model.inlineShapes[0].picture().encoded(), emf);
    QCOMPARE(r.model.inlineShapes[1].kind, Kind::Picture);
}

void DocReaderTest::floating_blip_in_worddocument_stream() {
    const QByteArray png = pngBytes(QSize(9, 4));
    DocBuilder doc;
    const quint32 id = doc.storeBlip(bitmapBlip(kPng, png), /*delayed=*/true);
    doc.text(QStringLiteral("Anchor here: ")).floating(0x401).drawingShape(pictureShape(0x401, id));
    const DocBuilder::Streams streams = doc.streams();
    QVERIFY(streams.wordDocument.contains(png));  // the BLIP really lies in WordDocument
    QVERIFY(!streams.table.contains(png));
    const word::ReadResult r = read(withStreams(streams));
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(0));
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    QCOMPARE(r.model.floatingShapes[0].kind, Kind::Picture);
    QCOMPARE(r.model.floatingShapes[0].picture().encoded(), png);
}

void DocReaderTest::floating_order_is_anchor_order_not_drawing_order() {
    DocBuilder doc;
    const quint32 a = doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(1, 1))));
    const quint32 b = doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(2, 2))), /*delayed=*/false);
    const quint32 c = doc.storeBlip(
        metafileBlip(kEmf, minimalEmf(QSize(2540, 2540)), true, QSize(914400, 914400)));
    // Drawing order c, a, b; anchor order b, c, a.
    doc.drawingShape(pictureShape(0x403, c))
        .drawingShape(pictureShape(0x401, a))
        .drawingShape(pictureShape(0x402, b));
    doc.text(QStringLiteral("1")).floating(0x402).text(QStringLiteral("2")).floating(0x403);
    doc.text(QStringLiteral("3")).floating(0x401);
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.floatingShapes.size(), size_t(3));
    QCOMPARE(r.model.floatingShapes[0].picture().size(), QSize(2, 2));
    QCOMPARE(r.model.floatingShapes[1].picture().format(), picture::Format::Emf);
    QCOMPARE(r.model.floatingShapes[1].picture().encoded(), minimalEmf(QSize(2540, 2540)));
    QCOMPARE(r.model.floatingShapes[2].picture().size(), QSize(1, 1));
}

void DocReaderTest::floating_shapes_without_picture_data() {
    QTest::addColumn<QByteArray>("shape");
    QTest::addColumn<Kind>("kind");
    ArtShapeParams text;
    text.spid = 0x401;
    text.shapeType = 202;
    text.clientTextbox = true;
    QTest::newRow("text box") << spContainer(text) << Kind::TextBox;
    ArtShapeParams rect;
    rect.spid = 0x401;
    rect.shapeType = 1;
    QTest::newRow("plain rectangle") << spContainer(rect) << Kind::Other;
    // A pattern fill uses its blip as a pattern, not as a picture.
    rect.properties = {{0x0180, 1}, {0x0186, 1}};
    QTest::newRow("pattern-filled rectangle") << spContainer(rect) << Kind::Other;
}

void DocReaderTest::floating_shapes_without_picture() {
    QFETCH(QByteArray, shape);
    QFETCH(Kind, kind);
    DocBuilder doc;
    doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(2, 2))));
    doc.floating(0x401).drawingShape(shape);
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    QCOMPARE(r.model.floatingShapes[0].kind, kind);
    QVERIFY(r.model.floatingShapes[0].picture().isNull());
}

void DocReaderTest::floating_anchor_to_missing_shape_is_skipped() {
    DocBuilder doc;
    const quint32 id = doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(2, 2))));
    doc.floating(0x999).floating(0x401).drawingShape(pictureShape(0x401, id));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    QCOMPARE(r.model.floatingShapes[0].picture().size(), QSize(2, 2));
}

void DocReaderTest::group_children_in_group_coordinates() {
    DocBuilder doc;
    const quint32 a = doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(3, 3))));
    ArtShapeParams group;
    group.spid = 0x410;
    group.shapeType = 0;
    ArtShapeParams text;
    text.spid = 0x413;
    text.shapeType = 202;
    text.clientTextbox = true;
    text.childAnchor = QRect(0, 0, 10, 10);
    const QByteArray g =
        spgrContainer(group, QRect(0, 0, 1000, 500),
                      {pictureShape(0x411, a, QRect(0, 0, 500, 500)), spContainer(text),
                       pictureShape(0x412, a, QRect(500, 100, 400, 300))});
    doc.floating(0x410).drawingShape(g);
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    const word::Shape& s = r.model.floatingShapes[0];
    QCOMPARE(s.kind, Kind::Group);
    QCOMPARE(s.groupExtent, QRectF(0, 0, 1000, 500));
    QCOMPARE(s.children.size(), size_t(2));
    QCOMPARE(s.children[0].rect, QRectF(0, 0, 500, 500));
    QCOMPARE(s.children[1].rect, QRectF(500, 100, 400, 300));
    QCOMPARE(s.children[1].picture.size(), QSize(3, 3));
}

void DocReaderTest::nested_group_flattened_into_outer_coordinates() {
    DocBuilder doc;
    const quint32 a = doc.storeBlip(bitmapBlip(kPng, pngBytes(QSize(2, 2))));
    ArtShapeParams outer;
    outer.spid = 0x420;
    ArtShapeParams inner;
    inner.spid = 0x421;
    inner.childAnchor = QRect(100, 100, 200, 200);  // in the outer group
    // The inner group's own space is 0..20; its member fills its right half.
    const QByteArray innerGroup =
        spgrContainer(inner, QRect(0, 0, 20, 20), {pictureShape(0x422, a, QRect(10, 0, 10, 20))});
    doc.floating(0x420).drawingShape(spgrContainer(outer, QRect(0, 0, 400, 400), {innerGroup}));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
    const word::Shape& s = r.model.floatingShapes[0];
    QCOMPARE(s.kind, Kind::Group);
    QCOMPARE(s.children.size(), size_t(1));
    QCOMPARE(s.children[0].rect, QRectF(200, 100, 100, 200));
}

void DocReaderTest::compressed_emf_with_lying_size_gives_no_picture() {
    // The metafile header says 10 bytes; the stream inflates to more: refused, but the
    // shape is still there.
    QByteArray blip = metafileBlip(kEmf, minimalEmf(QSize(100, 100)), true, QSize(9144, 9144));
    qToLittleEndian<quint32>(10, blip.data() + 8 + 16);
    ArtShapeParams s;
    s.properties = {{kPib, 1}};
    DocBuilder doc;
    doc.inlinePicture(picfWithShape(spContainer(s), {fbse(blip)}));
    const word::ReadResult r = read(doc.build());
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    QVERIFY(r.model.inlineShapes[0].picture().isNull());
}

void DocReaderTest::failures_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<OpenStatus>("status");
    QTest::addColumn<QString>("reason");

    QTest::newRow("doc-encrypted") << DocBuilder().text(QStringLiteral("x")).encrypted(true).build()
                                   << OpenStatus::Encrypted << "encrypted";
    QTest::newRow("doc-word95") << DocBuilder().text(QStringLiteral("x")).nFib(0x68).build()
                                << OpenStatus::TooOld << "Word 6/95 document";
    QTest::newRow("doc-not-compound-file")
        << QByteArray("PK\x03\x04 not a compound file") << OpenStatus::NotAWordDocument
        << "not an OLE2 compound file";
    {
        CfbBuilder cfb;
        cfb.addStream(QStringLiteral("Workbook"), QByteArray(100, 'x'));
        QTest::newRow("doc-no-worddocument-stream")
            << cfb.build() << OpenStatus::NotAWordDocument << "no WordDocument stream";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        s.tableName = QStringLiteral("0Table");  // the FIB still says 1Table
        QTest::newRow("doc-table-stream-missing")
            << withStreams(s) << OpenStatus::Damaged << "table stream 1Table is missing";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        // fcClx (pair 33 of FibRgFcLcb97, which starts at 154) beyond the table stream.
        qToLittleEndian<quint32>(quint32(s.table.size()) - 4, s.wordDocument.data() + 154 + 33 * 8);
        QTest::newRow("doc-fib-offsets-past-table-stream")
            << withStreams(s) << OpenStatus::Damaged << "FIB points past the table stream";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        s.wordDocument.truncate(20);
        QTest::newRow("doc-fib-truncated")
            << withStreams(s) << OpenStatus::Damaged << "too short for a FIB";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        qToLittleEndian<quint32>(0x7FFFFFFF, s.wordDocument.data() + 32 + 2 + 28 + 2 + 12);
        QTest::newRow("doc-ccptext-longer-than-stream")
            << withStreams(s) << OpenStatus::Damaged << "longer than the WordDocument stream";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        // The piece's fc (after clxt, lcb, two CPs and the descriptor's 2-byte flags).
        qToLittleEndian<quint32>(0x3FFFFFF0, s.table.data() + s.clxOffset + 5 + 8 + 2);
        QTest::newRow("doc-piece-past-stream")
            << withStreams(s) << OpenStatus::Damaged << "lies past the end of the WordDocument";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        s.table[s.clxOffset] = 7;
        QTest::newRow("doc-piece-table-unknown-entry")
            << withStreams(s) << OpenStatus::Damaged << "unknown entry";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        s.wordDocument[s.fkpOffsets[0] + 511] = char(0xC8);  // 200 runs do not fit a page
        QTest::newRow("doc-fkp-lying-run-count")
            << withStreams(s) << OpenStatus::Damaged << "claims 200 runs";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        // A run's property offset pointing at the last word of the page: its length byte
        // claims more than is left.
        const qsizetype page = s.fkpOffsets[0];
        const int crun = quint8(s.wordDocument[page + 511]);
        s.wordDocument[page + (crun + 1) * 4] = char(0xFF);
        s.wordDocument[page + 510] = char(0x20);
        QTest::newRow("doc-fkp-properties-past-page")
            << withStreams(s) << OpenStatus::Damaged << "run past the page";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        // The drawing group's container length grows by 4: longer than its data.
        const qsizetype at = s.dggOffset + 4;
        qToLittleEndian<quint32>(qFromLittleEndian<quint32>(s.table.data() + at) + 0x1000,
                                 s.table.data() + at);
        QTest::newRow("doc-officeart-drawing-group-too-long")
            << withStreams(s) << OpenStatus::Damaged << "longer than its data";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        // The FDGG record inside the drawing group claims more than its container.
        const qsizetype at = s.dggOffset + 8 + 4;
        qToLittleEndian<quint32>(0x500, s.table.data() + at);
        QTest::newRow("doc-officeart-record-longer-than-container")
            << withStreams(s) << OpenStatus::Damaged << "longer than its container";
    }
    {
        // The chain of WordDocument turns back on its first sector: the stream cannot
        // be read in full.
        CfbBuilder cfb;
        DocBuilder::Streams s = sampleDoc().streams();
        s.wordDocument.append(QByteArray(8192, '\0'));  // big enough for sectors of its own
        cfb.addStream(QStringLiteral("WordDocument"), s.wordDocument);
        cfb.addStream(s.tableName, s.table);
        CfbBuilder::Layout layout;
        QByteArray file = cfb.build(&layout);
        const quint32 first = layout.firstSector[QStringLiteral("WordDocument")];
        CfbBuilder::setFatEntry(file, first + 1, first);
        QTest::newRow("doc-fat-loop") << file << OpenStatus::Damaged << "WordDocument";
    }
    {
        DocBuilder::Streams s = sampleDoc().streams();
        s.table.append(QByteArray(8192, '\0'));
        CfbBuilder cfb;
        cfb.addStream(QStringLiteral("WordDocument"), s.wordDocument);
        cfb.addStream(s.tableName, s.table);
        CfbBuilder::Layout layout;
        QByteArray file = cfb.build(&layout);
        // A chain that leaves the file.
        CfbBuilder::setFatEntry(file, layout.firstSector[s.tableName], 0x00FFFFFF);
        QTest::newRow("doc-fat-chain-leaves-file")
            << file << OpenStatus::Damaged << "compound file is damaged";
    }
}

// A loop that starts only after the sectors a stream needs loses nothing: the
// library stops at the stream's size, and so do we.
void DocReaderTest::fat_loop_past_stream_end_keeps_the_stream() {
    CfbBuilder cfb;
    DocBuilder::Streams s = sampleDoc().streams();
    s.wordDocument.append(QByteArray(8192, '\0'));
    cfb.addStream(QStringLiteral("WordDocument"), s.wordDocument);
    cfb.addStream(s.tableName, s.table);
    CfbBuilder::Layout layout;
    QByteArray file = cfb.build(&layout);
    const QString name = QStringLiteral("WordDocument");
    CfbBuilder::setFatEntry(file, layout.lastSector[name], layout.firstSector[name]);
    const word::ReadResult r = read(file);
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QCOMPARE(r.model.inlineShapes.size(), size_t(1));
    QCOMPARE(r.model.floatingShapes.size(), size_t(1));
}

void DocReaderTest::failures() {
    QFETCH(QByteArray, bytes);
    QFETCH(OpenStatus, status);
    QFETCH(QString, reason);
    const word::ReadResult r = read(bytes);
    QCOMPARE(r.status, status);
    QVERIFY2(r.reason.contains(reason), qPrintable(r.reason));
    QVERIFY(!r.reason.isEmpty());
}

// Streams whose sectors are not contiguous cannot be viewed in place; they are copied
// and must read the same.
void DocReaderTest::interleaved_stream_sectors_read_like_contiguous_ones() {
    DocBuilder doc;
    const QByteArray big = pngBytes(QSize(300, 200), 0xFF123456u) + QByteArray(6000, 'p');
    const quint32 id = doc.storeBlip(bitmapBlip(kPng, big));
    doc.text(QStringLiteral("x")).inlinePicture(inlinePngPicf(big)).floating(0x401);
    doc.drawingShape(pictureShape(0x401, id));
    const DocBuilder::Streams s = doc.streams();
    QVERIFY(s.wordDocument.size() >= 4096 && s.data.size() >= 4096);
    for (bool interleave : {false, true}) {
        CfbBuilder cfb;
        cfb.interleave(interleave);
        cfb.addStream(QStringLiteral("WordDocument"), s.wordDocument);
        cfb.addStream(s.tableName, s.table);
        cfb.addStream(QStringLiteral("Data"), s.data);
        CfbBuilder::Layout layout;
        const QByteArray file = cfb.build(&layout);
        const QString wd = QStringLiteral("WordDocument");
        QCOMPARE(layout.lastSector[wd] - layout.firstSector[wd] + 1 >
                     quint32((s.wordDocument.size() + 511) / 512),
                 interleave);
        const word::ReadResult r = read(file);
        QVERIFY2(r.ok(), qPrintable(r.reason));
        QCOMPARE(r.model.inlineShapes.size(), size_t(1));
        QCOMPARE(r.model.floatingShapes.size(), size_t(1));
        QCOMPARE(r.model.inlineShapes[0].picture().encoded(), big);
        QCOMPARE(r.model.floatingShapes[0].picture().encoded(), big);
    }
}

void DocReaderTest::every_truncation_fails_cleanly() {
    const QByteArray full = sampleDoc().build();
    const word::ReadResult whole = read(full);
    QVERIFY2(whole.ok(), qPrintable(whole.reason));
    QCOMPARE(whole.model.inlineShapes.size(), size_t(1));
    QCOMPARE(whole.model.floatingShapes.size(), size_t(1));
    int failed = 0;
    for (qsizetype n = 0; n < full.size(); ++n) {
        const test::ExactBytes cut(QByteArrayView(full).first(n));
        const word::ReadResult r = read(cut.bytes());
        if (!r.ok()) {
            ++failed;
            QVERIFY2(!r.reason.isEmpty(), qPrintable(QStringLiteral("length %1").arg(n)));
        } else {
            QVERIFY(r.model.inlineShapes.size() <= 1 && r.model.floatingShapes.size() <= 1);
        }
    }
    // Whatever libgsf tolerates in the padding of the last sector, a cut into the
    // streams themselves must be noticed.
    QVERIFY(failed > full.size() * 9 / 10);
}

void DocReaderTest::corpus_agrees_with_manifest() {
    const QString dir = corpusDir();
    if (dir.isEmpty())
        QSKIP("no corpus beside this checkout");
    const QMap<QString, QPair<int, int>> expected = manifest(dir);
    const QStringList files = QDir(dir).entryList(
        {QStringLiteral("*.doc"), QStringLiteral("*.dot")}, QDir::Files, QDir::Name);
    if (files.isEmpty())
        QSKIP("the corpus holds no binary Word documents");
    int agree = 0;
    for (const QString& name : files) {
        QFile f(dir + QLatin1Char('/') + name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const word::ReadResult r = read(f.readAll());
        const QPair<int, int> got = r.ok() ? qMakePair(withPicture(r.model.inlineShapes),
                                                       withPicture(r.model.floatingShapes))
                                           : qMakePair(-1, -1);
        const QPair<int, int> want = expected.value(name, {-1, -1});
        if (got == want) {
            ++agree;
        } else {
            qInfo().noquote() << QStringLiteral(
                                     "%1: read %2 inline + %3 floating, manifest %4 + %5%6")
                                     .arg(name)
                                     .arg(got.first)
                                     .arg(got.second)
                                     .arg(want.first)
                                     .arg(want.second)
                                     .arg(r.ok() ? QString()
                                                 : QStringLiteral(" (") + r.reason + ')');
        }
    }
    qInfo().noquote()
        << QStringLiteral("binary Word corpus: %1 of %2 agree").arg(agree).arg(files.size());
    QVERIFY(agree * 10 >= files.size() * 9);
}

QTEST_MAIN(DocReaderTest)
#include "doc_reader_test.moc"
