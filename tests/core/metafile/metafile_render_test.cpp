// Pixels at known places of small hand-made metafiles: fills, clipping, mapping modes,
// bitmaps with raster operations, text, the save stack and the object tables.

#include "core/metafile/Metafile.h"
#include "core/picture/Picture.h"
#include "support/MetafileBuilder.h"

#include <QElapsedTimer>
#include <QFontDatabase>
#include <QRawFont>
#include <QtTest>

using namespace pictrove;
using test::EmfBuilder;
using test::inkBox;
using test::inkIn;
using test::renderAtFrame;
using test::WmfBuilder;

namespace {

constexpr quint32 kNullPen = 0x80000008u;
const QColor kRed(220, 20, 30), kBlue(20, 40, 200), kGreen(30, 160, 40);

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
    void emfHeaderThatLiesKeepsDrawingInFrame_data();
    void emfHeaderThatLiesKeepsDrawingInFrame();
    void hugeFrameIsDrawnSmallerNotDropped();
    void wmfWithoutHeaderBoxSizedFromWindow();
    void symbolFontsDrawTheirUnicodeCharacters_data();
    void symbolFontsDrawTheirUnicodeCharacters();
    void symbolFontsDrawNothingWithoutAMapping_data();
    void symbolFontsDrawNothingWithoutAMapping();
    void symbolFontAccentsAndPictographsKeepTheirPlaces();
    void fontStyleFlagsChangeTheGlyphs();
    void workBudgetStopsPlaybackAndKeepsDrawing();
    void glyphIndicesDrawnOnlyInTheirOwnFace();
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

void MetafileRenderTest::emfHeaderThatLiesKeepsDrawingInFrame_data() {
    QTest::addColumn<QByteArray>("bytes");
    // A page-mapped drawing as converters write it: the window is the frame in 0.01 mm,
    // the viewport its size in device pixels; a red polygon covers the middle half.
    auto drawing = [](const test::EmfHeaderFields& h, QPoint viewportOrg) {
        const int fw = h.frame.right() - h.frame.left(), fh = h.frame.bottom() - h.frame.top();
        const int vw = h.bounds.right() - h.bounds.left() + 1,
                  vh = h.bounds.bottom() - h.bounds.top() + 1;
        return EmfBuilder(1, 1)
            .header(h)
            .setMapMode(8)  // MM_ANISOTROPIC
            .setWindowOrg(0, 0)
            .setWindowExt(fw, fh)
            .setViewportOrg(viewportOrg.x(), viewportOrg.y())
            .setViewportExt(vw, vh)
            .setPolyFillMode(1)
            .createPen(1, 0, 0, kBlue)
            .selectObject(1)
            .createBrush(2, 0, kRed)
            .selectObject(2)
            .polygon16({{fw / 4, fh / 4},
                        {fw * 3 / 4, fh / 4},
                        {fw * 3 / 4, fh * 3 / 4},
                        {fw / 4, fh * 3 / 4}})
            .polyline16({{0, 0}, {fw / 5, fh / 5}})
            .finish();
    };
    test::EmfHeaderFields plain;
    plain.bounds = QRect(QPoint(1, 1), QPoint(55, 37));
    plain.frame = QRect(QPoint(0, 0), QPoint(1464, 1005));
    QTest::newRow("truthful") << drawing(plain, {0, 0});
    // The description right after the 88-byte base, where micrometres would be.
    test::EmfHeaderFields described = plain;
    described.description = QStringLiteral("Converted picture");
    described.descriptionAt = 88;
    QTest::newRow("description-after-base") << drawing(described, {0, 0});
    test::EmfHeaderFields micro = plain;
    micro.deviceUm = QSize(5080, 2860);  // hundredths of a millimetre, not micrometres
    QTest::newRow("micrometres-wrong-unit") << drawing(micro, {0, 0});
    test::EmfHeaderFields milli = plain;
    milli.deviceMm = QSize(50800, 28600);
    milli.deviceUm = QSize();
    QTest::newRow("millimetres-absurd") << drawing(milli, {0, 0});
    // The same drawing above and right of the reference device's origin.
    test::EmfHeaderFields negative = described;
    negative.frame = QRect(QPoint(7813, -21000), QPoint(15375, -15063));
    negative.bounds = QRect(QPoint(295, -794), QPoint(581, -570));
    QTest::newRow("negative-frame") << drawing(negative, {295, -794});
    test::EmfHeaderFields device = negative;
    device.description.clear();
    device.devicePx = QSize(1024, 768);
    device.deviceMm = QSize(32, 24);  // 32 px/mm: the bounds lie far outside that frame
    device.deviceUm = QSize();
    QTest::newRow("device-disagrees-with-bounds") << drawing(device, {295, -794});
}

void MetafileRenderTest::emfHeaderThatLiesKeepsDrawingInFrame() {
    QFETCH(QByteArray, bytes);
    const QImage img = renderAtFrame(bytes);
    QVERIFY(!img.isNull());
    const int w = img.width(), h = img.height();
    int red = 0;
    for (int y = h * 3 / 10; y < h * 7 / 10; ++y)
        for (int x = w * 3 / 10; x < w * 7 / 10; ++x)
            red += img.pixelColor(x, y) == kRed;
    QVERIFY2(red > (w * 2 / 5) * (h * 2 / 5) * 9 / 10, qPrintable(QString::number(red)));
    QCOMPARE(at(img, w * 9 / 10, h * 9 / 10), QColor(Qt::white));
    QCOMPARE(at(img, w * 9 / 10, h / 10), QColor(Qt::white));
    QVERIFY(inkIn(img, QRect(0, 0, w / 5, h / 5)) > 0);  // the polyline's stroke
}

void MetafileRenderTest::hugeFrameIsDrawnSmallerNotDropped() {
    // A 3.2 m x 4.1 m poster: 12047 x 15591 pixels at 96 dpi.
    test::EmfHeaderFields poster;
    poster.frame = QRect(QPoint(0, 0), QPoint(318750, 412500));
    poster.bounds = QRect(QPoint(0, 0), QPoint(10198, 13198));
    const QByteArray bytes = redBrushNoPen(1, 1)
                                 .header(poster)
                                 .rectangle(QRect(0, 0, 10199, 6599))  // the upper part
                                 .finish();
    QCOMPARE(metafile::frameSizePx(bytes), std::optional<QSize>(QSize(12047, 15591)));
    const qint64 limit = 300 * 300;
    const auto fitted = metafile::pictureSizePx(bytes, limit);
    QVERIFY(fitted);
    QVERIFY(qint64(fitted->width()) * fitted->height() <= limit);
    QVERIFY(fitted->width() >= 262 && fitted->height() >= 340);  // nearly the whole limit
    QVERIFY(std::abs(double(fitted->width()) / fitted->height() - 12047.0 / 15591) < 0.01);
    const QImage img = metafile::render(bytes, *fitted);
    const int w = img.width(), h = img.height();
    QCOMPARE(at(img, w / 2, h / 4), kRed);
    QCOMPARE(at(img, w / 2, h * 3 / 4), QColor(Qt::white));
    // Through the picture layer too: a size within its decode limit instead of nothing.
    const picture::Picture pic = picture::Picture::fromEncoded(bytes);
    QVERIFY(!pic.isNull());
    QVERIFY(qint64(pic.size().width()) * pic.size().height() * 4 <= picture::kMaxDecodedBytes);
    QVERIFY(pic.size().height() > 5000);
}

void MetafileRenderTest::wmfWithoutHeaderBoxSizedFromWindow() {
    auto drawn = [](WmfBuilder b) {
        return b.setMapMode(8)
            .setWindowOrg(100, 50)
            .setWindowExt(2880, 1440)
            .createPen(5, 0, QColor())
            .selectObject(0)
            .createBrush(0, kBlue)
            .selectObject(1)
            .rectangle(QRect(100, 50, 1440, 1440))  // the left half of the window
            .finish();
    };
    // Top equals bottom in the placeable header: two inches by one from the window.
    const QByteArray flat = drawn(WmfBuilder(QRect(0, 0, 2880, 0), 1440));
    QCOMPARE(metafile::frameSizePx(flat), std::optional<QSize>(QSize(192, 96)));
    const QImage img = renderAtFrame(flat);
    QCOMPARE(at(img, 48, 48), kBlue);
    QCOMPARE(at(img, 144, 48), QColor(Qt::white));
    QVERIFY(!picture::Picture::fromEncoded(flat).isNull());
    // No placeable header at all: the window is taken in twips.
    const QByteArray bare = drawn(WmfBuilder(QRect(), 1440, false));
    QCOMPARE(metafile::frameSizePx(bare), std::optional<QSize>(QSize(192, 96)));
    QCOMPARE(at(renderAtFrame(bare), 48, 48), kBlue);
}

namespace {

// One line of text at 48 px in a font of the given face, charset and style.
QImage textImage(const QString& face, const QString& text, quint8 charset = 0, int weight = 400,
                 bool italic = false, bool underline = false, bool strikeOut = false) {
    return renderAtFrame(
        EmfBuilder(160, 80)
            .createFont(1, -48, face, weight, italic, underline, strikeOut, charset)
            .selectObject(1)
            .setBkMode(1)
            .extTextOutW(20, 10, text)
            .finish());
}

}  // namespace

void MetafileRenderTest::symbolFontsDrawTheirUnicodeCharacters_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("charset");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("family");  // where the shown character is drawn
    QTest::addColumn<QString>("unicode");
    auto row = [](const char* name, const char* face, int charset, QString codes,
                  const char* family, QString unicode) {
        QTest::newRow(name) << QString::fromLatin1(face) << charset << codes
                            << QString::fromLatin1(family) << unicode;
    };
    row("symbol-omega", "Symbol", 2, QStringLiteral("w"), "DejaVu Serif", QStringLiteral("\u03C9"));
    row("symbol-private-use-zeta", "Symbol", 0, QStringLiteral("\uF07A"), "DejaVu Serif",
        QStringLiteral("\u03B6"));
    row("symbol-prime", "Symbol", 2, QStringLiteral("\u00A2"), "DejaVu Serif",
        QStringLiteral("\u2032"));
    row("symbol-bracket-piece", "Symbol", 2, QStringLiteral("\u00E6"), "DejaVu Serif",
        QStringLiteral("\u239B"));
    row("symbol-charset-other-face", "Euclid Symbol", 2, QStringLiteral("a"), "DejaVu Serif",
        QStringLiteral("\u03B1"));
    row("mt-extra-ellipsis", "MT Extra", 2, QStringLiteral("L"), "DejaVu Sans",
        QStringLiteral("\u22EF"));
    row("mt-extra-diagonal", "MT Extra", 2, QStringLiteral("O"), "DejaVu Sans",
        QStringLiteral("\u22F1"));
    row("mt-extra-lambda-bar", "MT Extra", 2, QStringLiteral("D"), "DejaVu Sans",
        QStringLiteral("\u019B"));
    row("mt-extra-double-struck-r", "MT Extra", 2, QStringLiteral("\uF0A1"), "DejaVu Sans",
        QStringLiteral("\u211D"));
    row("mt-extra-much-less", "MT Extra", 2, QStringLiteral("="), "DejaVu Sans",
        QStringLiteral("\u226A"));
    row("mt-extra-equilibrium", "MT Extra", 2, QStringLiteral("\u0083"), "DejaVu Sans",
        QStringLiteral("\u21CC"));
    row("wingdings-check", "Wingdings", 2, QStringLiteral("\uF0FC"), "DejaVu Sans",
        QStringLiteral("\u2714"));
    row("webdings-check", "Webdings", 2, QStringLiteral("a"), "DejaVu Sans",
        QStringLiteral("\u2714"));
    row("webdings-wheelchair", "Webdings", 2, QStringLiteral("\u00E9"), "DejaVu Sans",
        QStringLiteral("\u267F"));
    // Pictographs of the supplementary planes: compared with the same character where
    // the default face lacks it, which draws it in the one installed font that has it.
    row("wingdings-pencil", "Wingdings", 2, QStringLiteral("!"), "Symbola",
        QString::fromUcs4(U"\U0001F589"));
    row("wingdings-clock", "Wingdings", 2, QStringLiteral("\uF0B7"), "Symbola",
        QString::fromUcs4(U"\U0001F550"));
    row("webdings-spider", "Webdings", 2, QStringLiteral("!"), "Symbola",
        QString::fromUcs4(U"\U0001F577"));
    row("webdings-dove", "Webdings", 2, QStringLiteral("\u00FF"), "Symbola",
        QString::fromUcs4(U"\U0001F54A"));
}

void MetafileRenderTest::symbolFontsDrawTheirUnicodeCharacters() {
    QFETCH(QString, face);
    QFETCH(int, charset);
    QFETCH(QString, codes);
    QFETCH(QString, family);
    QFETCH(QString, unicode);
    if (!QFontDatabase::hasFamily(family))
        QSKIP("the font with this character is not installed");
    const QImage drawn = textImage(face, codes, quint8(charset));
    QVERIFY(inkIn(drawn, drawn.rect()) > 20);
    // The symbol families start with DejaVu Sans: where it lacks the character, the
    // same fallback draws it.
    const QString reference = family == u"Symbola" ? QStringLiteral("DejaVu Sans") : family;
    QCOMPARE(drawn, textImage(reference, unicode));
    QVERIFY(drawn != textImage(reference, codes));
}

void MetafileRenderTest::symbolFontsDrawNothingWithoutAMapping_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("codes");
    // Wingdings 2 numbers other pictures than Wingdings, whose check mark this is.
    QTest::newRow("wingdings-2") << QStringLiteral("Wingdings 2") << QStringLiteral("\u00FC");
    QTest::newRow("wingdings-3") << QStringLiteral("Wingdings 3") << QStringLiteral("\uF0FC");
    // A brace piece of the equation editor's font, private to it.
    QTest::newRow("mt-extra-brace-piece") << QStringLiteral("MT Extra") << QStringLiteral("1");
    QTest::newRow("wingdings-logo") << QStringLiteral("Wingdings") << QStringLiteral("\u00FF");
}

void MetafileRenderTest::symbolFontsDrawNothingWithoutAMapping() {
    QFETCH(QString, face);
    QFETCH(QString, codes);
    QCOMPARE(inkIn(textImage(face, codes, 2), QRect(0, 0, 160, 80)), 0);
}

void MetafileRenderTest::symbolFontAccentsAndPictographsKeepTheirPlaces() {
    // The equation editor draws a hat over a letter as its own text at the letter's
    // place: the hat's ink lies over the letter's, not beside it.
    const QRect letter = inkBox(textImage(QStringLiteral("DejaVu Serif"), QStringLiteral("x")));
    const QRect hat = inkBox(textImage(QStringLiteral("MT Extra"), QStringLiteral("$"), 2));
    QVERIFY(!hat.isEmpty());
    QVERIFY2(hat.bottom() < letter.top() + 4 && hat.center().x() > letter.left() &&
                 hat.center().x() < letter.right(),
             qPrintable(QStringLiteral("hat %1,%2 %3x%4 letter %5,%6 %7x%8")
                            .arg(hat.x())
                            .arg(hat.y())
                            .arg(hat.width())
                            .arg(hat.height())
                            .arg(letter.x())
                            .arg(letter.y())
                            .arg(letter.width())
                            .arg(letter.height())));

    // Each pictograph of the supplementary planes takes two UTF-16 units but one advance
    // of the record's: two spiders 60 units apart land 60 pixels apart.
    if (!QFontDatabase::hasFamily(QStringLiteral("Symbola")))
        QSKIP("Symbola is not installed");
    auto spiders = [](int dx) {
        return renderAtFrame(
            EmfBuilder(200, 80)
                .createFont(1, -40, QStringLiteral("Webdings"), 400, false, false, false, 2)
                .selectObject(1)
                .setBkMode(1)
                .extTextOutW(10, 10, QStringLiteral("!!"), true, dx)
                .finish());
    };
    const QImage two = spiders(60);
    const QRect first = inkBox(two.copy(0, 0, 70, 80)),
                second = inkBox(two.copy(70, 0, 130, 80)).translated(70, 0);
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    QVERIFY2(std::abs(second.left() - first.left() - 60) <= 1,
             qPrintable(QStringLiteral("%1 %2").arg(first.left()).arg(second.left())));
}

void MetafileRenderTest::fontStyleFlagsChangeTheGlyphs() {
    const QString face = QStringLiteral("Times New Roman");
    // Italic leans the stem of an "l" right: its ink near the top lies right of its ink
    // near the bottom.
    auto lean = [](const QImage& img) {
        double top = 0, bottom = 0;
        int nTop = 0, nBottom = 0, firstRow = -1, lastRow = -1;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 128) {
                    firstRow = firstRow < 0 ? y : firstRow;
                    lastRow = y;
                }
        for (int y = firstRow; y <= lastRow; ++y)
            for (int x = 0; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 128) {
                    if (y < firstRow + (lastRow - firstRow) / 4)
                        top += x, ++nTop;
                    else if (y > lastRow - (lastRow - firstRow) / 4)
                        bottom += x, ++nBottom;
                }
        return nTop && nBottom ? top / nTop - bottom / nBottom : 0.0;
    };
    const double upright = lean(textImage(face, QStringLiteral("l")));
    const double italic = lean(textImage(face, QStringLiteral("l"), 0, 400, true));
    QVERIFY2(std::abs(upright) < 1.5 && italic > upright + 2.5,
             qPrintable(QStringLiteral("%1 %2").arg(upright).arg(italic)));
    const QImage plain = textImage(face, QStringLiteral("ab"));
    const int plainInk = inkIn(plain, plain.rect());
    QVERIFY(inkIn(textImage(face, QStringLiteral("ab"), 0, 700), plain.rect()) > plainInk * 5 / 4);
    // Underline adds a line under the baseline, strike-out one through the middle.
    const QImage under = textImage(face, QStringLiteral("ab"), 0, 400, false, true);
    const QImage struck = textImage(face, QStringLiteral("ab"), 0, 400, false, false, true);
    QVERIFY(inkIn(under, plain.rect()) > plainInk + 30);
    QVERIFY(inkIn(struck, plain.rect()) > plainInk + 30);
    QVERIFY(under != struck);
}

void MetafileRenderTest::workBudgetStopsPlaybackAndKeepsDrawing() {
    // A red background, thousands of full-size gradient rectangles (blue to blue), then
    // a green square: far more drawing than a picture of this size needs.
    QByteArray gradient = test::Bytes().i32(0).i32(0).i32(399).i32(299).u32(2).u32(1).u32(0).data();
    gradient += test::Bytes().i32(0).i32(0).u16(0).u16(0).u16(0xff00).u16(0).data();
    gradient += test::Bytes().i32(400).i32(300).u16(0).u16(0).u16(0xff00).u16(0).data();
    gradient += test::Bytes().u32(0).u32(1).data();
    EmfBuilder b = redBrushNoPen(400, 300);
    b.rectangle(QRect(0, 0, 400, 300));
    for (int i = 0; i < 3000; ++i)
        b.record(metafile::emr::GradientFill, gradient);
    b.createBrush(2, 0, kGreen).selectObject(2).rectangle(QRect(0, 0, 100, 100));
    const QByteArray bytes = b.finish();

    QElapsedTimer timer;
    timer.start();
    const QImage img = renderAtFrame(bytes);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(at(img, 50, 50), QColor(0, 0, 255));  // the gradients drawn so far stay
    QCOMPARE(at(img, 300, 200), QColor(0, 0, 255));
    // The same file plays to its end where the budget allows it (a small target).
    metafile::RenderOptions generous;
    generous.workPerPixel = 1e5;
    QCOMPARE(at(metafile::render(bytes, QSize(40, 30), generous), 5, 5), kGreen);
}

void MetafileRenderTest::glyphIndicesDrawnOnlyInTheirOwnFace() {
    constexpr quint32 kGlyphIndex = 0x10;
    auto glyphText = [](const QString& face, const QString& glyphs) {
        return renderAtFrame(EmfBuilder(160, 80)
                                 .createFont(1, -48, face)
                                 .selectObject(1)
                                 .setBkMode(1)
                                 .extTextOutW(20, 10, glyphs, false, 0, kGlyphIndex)
                                 .finish());
    };
    // The glyph indices of "Hi" in a face this machine has draw as "Hi" does.
    const QString face = QStringLiteral("DejaVu Sans");
    QFont font(face);
    font.setPixelSize(48);
    QString indices;
    for (quint32 g : QRawFont::fromFont(font).glyphIndexesForString(QStringLiteral("Hi")))
        indices.append(QChar(char16_t(g)));
    QCOMPARE(indices.size(), 2);
    const QImage drawn = glyphText(face, indices);
    const QImage reference = textImage(face, QStringLiteral("Hi"));
    QVERIFY(inkIn(drawn, drawn.rect()) > 200);
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            differing += std::abs(qGray(drawn.pixel(x, y)) - qGray(reference.pixel(x, y))) > 64;
    QVERIFY2(differing < 20, qPrintable(QString::number(differing)));
    // A face that resolves to another family: its indices would pick wrong glyphs.
    QCOMPARE(inkIn(glyphText(QStringLiteral("No Such Face"), indices), drawn.rect()), 0);
}

QTEST_MAIN(MetafileRenderTest)
#include "metafile_render_test.moc"
