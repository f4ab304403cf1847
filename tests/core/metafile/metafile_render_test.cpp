// Pixels at known places of small hand-made metafiles: fills, clipping, mapping modes,
// bitmaps with raster operations, text, the save stack and the object tables.

#include "core/metafile/Metafile.h"
#include "support/MetafileBuilder.h"

#include <QtTest>

using namespace pictrove;
using test::EmfBuilder;
using test::WmfBuilder;

namespace {

constexpr quint32 kNullPen = 0x80000008u;
constexpr quint32 kBlackBrush = 0x80000004u;
const QColor kRed(220, 20, 30), kBlue(20, 40, 200), kGreen(30, 160, 40);

QImage renderAtFrame(const QByteArray& bytes) {
    const auto size = metafile::frameSizePx(bytes);
    return size ? metafile::render(bytes, *size) : QImage();
}

QColor at(const QImage& img, int x, int y) {
    return img.pixelColor(x, y);
}

// A 4x4 bitmap in four 2x2 quadrants: red, green / blue, yellow.
QImage quadrants() {
    QImage img(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            img.setPixel(x, y,
                         y < 2 ? (x < 2 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                               : (x < 2 ? qRgb(0, 0, 255) : qRgb(255, 255, 0)));
    return img;
}

// Counts pixels darker than light grey inside a rectangle.
int inkIn(const QImage& img, QRect r) {
    int n = 0;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(img.pixel(x, y)) < 160;
    return n;
}

EmfBuilder redBrushNoPen(int w, int h) {
    EmfBuilder b(w, h);
    b.createBrush(1, 0, kRed).selectObject(1).selectObject(kNullPen);
    return b;
}

}  // namespace

class MetafileRenderTest : public QObject {
    Q_OBJECT
  private slots:
    void sniffAndFrame();
    void notAMetafileGivesNullImage();
    void emfFilledRectangleInsideAndOutside();
    void emfClipCutsFill_data();
    void emfClipCutsFill();
    void emfMappingModesScale_data();
    void emfMappingModesScale();
    void emfDibDrawnAtItsPlace_data();
    void emfDibDrawnAtItsPlace();
    void emfRasterOperations_data();
    void emfRasterOperations();
    void emfTextAlignmentPlacesInk_data();
    void emfTextAlignmentPlacesInk();
    void emfSaveRestoreBringsBackBrushAndClip();
    void emfPlusCommentsAreSkipped();
    void emfPathFillAndAntialiasedStrokeKeepComplexClip();
    void wmfWindowMapsOntoFrame();
    void wmfClipAndHatchBrush();
    void wmfStretchDibQuadrants();
    void wmfTextIsDrawn();
    void wmfObjectTakesLowestFreeSlot();
};

void MetafileRenderTest::sniffAndFrame() {
    const QByteArray emf = EmfBuilder(120, 80).finish();
    QCOMPARE(metafile::sniff(emf), metafile::Format::Emf);
    QCOMPARE(metafile::frameSizePx(emf), std::optional<QSize>(QSize(120, 80)));
    const QByteArray wmf = WmfBuilder(QRect(0, 0, 1440, 720), 1440).finish();
    QCOMPARE(metafile::sniff(wmf), metafile::Format::PlaceableWmf);
    QCOMPARE(metafile::frameSizePx(wmf), std::optional<QSize>(QSize(96, 48)));
    const QByteArray bare = WmfBuilder(QRect(0, 0, 10, 10), 96, false).finish();
    QCOMPARE(metafile::sniff(bare), metafile::Format::BareWmf);
    QCOMPARE(metafile::frameSizePx(bare), std::nullopt);
    // A bare WMF still plays at a size the caller chooses.
    const QByteArray drawn = WmfBuilder(QRect(), 96, false)
                                 .setWindowExt(100, 100)
                                 .createBrush(0, kBlue)
                                 .selectObject(0)
                                 .rectangle(QRect(0, 0, 100, 100))
                                 .finish();
    QCOMPARE(metafile::render(drawn, QSize(50, 50)).pixelColor(25, 25), kBlue);
}

void MetafileRenderTest::notAMetafileGivesNullImage() {
    QVERIFY(
        metafile::render(QByteArray("\x89PNG\r\n\x1a\n0000000000000000000000"), {10, 10}).isNull());
    QVERIFY(metafile::render(QByteArray(), {10, 10}).isNull());
    const QByteArray emf = EmfBuilder(10, 10).finish();
    QVERIFY(metafile::render(emf, QSize(0, 10)).isNull());
    // The target size is bounded too: a frame of 100000 x 100000 pixels is refused.
    QVERIFY(metafile::render(emf, QSize(100000, 100000)).isNull());
    QVERIFY(!metafile::render(emf, QSize(10, 10)).isNull());
}

void MetafileRenderTest::emfFilledRectangleInsideAndOutside() {
    const QImage img =
        renderAtFrame(redBrushNoPen(64, 48).rectangle(QRect(10, 10, 30, 20)).finish());
    QCOMPARE(img.size(), QSize(64, 48));
    QCOMPARE(at(img, 11, 11), kRed);
    QCOMPARE(at(img, 38, 28), kRed);
    QCOMPARE(at(img, 9, 20), QColor(Qt::white));
    QCOMPARE(at(img, 41, 20), QColor(Qt::white));
    QCOMPARE(at(img, 20, 31), QColor(Qt::white));
}

void MetafileRenderTest::emfClipCutsFill_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QPoint>("inside");
    QTest::addColumn<QPoint>("outside");
    const QRect all(0, 0, 100, 100);
    QTest::newRow("intersect")
        << redBrushNoPen(100, 100).intersectClipRect(QRect(20, 20, 30, 30)).rectangle(all).finish()
        << QPoint(30, 30) << QPoint(60, 30);
    QTest::newRow("exclude")
        << redBrushNoPen(100, 100).excludeClipRect(QRect(20, 20, 30, 30)).rectangle(all).finish()
        << QPoint(60, 30) << QPoint(30, 30);
    QTest::newRow("region-copy") << redBrushNoPen(100, 100)
                                        .extSelectClipRgn(
                                            5, {QRect(0, 0, 10, 100), QRect(90, 0, 10, 100)})
                                        .rectangle(all)
                                        .finish()
                                 << QPoint(95, 50) << QPoint(50, 50);
    QTest::newRow("region-and-after-intersect") << redBrushNoPen(100, 100)
                                                       .intersectClipRect(QRect(0, 0, 50, 100))
                                                       .extSelectClipRgn(1, {QRect(0, 40, 100, 20)})
                                                       .rectangle(all)
                                                       .finish()
                                                << QPoint(25, 50) << QPoint(75, 50);
    QTest::newRow("clip-path-triangle") << redBrushNoPen(100, 100)
                                               .beginPath()
                                               .polygon16({{0, 0}, {99, 0}, {0, 99}})
                                               .endPath()
                                               .selectClipPath(5)
                                               .rectangle(all)
                                               .finish()
                                        << QPoint(20, 20) << QPoint(80, 80);
}

void MetafileRenderTest::emfClipCutsFill() {
    QFETCH(QByteArray, bytes);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, outside);
    const QImage img = renderAtFrame(bytes);
    QCOMPARE(at(img, inside.x(), inside.y()), kRed);
    QCOMPARE(at(img, outside.x(), outside.y()), QColor(Qt::white));
}

void MetafileRenderTest::emfMappingModesScale_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QPoint>("inside");
    QTest::addColumn<QPoint>("outside");
    // 0.1 mm units with y up: 10 mm .. 30 mm is 37.8 .. 113.4 device pixels.
    QTest::newRow("lometric") << redBrushNoPen(160, 160)
                                     .setMapMode(2)
                                     .rectangle(QRect(QPoint(100, -300), QPoint(299, -101)))
                                     .finish()
                              << QPoint(75, 75) << QPoint(30, 75);
    // 0.01 mm units: 1000 .. 2000 is 37.8 .. 75.6 pixels.
    QTest::newRow("himetric") << redBrushNoPen(160, 160)
                                     .setMapMode(3)
                                     .rectangle(QRect(QPoint(1000, -2000), QPoint(1999, -1001)))
                                     .finish()
                              << QPoint(56, 56) << QPoint(90, 56);
    // 1440 twips an inch: 720 twips is 48 pixels.
    QTest::newRow("twips") << redBrushNoPen(160, 160)
                                  .setMapMode(6)
                                  .rectangle(QRect(QPoint(720, -1440), QPoint(1439, -721)))
                                  .finish()
                           << QPoint(60, 60) << QPoint(40, 60);
    QTest::newRow("anisotropic") << redBrushNoPen(160, 100)
                                        .setMapMode(8)
                                        .setWindowExt(100, 100)
                                        .setViewportExt(200, 100)
                                        .rectangle(QRect(10, 10, 20, 20))
                                        .finish()
                                 << QPoint(50, 20) << QPoint(15, 20);
    QTest::newRow("isotropic-keeps-aspect") << redBrushNoPen(160, 100)
                                                   .setMapMode(7)
                                                   .setWindowExt(100, 100)
                                                   .setViewportExt(200, 100)
                                                   .rectangle(QRect(10, 10, 20, 20))
                                                   .finish()
                                            << QPoint(15, 20) << QPoint(50, 20);
    QTest::newRow("window-and-viewport-origins") << redBrushNoPen(100, 100)
                                                        .setMapMode(8)
                                                        .setWindowOrg(1000, 1000)
                                                        .setViewportOrg(50, 50)
                                                        .rectangle(QRect(1000, 1000, 10, 10))
                                                        .finish()
                                                 << QPoint(55, 55) << QPoint(45, 45);
    QTest::newRow("world-transform") << redBrushNoPen(100, 100)
                                            .setWorldTransform(2, 0, 0, 2, 10, 0)
                                            .rectangle(QRect(5, 5, 10, 10))
                                            .finish()
                                     << QPoint(35, 25) << QPoint(15, 12);
}

void MetafileRenderTest::emfMappingModesScale() {
    QFETCH(QByteArray, bytes);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, outside);
    const QImage img = renderAtFrame(bytes);
    QCOMPARE(at(img, inside.x(), inside.y()), kRed);
    QCOMPARE(at(img, outside.x(), outside.y()), QColor(Qt::white));
}

void MetafileRenderTest::emfDibDrawnAtItsPlace_data() {
    QTest::addColumn<QByteArray>("bytes");
    const QRect dest(16, 16, 32, 32);
    QTest::newRow("stretchdibits-24")
        << EmfBuilder(64, 64).stretchDiBits(dest, test::packedDib(quadrants(), 24)).finish();
    QTest::newRow("stretchdibits-32")
        << EmfBuilder(64, 64).stretchDiBits(dest, test::packedDib(quadrants(), 32)).finish();
    QTest::newRow("stretchdibits-8-palette")
        << EmfBuilder(64, 64).stretchDiBits(dest, test::packedDib(quadrants(), 8)).finish();
    QTest::newRow("stretchdibits-top-down")
        << EmfBuilder(64, 64).stretchDiBits(dest, test::packedDib(quadrants(), 24, true)).finish();
    QTest::newRow("bitblt-scaled-by-window")
        << EmfBuilder(64, 64)
               .setMapMode(8)
               .setWindowExt(8, 8)
               .setViewportExt(64, 64)
               .bitBlt(QRect(2, 2, 4, 4), test::packedDib(quadrants()), 0x00CC0020)
               .finish();
}

void MetafileRenderTest::emfDibDrawnAtItsPlace() {
    QFETCH(QByteArray, bytes);
    const QImage img = renderAtFrame(bytes);
    QCOMPARE(at(img, 20, 20), QColor(255, 0, 0));
    QCOMPARE(at(img, 44, 20), QColor(0, 255, 0));
    QCOMPARE(at(img, 20, 44), QColor(0, 0, 255));
    QCOMPARE(at(img, 44, 44), QColor(255, 255, 0));
    QCOMPARE(at(img, 8, 8), QColor(Qt::white));
    QCOMPARE(at(img, 56, 56), QColor(Qt::white));
}

void MetafileRenderTest::emfRasterOperations_data() {
    QTest::addColumn<quint32>("rop");
    QTest::addColumn<QRgb>("expected");
    // Destination 0x3366CC, source 0x0F0F0F, brush 0xF0F000.
    const quint32 d = 0x3366CC, s = 0x0F0F0F, p = 0xF0F000;
    QTest::newRow("SRCCOPY") << 0x00CC0020u << QRgb(s);
    QTest::newRow("SRCAND") << 0x008800C6u << QRgb(s & d);
    QTest::newRow("SRCPAINT") << 0x00EE0086u << QRgb(s | d);
    QTest::newRow("SRCINVERT") << 0x00660046u << QRgb(s ^ d);
    QTest::newRow("SRCERASE") << 0x00440328u << QRgb(s & ~d & 0xffffff);
    QTest::newRow("NOTSRCCOPY") << 0x00330008u << QRgb(~s & 0xffffff);
    QTest::newRow("NOTSRCERASE") << 0x001100A6u << QRgb(~(s | d) & 0xffffff);
    QTest::newRow("MERGECOPY") << 0x00C000CAu << QRgb(s & p);
    QTest::newRow("MERGEPAINT") << 0x00BB0226u << QRgb((~s | d) & 0xffffff);
    QTest::newRow("PATCOPY") << 0x00F00021u << QRgb(p);
    QTest::newRow("PATINVERT") << 0x005A0049u << QRgb(p ^ d);
    QTest::newRow("DSTINVERT") << 0x00550009u << QRgb(~d & 0xffffff);
    QTest::newRow("BLACKNESS") << 0x00000042u << QRgb(0);
    QTest::newRow("WHITENESS") << 0x00FF0062u << QRgb(0xffffff);
}

void MetafileRenderTest::emfRasterOperations() {
    QFETCH(quint32, rop);
    QFETCH(QRgb, expected);
    QImage source(4, 4, QImage::Format_RGB32);
    source.fill(QColor(0x0F, 0x0F, 0x0F));
    const QByteArray bytes = EmfBuilder(32, 32)
                                 .createBrush(1, 0, QColor(0x33, 0x66, 0xCC))
                                 .selectObject(1)
                                 .selectObject(kNullPen)
                                 .rectangle(QRect(0, 0, 32, 32))
                                 .createBrush(2, 0, QColor(0xF0, 0xF0, 0x00))
                                 .selectObject(2)
                                 .bitBlt(QRect(8, 8, 16, 16), test::packedDib(source), rop)
                                 .finish();
    const QImage img = renderAtFrame(bytes);
    QCOMPARE(QString::number(img.pixel(16, 16) & 0xffffff, 16),
             QString::number(expected & 0xffffff, 16));
    QCOMPARE(img.pixelColor(2, 2), QColor(0x33, 0x66, 0xCC));
}

void MetafileRenderTest::emfTextAlignmentPlacesInk_data() {
    QTest::addColumn<quint32>("align");
    QTest::addColumn<QRect>("inkArea");
    QTest::addColumn<QRect>("emptyArea");
    // Reference point (60, 50), 24-pixel characters.
    QTest::newRow("left-top") << 0u << QRect(60, 50, 60, 26) << QRect(0, 0, 120, 48);
    QTest::newRow("left-bottom") << 8u << QRect(60, 24, 60, 26) << QRect(0, 52, 120, 48);
    QTest::newRow("right-baseline") << 24u + 2u << QRect(0, 28, 60, 24) << QRect(62, 0, 60, 100);
    QTest::newRow("center-top") << 6u << QRect(30, 50, 60, 26) << QRect(0, 0, 120, 48);
}

void MetafileRenderTest::emfTextAlignmentPlacesInk() {
    QFETCH(quint32, align);
    QFETCH(QRect, inkArea);
    QFETCH(QRect, emptyArea);
    const QImage img = renderAtFrame(EmfBuilder(120, 100)
                                         .createFont(1, -24, QStringLiteral("Arial"), 700)
                                         .selectObject(1)
                                         .setBkMode(1)
                                         .setTextColor(Qt::black)
                                         .setTextAlign(align)
                                         .extTextOutW(60, 50, QStringLiteral("HHH"), true, 16)
                                         .finish());
    QVERIFY2(inkIn(img, inkArea) > 40, qPrintable(QString::number(inkIn(img, inkArea))));
    QCOMPARE(inkIn(img, emptyArea), 0);
}

void MetafileRenderTest::emfSaveRestoreBringsBackBrushAndClip() {
    const QImage img = renderAtFrame(redBrushNoPen(40, 40)
                                         .saveDc()
                                         .createBrush(2, 0, kBlue)
                                         .selectObject(2)
                                         .intersectClipRect(QRect(0, 0, 5, 5))
                                         .saveDc()
                                         .restoreDc(-2)
                                         .rectangle(QRect(0, 0, 40, 40))
                                         .restoreDc(-5)  // beyond the stack: ignored
                                         .finish());
    QCOMPARE(at(img, 20, 20), kRed);
    QCOMPARE(at(img, 2, 2), kRed);
}

void MetafileRenderTest::emfPlusCommentsAreSkipped() {
    QByteArray plus("EMF+");
    plus.append(QByteArray(64, '\xff'));
    const QImage img = renderAtFrame(redBrushNoPen(20, 20)
                                         .comment(plus)
                                         .record(9999, QByteArray(12, '\x7f'))  // unknown
                                         .rectangle(QRect(0, 0, 20, 20))
                                         .finish());
    QCOMPARE(at(img, 10, 10), kRed);
}

void MetafileRenderTest::emfPathFillAndAntialiasedStrokeKeepComplexClip() {
    // A diagonal clip, then a thick antialiased line across the whole picture: nothing
    // may land in the cut-away half.
    const QImage img = renderAtFrame(redBrushNoPen(80, 80)
                                         .beginPath()
                                         .polygon16({{0, 0}, {79, 0}, {0, 79}})
                                         .endPath()
                                         .selectClipPath(5)
                                         .createPen(3, 0, 9, kBlue)
                                         .selectObject(3)
                                         .moveTo(0, 40)
                                         .lineTo(80, 40)
                                         .beginPath()
                                         .polygon16({{0, 60}, {80, 60}, {80, 80}, {0, 80}})
                                         .endPath()
                                         .fillPath()
                                         .finish());
    QCOMPARE(at(img, 20, 40), kBlue);
    QCOMPARE(at(img, 60, 40), QColor(Qt::white));
    QCOMPARE(at(img, 10, 65), kRed);
    QCOMPARE(at(img, 60, 70), QColor(Qt::white));
}

void MetafileRenderTest::wmfWindowMapsOntoFrame() {
    // 1000 x 500 units at 1000 an inch: 96 x 48 pixels.
    const QImage img = renderAtFrame(WmfBuilder(QRect(0, 0, 1000, 500), 1000)
                                         .setWindowOrg(0, 0)
                                         .setWindowExt(1000, 500)
                                         .createBrush(0, kRed)
                                         .selectObject(0)
                                         .createPen(5, 0, QColor())
                                         .selectObject(1)
                                         .rectangle(QRect(100, 100, 400, 300))
                                         .finish());
    QCOMPARE(img.size(), QSize(96, 48));
    QCOMPARE(at(img, 30, 20), kRed);
    QCOMPARE(at(img, 8, 20), QColor(Qt::white));
    QCOMPARE(at(img, 50, 20), QColor(Qt::white));
}

void MetafileRenderTest::wmfClipAndHatchBrush() {
    const QImage img = renderAtFrame(WmfBuilder(QRect(0, 0, 96, 96), 96)
                                         .setWindowExt(96, 96)
                                         .createPen(5, 0, QColor())
                                         .selectObject(0)
                                         .createBrush(2, kBlue, 4)  // HS_CROSS
                                         .selectObject(1)
                                         .setBkMode(1)
                                         .excludeClipRect(QRect(48, 0, 48, 96))
                                         .rectangle(QRect(0, 0, 96, 96))
                                         .finish());
    int blue = 0, white = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 48; ++x)
            (img.pixelColor(x, y) == kBlue ? blue : white) += 1;
    QVERIFY2(blue > 48 * 96 / 8 && white > 48 * 96 / 2, qPrintable(QString::number(blue)));
    QCOMPARE(inkIn(img, QRect(48, 0, 48, 96)), 0);
}

void MetafileRenderTest::wmfStretchDibQuadrants() {
    const QImage img =
        renderAtFrame(WmfBuilder(QRect(0, 0, 64, 64), 96)
                          .setWindowExt(64, 64)
                          .stretchDib(QRect(16, 16, 32, 32), test::packedDib(quadrants(), 8))
                          .finish());
    QCOMPARE(at(img, 20, 20), QColor(255, 0, 0));
    QCOMPARE(at(img, 44, 20), QColor(0, 255, 0));
    QCOMPARE(at(img, 20, 44), QColor(0, 0, 255));
    QCOMPARE(at(img, 44, 44), QColor(255, 255, 0));
    QCOMPARE(at(img, 8, 8), QColor(Qt::white));
}

void MetafileRenderTest::wmfTextIsDrawn() {
    const QImage img = renderAtFrame(WmfBuilder(QRect(0, 0, 200, 60), 96)
                                         .setWindowExt(200, 60)
                                         .createFont(-30, "Times New Roman")
                                         .selectObject(0)
                                         .setBkMode(1)
                                         .textOut(10, 10, "Wmf")
                                         .extTextOut(110, 10, "ab\xe9", {20, 20, 20})
                                         .finish());
    QVERIFY(inkIn(img, QRect(10, 10, 90, 40)) > 50);
    QVERIFY(inkIn(img, QRect(110, 10, 80, 40)) > 30);
    QCOMPARE(inkIn(img, QRect(0, 0, 200, 8)), 0);
}

void MetafileRenderTest::wmfObjectTakesLowestFreeSlot() {
    // Slot 0: red brush, slot 1: null pen. Deleting slot 0 frees it, so the blue brush
    // created next is object 0 again.
    const QImage img = renderAtFrame(WmfBuilder(QRect(0, 0, 20, 20), 96)
                                         .setWindowExt(20, 20)
                                         .createBrush(0, kRed)
                                         .createPen(5, 0, QColor())
                                         .selectObject(1)
                                         .deleteObject(0)
                                         .createBrush(0, kBlue)
                                         .selectObject(0)
                                         .selectObject(7)  // no such object: ignored
                                         .rectangle(QRect(0, 0, 20, 20))
                                         .finish());
    QCOMPARE(at(img, 10, 10), kBlue);
}

QTEST_MAIN(MetafileRenderTest)
#include "metafile_render_test.moc"
