// EMF+ records inside EMF comments: which of the two drawings of a dual file is played,
// and pixels at known places for the objects, transforms, clipping and text.

#include "core/metafile/Metafile.h"
#include "core/metafile/RecordTypes.h"
#include "support/MetafileBuilder.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace pictrove;
using test::Bytes;
using test::EmfBuilder;
using test::inkBox;
using test::inkIn;
using test::renderAtFrame;
using test::WmfBuilder;
namespace plus = metafile::emfplus;

namespace {

const QColor kRed(220, 20, 30), kBlue(20, 40, 200), kGreen(30, 160, 40);
constexpr quint16 kColorBrush = 0x8000;

QByteArray rec(quint16 type, quint16 flags, const QByteArray& data = {}) {
    return EmfBuilder::plusRecord(type, flags, data);
}
QByteArray header() {
    return rec(plus::Header, 1, Bytes().u32(0xDBC01002u).u32(0).u32(96).u32(96).data());
}
QByteArray rectF(QRectF r) {
    return EmfBuilder::plusRectF(r);
}
quint32 argb(QColor c) {
    return c.rgba();
}
QByteArray fillRect(QColor c, QRectF r) {
    return rec(plus::FillRects, kColorBrush, Bytes().u32(argb(c)).u32(1).raw(rectF(r)).data());
}
QByteArray end() {
    return rec(plus::EndOfFile, 0);
}
// A solid brush, pen or font object stored at id.
QByteArray solidBrush(quint8 id, QColor c) {
    return rec(plus::Object, quint16(0x0100 | id),
               Bytes().u32(0xDBC01002u).u32(0).u32(argb(c)).data());
}
QByteArray pen(quint8 id, float width, QColor c) {
    return rec(plus::Object, quint16(0x0200 | id),
               Bytes()
                   .u32(0xDBC01002u)
                   .u32(0)
                   .u32(0)  // no optional data
                   .u32(0)  // world units
                   .f32(width)
                   .u32(0xDBC01002u)
                   .u32(0)
                   .u32(argb(c))
                   .data());
}

// A font object at id: size in the unit (0 world, 2 pixels), the family's name.
QByteArray fontObject(quint8 id, float size, quint32 unit, const QString& family) {
    Bytes font;
    font.u32(0xDBC01002u).f32(size).u32(unit).u32(0).u32(0).u32(quint32(family.size()));
    for (QChar c : family)
        font.u16(c.unicode());
    return rec(plus::Object, quint16(0x0600 | id), font.data());
}

// The EMF records draw a blue rectangle over the whole picture: the fallback.
void fallback(EmfBuilder& b, int w, int h) {
    b.createBrush(1, 0, kBlue)
        .selectObject(1)
        .selectObject(0x80000008u)
        .rectangle(QRect(0, 0, w, h));
}

// A StringFormat object at id: string flags, the alignment of the lines and of the block.
QByteArray stringFormat(quint8 id, quint32 flags, quint32 align, quint32 lineAlign) {
    Bytes f;
    f.u32(0xDBC01002u).u32(flags).u32(0).u32(align).u32(lineAlign).u32(0).u32(0).f32(0);
    f.u32(0).f32(0).f32(0).f32(1).u32(0).u32(0).u32(0);
    return rec(plus::Object, quint16(0x0700 | id), f.data());
}

// An image object at id that is a metafile: kind 2 a placeable WMF, 3 an EMF.
QByteArray metafileImage(quint8 id, quint32 kind, const QByteArray& bytes) {
    return rec(
        plus::Object, quint16(0x0500 | id),
        Bytes().u32(0xDBC01002u).u32(2).u32(kind).u32(quint32(bytes.size())).raw(bytes).data());
}

// DrawImage of image id, the source rectangle (pixels) onto the destination.
QByteArray drawImage(quint8 id, QRectF src, QRectF dst) {
    return rec(plus::DrawImage, id,
               Bytes().u32(0xFFFFFFFFu).u32(2).raw(rectF(src)).raw(rectF(dst)).data());
}

// An EMF of EMF+ records alone (no dual flag): they are the picture.
QByteArray plusOnly(int w, int h, const QByteArray& records) {
    EmfBuilder b(w, h);
    b.emfPlus(rec(plus::Header, 0, Bytes().u32(0xDBC01002u).u32(0).u32(96).u32(96).data()) +
              records + end());
    return b.finish();
}

}  // namespace

class MetafileEmfPlusTest : public QObject {
    Q_OBJECT
  private slots:
    void completeRecordsReplaceTheFallback();
    void incompleteRecordsLeaveTheFallback();
    void getDcHandsDrawingToEmfRecords();
    void pathsPensAndTransforms();
    void clipAndSavedState();
    void stringsAreDrawn();
    void damagedObjectsAreIgnored();
    void textUnderAStretchingTransform();
    void stringFormatPlacesTheText_data();
    void stringFormatPlacesTheText();
    void curvesAreCardinalSplines();
    void containersMapAndNestTransforms();
    void metafileImagesArePlayedInside();
};

void MetafileEmfPlusTest::completeRecordsReplaceTheFallback() {
    EmfBuilder b(80, 60);
    b.emfPlus(header() + fillRect(kRed, QRectF(10, 10, 30, 20)));
    fallback(b, 80, 60);
    b.emfPlus(rec(plus::FillEllipse, kColorBrush,
                  Bytes().u32(argb(kGreen)).raw(rectF({50, 30, 20, 20})).data()) +
              end());
    const QImage img = renderAtFrame(b.finish());
    QCOMPARE(img.pixelColor(20, 20), kRed);
    QCOMPARE(img.pixelColor(60, 40), kGreen);
    QCOMPARE(img.pixelColor(5, 50), QColor(Qt::white));  // the EMF fallback is not drawn
}

void MetafileEmfPlusTest::incompleteRecordsLeaveTheFallback() {
    // No end-of-file record: the EMF+ drawing may be cut short, the EMF one is whole.
    EmfBuilder cut(80, 60);
    cut.emfPlus(header() + fillRect(kRed, QRectF(10, 10, 30, 20)));
    fallback(cut, 80, 60);
    QCOMPARE(renderAtFrame(cut.finish()).pixelColor(20, 20), kBlue);
    // A record of a kind we do not play (an image effect) counts as incomplete too.
    EmfBuilder unknown(80, 60);
    unknown.emfPlus(header() + fillRect(kRed, QRectF(10, 10, 30, 20)) +
                    rec(0x4038, 0, Bytes().u32(0).f32(0).u32(0).data()) + end());
    fallback(unknown, 80, 60);
    QCOMPARE(renderAtFrame(unknown.finish()).pixelColor(20, 20), kBlue);
    // A file of EMF+ records only (no dual flag) has no other drawing: played as far as
    // it goes, the record it does not know skipped.
    EmfBuilder only(80, 60);
    only.emfPlus(rec(plus::Header, 0, Bytes().u32(0xDBC01002u).u32(0).u32(96).u32(96).data()) +
                 rec(0x4038, 0, Bytes().u32(0).f32(0).u32(0).data()) +
                 fillRect(kRed, QRectF(10, 10, 30, 20)));
    QCOMPARE(renderAtFrame(only.finish()).pixelColor(20, 20), kRed);
}

void MetafileEmfPlusTest::getDcHandsDrawingToEmfRecords() {
    EmfBuilder b(80, 60);
    b.emfPlus(header() + fillRect(kRed, QRectF(0, 0, 40, 60)) + rec(plus::GetDc, 0));
    b.createBrush(1, 0, kGreen)
        .selectObject(1)
        .selectObject(0x80000008u)
        .rectangle(QRect(40, 0, 40, 60));
    b.emfPlus(fillRect(kRed, QRectF(60, 40, 20, 20)));
    b.createBrush(2, 0, kBlue).selectObject(2).rectangle(QRect(0, 0, 80, 60));  // fallback again
    b.emfPlus(end());
    const QImage img = renderAtFrame(b.finish());
    QCOMPARE(img.pixelColor(20, 30), kRed);
    QCOMPARE(img.pixelColor(50, 20), kGreen);
    QCOMPARE(img.pixelColor(70, 50), kRed);
}

void MetafileEmfPlusTest::pathsPensAndTransforms() {
    // A path object (a triangle) filled with a brush object, moved by the world
    // transform; a 4-unit pen line under a page scale of 2.
    const QByteArray path = Bytes()
                                .u32(0xDBC01002u)
                                .u32(3)
                                .u32(0)
                                .f32(0)
                                .f32(0)
                                .f32(40)
                                .f32(0)
                                .f32(0)
                                .f32(40)
                                .u8(0)
                                .u8(1)
                                .u8(0x81)
                                .u8(0)
                                .data();
    EmfBuilder b(100, 100);
    b.emfPlus(header() + solidBrush(1, kGreen) + rec(plus::Object, 0x0302, path) +
              rec(plus::TranslateWorldTransform, 0, Bytes().f32(50).f32(10).data()) +
              rec(plus::FillPath, 2, Bytes().u32(1).data()) + rec(plus::ResetWorldTransform, 0) +
              rec(plus::SetPageTransform, 2, Bytes().f32(2).data()) +  // pixels, scale 2
              pen(3, 4, kRed) +
              rec(plus::DrawLines, 3, Bytes().u32(2).f32(5).f32(40).f32(45).f32(40).data()) +
              end());
    const QImage img = renderAtFrame(b.finish());
    QCOMPARE(img.pixelColor(60, 20), kGreen);
    QCOMPARE(img.pixelColor(85, 45), QColor(Qt::white));  // outside the triangle's hypotenuse
    QCOMPARE(img.pixelColor(50, 80), kRed);               // the line at y 40 scaled by 2
    QCOMPARE(img.pixelColor(50, 85), QColor(Qt::white));  // 8 px wide: 76 to 84
    QCOMPARE(img.pixelColor(5, 80), QColor(Qt::white));   // starts at x 10
}

void MetafileEmfPlusTest::clipAndSavedState() {
    EmfBuilder b(100, 100);
    b.emfPlus(header() + rec(plus::Save, 0, Bytes().u32(7).data()) +
              rec(plus::SetClipRect, 0x0000, rectF({0, 0, 50, 100})) +
              rec(plus::ScaleWorldTransform, 0, Bytes().f32(2).f32(2).data()) +
              fillRect(kRed, QRectF(0, 0, 50, 50)) + rec(plus::Restore, 0, Bytes().u32(7).data()) +
              fillRect(kBlue, QRectF(0, 90, 100, 10)) + end());
    const QImage img = renderAtFrame(b.finish());
    QCOMPARE(img.pixelColor(25, 60), kRed);               // scaled by 2, inside the clip
    QCOMPARE(img.pixelColor(75, 20), QColor(Qt::white));  // outside the clip
    QCOMPARE(img.pixelColor(75, 95), kBlue);              // after Restore: no clip, no scale
}

void MetafileEmfPlusTest::stringsAreDrawn() {
    Bytes draw;
    draw.u32(argb(Qt::black)).u32(0xFFFFFFFFu).u32(2).raw(rectF({10, 10, 100, 40}));
    draw.u16(u'H').u16(u'i');
    EmfBuilder b(160, 60);
    b.emfPlus(header() + fontObject(5, 30, 2, QStringLiteral("DejaVu Sans")) +
              rec(plus::DrawString, quint16(kColorBrush | 5), draw.data()) + end());
    const QImage img = renderAtFrame(b.finish());
    QVERIFY(inkIn(img, QRect(10, 10, 60, 40)) > 60);
    QCOMPARE(inkIn(img, QRect(80, 0, 80, 60)), 0);

    // A dingbat font's code draws the character it stands for, here a check mark.
    auto check = [](const QString& family, char16_t c) {
        Bytes d;
        d.u32(argb(Qt::black)).u32(0xFFFFFFFFu).u32(1).raw(rectF({10, 10, 100, 40})).u16(c);
        EmfBuilder emf(160, 60);
        emf.emfPlus(header() + fontObject(5, 30, 2, family) +
                    rec(plus::DrawString, quint16(kColorBrush | 5), d.data()) + end());
        return renderAtFrame(emf.finish());
    };
    const QImage dingbat = check(QStringLiteral("Wingdings"), 0xF0FC);
    QVERIFY(inkIn(dingbat, dingbat.rect()) > 20);
    QCOMPARE(dingbat, check(QStringLiteral("DejaVu Sans"), 0x2714));
}

void MetafileEmfPlusTest::damagedObjectsAreIgnored() {
    // Counts larger than the records: objects left out, drawing with them skipped, the
    // picture still played.
    const QByteArray lyingPath = Bytes().u32(0xDBC01002u).u32(100000).u32(0).f32(0).data();
    EmfBuilder b(60, 40);
    b.emfPlus(
        header() + rec(plus::Object, 0x0301, lyingPath) +
        rec(plus::FillPath, 1, Bytes().u32(argb(kBlue)).data()) +
        rec(plus::Object, 0x0602, Bytes().u32(0).f32(10).u32(2).u32(0).u32(0).u32(5000).data()) +
        fillRect(kRed, QRectF(0, 0, 60, 40)) + end());
    const QImage img = renderAtFrame(b.finish());
    QCOMPARE(img.pixelColor(30, 20), kRed);
}

void MetafileEmfPlusTest::textUnderAStretchingTransform() {
    // A world transform that stretches x a million times and squeezes y as much: glyphs
    // are never handed to the font engine stretched like that (it cannot draw them).
    Bytes driver;
    driver.u32(argb(Qt::black)).u32(1).u32(0).u32(2).u16(u'A').u16(u'B');
    driver.f32(0).f32(20000).f32(0.00001f).f32(20000);
    EmfBuilder b(100, 60);
    b.emfPlus(header() + fontObject(1, 20, 0, QStringLiteral("DejaVu Sans")) +
              rec(plus::SetWorldTransform, 0,
                  Bytes().f32(1e6f).f32(0).f32(0).f32(1e-6f).f32(10).f32(30).data()) +
              rec(plus::DrawDriverString, quint16(kColorBrush | 1), driver.data()) +
              fillRect(kRed, QRectF(0, 0, 1e-6, 1e6)) + end());
    const QImage img = renderAtFrame(b.finish());
    QVERIFY(!img.isNull());
}

void MetafileEmfPlusTest::stringFormatPlacesTheText_data() {
    QTest::addColumn<quint32>("align");
    QTest::addColumn<quint32>("lineAlign");
    QTest::addColumn<QPoint>("centre");  // of the ink, within a few pixels
    QTest::newRow("near-near") << 0u << 0u << QPoint(20, 20);
    QTest::newRow("centre-centre") << 1u << 1u << QPoint(100, 50);
    QTest::newRow("far-far") << 2u << 2u << QPoint(180, 80);
    QTest::newRow("far-near") << 2u << 0u << QPoint(180, 20);
}

void MetafileEmfPlusTest::stringFormatPlacesTheText() {
    QFETCH(quint32, align);
    QFETCH(quint32, lineAlign);
    QFETCH(QPoint, centre);
    // "HH" of about 40 x 30 pixels in a layout rectangle of 200 x 100.
    Bytes draw;
    draw.u32(argb(Qt::black)).u32(3).u32(2).raw(rectF({0, 0, 200, 100})).u16(u'H').u16(u'H');
    const QImage img = renderAtFrame(plusOnly(
        200, 100,
        fontObject(5, 30, 2, QStringLiteral("DejaVu Sans")) + stringFormat(3, 0, align, lineAlign) +
            rec(plus::DrawString, quint16(kColorBrush | 5), draw.data())));
    const QRect box = inkBox(img);
    QVERIFY(!box.isEmpty());
    QVERIFY2((box.center() - centre).manhattanLength() < 16 + 12,
             qPrintable(QStringLiteral("%1,%2").arg(box.center().x()).arg(box.center().y())));

    // Words wrap within the rectangle's width unless the format says no: then the one
    // line runs past it (not clipped, by the format's other flag).
    auto words = [](quint32 flags) {
        Bytes d;
        d.u32(argb(Qt::black)).u32(3).u32(5).raw(rectF({10, 0, 40, 100}));
        for (QChar c : QStringLiteral("WW WW"))
            d.u16(c.unicode());
        return inkBox(renderAtFrame(plusOnly(
            200, 100,
            fontObject(5, 20, 2, QStringLiteral("DejaVu Sans")) + stringFormat(3, flags, 0, 0) +
                rec(plus::DrawString, quint16(kColorBrush | 5), d.data()))));
    };
    const QRect wrapped = words(0), oneLine = words(0x1000 | 0x4000);
    QVERIFY2(wrapped.height() > 30 && wrapped.right() < 52,
             qPrintable(QStringLiteral("%1x%2").arg(wrapped.width()).arg(wrapped.height())));
    QVERIFY2(oneLine.height() < 25 && oneLine.right() > 60,
             qPrintable(QStringLiteral("%1x%2").arg(oneLine.width()).arg(oneLine.height())));
}

void MetafileEmfPlusTest::curvesAreCardinalSplines() {
    // Through (10,50), (50,10), (90,50): with tension 0.5 the curve crosses the pixel
    // column 28 at about y 26.5, straight lines (tension 0) at y 31.5.
    auto curve = [](float tension, quint32 first, quint32 segments) {
        Bytes d;
        d.f32(tension).u32(first).u32(segments).u32(3);
        d.f32(10).f32(50).f32(50).f32(10).f32(90).f32(50);
        return renderAtFrame(
            plusOnly(100, 60, pen(1, 2, kRed) + rec(plus::DrawCurve, 1, d.data())));
    };
    auto inkRow = [](const QImage& img, int x) {
        double sum = 0;
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            if (qGray(img.pixel(x, y)) < 160)
                sum += y, ++n;
        return n ? sum / n : -1.0;
    };
    const double smooth = inkRow(curve(0.5f, 0, 2), 28), straight = inkRow(curve(0, 0, 2), 28);
    QVERIFY2(std::abs(smooth - 26.5) < 1 && std::abs(straight - 31.5) < 1,
             qPrintable(QStringLiteral("%1 %2").arg(smooth).arg(straight)));
    // The second segment alone; segments past the points are damage (nothing drawn).
    QVERIFY(inkIn(curve(0.5f, 1, 1), QRect(0, 0, 45, 60)) == 0);
    QVERIFY(inkIn(curve(0.5f, 1, 1), QRect(55, 0, 45, 60)) > 20);
    QCOMPARE(inkIn(curve(0.5f, 1, 2), QRect(0, 0, 100, 60)), 0);

    // A closed curve through the corners of a triangle bulges past its edges: above
    // the top edge at y 20, to about y 12.5.
    auto closed = [](float tension) {
        Bytes d;
        d.u32(argb(kBlue)).f32(tension).u32(3).f32(20).f32(20).f32(80).f32(20).f32(50).f32(80);
        return renderAtFrame(plusOnly(100, 100, rec(plus::FillClosedCurve, kColorBrush, d.data())));
    };
    QCOMPARE(closed(0.5f).pixelColor(50, 16), kBlue);
    QCOMPARE(closed(0.5f).pixelColor(50, 40), kBlue);
    QCOMPARE(closed(0).pixelColor(50, 16), QColor(Qt::white));
}

void MetafileEmfPlusTest::containersMapAndNestTransforms() {
    // BeginContainer maps its source rectangle (0,0 100x100) onto the destination
    // (50,0 50x50 pixels); a world transform set inside acts within the container.
    const QImage img = renderAtFrame(
        plusOnly(100, 100,
                 rec(plus::BeginContainer, 2,
                     rectF({50, 0, 50, 50}) + rectF({0, 0, 100, 100}) + Bytes().u32(1).data()) +
                     fillRect(kRed, QRectF(0, 0, 100, 100)) +
                     rec(plus::SetWorldTransform, 0,
                         Bytes().f32(1).f32(0).f32(0).f32(1).f32(0).f32(100).data()) +
                     fillRect(kGreen, QRectF(0, 0, 100, 100)) +
                     rec(plus::EndContainer, 0, Bytes().u32(1).data()) +
                     fillRect(kBlue, QRectF(0, 90, 10, 10))));
    QCOMPARE(img.pixelColor(75, 25), kRed);
    QCOMPARE(img.pixelColor(75, 75), kGreen);
    QCOMPARE(img.pixelColor(25, 25), QColor(Qt::white));
    QCOMPARE(img.pixelColor(5, 95), kBlue);  // after EndContainer: the page again
    // Inside a container without parameters too, the outer scale stays under a world
    // transform set within.
    const QImage nested =
        renderAtFrame(plusOnly(100, 100,
                               rec(plus::ScaleWorldTransform, 0, Bytes().f32(2).f32(2).data()) +
                                   rec(plus::BeginContainerNoParams, 0, Bytes().u32(2).data()) +
                                   rec(plus::SetWorldTransform, 0,
                                       Bytes().f32(1).f32(0).f32(0).f32(1).f32(10).f32(0).data()) +
                                   fillRect(kRed, QRectF(0, 0, 5, 5)) +
                                   rec(plus::EndContainer, 0, Bytes().u32(2).data())));
    QCOMPARE(nested.pixelColor(25, 5), kRed);
    QCOMPARE(nested.pixelColor(12, 2), QColor(Qt::white));
}

void MetafileEmfPlusTest::metafileImagesArePlayedInside() {
    // An EMF of 40 x 40 pixels, red on its left half, drawn at 10,10 twice its size.
    const QByteArray emf = EmfBuilder(40, 40)
                               .createBrush(1, 0, kRed)
                               .selectObject(1)
                               .selectObject(0x80000008u)
                               .rectangle(QRect(0, 0, 20, 40))
                               .finish();
    const QImage img =
        renderAtFrame(plusOnly(100, 100,
                               metafileImage(4, 3, emf) + fillRect(kBlue, QRectF(0, 0, 100, 100)) +
                                   drawImage(4, QRectF(0, 0, 40, 40), QRectF(10, 10, 80, 80))));
    QCOMPARE(img.pixelColor(30, 50), kRed);
    QCOMPARE(img.pixelColor(70, 50), kBlue);  // the metafile's white is no paint
    QCOMPARE(img.pixelColor(5, 50), kBlue);
    // A placeable WMF, its right half as the source.
    const QByteArray wmf = WmfBuilder(QRect(0, 0, 40, 40), 96)
                               .createBrush(0, kGreen)
                               .selectObject(0)
                               .rectangle(QRect(20, 0, 20, 40))
                               .finish();
    const QImage half = renderAtFrame(plusOnly(
        100, 100,
        metafileImage(4, 2, wmf) + drawImage(4, QRectF(20, 0, 20, 40), QRectF(0, 0, 50, 100))));
    QCOMPARE(half.pixelColor(25, 50), kGreen);
    QCOMPARE(half.pixelColor(75, 50), QColor(Qt::white));

    // Metafiles inside metafiles: two levels deep are drawn, a third is not.
    auto chain = [&](int depth) {
        QByteArray inner = EmfBuilder(40, 40)
                               .createBrush(1, 0, kRed)
                               .selectObject(1)
                               .rectangle(QRect(0, 0, 40, 40))
                               .finish();
        for (int i = 0; i < depth; ++i)
            inner = plusOnly(40, 40,
                             metafileImage(1, 3, inner) +
                                 drawImage(1, QRectF(0, 0, 40, 40), QRectF(0, 0, 40, 40)));
        return renderAtFrame(inner).pixelColor(20, 20);
    };
    QCOMPARE(chain(2), kRed);
    QCOMPARE(chain(3), QColor(Qt::white));

    // Their playback spends the outer one's budget: a metafile of thousands of
    // full-size gradients drawn two hundred times stops in time.
    QByteArray gradient = Bytes().i32(0).i32(0).i32(199).i32(149).u32(2).u32(1).u32(0).data();
    gradient += Bytes().i32(0).i32(0).u16(0).u16(0).u16(0xff00).u16(0).data();
    gradient += Bytes().i32(200).i32(150).u16(0).u16(0).u16(0xff00).u16(0).data();
    gradient += Bytes().u32(0).u32(1).data();
    EmfBuilder heavy(200, 150);
    for (int i = 0; i < 3000; ++i)
        heavy.record(metafile::emr::GradientFill, gradient);
    QByteArray draws = metafileImage(1, 3, heavy.finish());
    for (int i = 0; i < 200; ++i)
        draws += drawImage(1, QRectF(0, 0, 200, 150), QRectF(0, 0, 200, 150));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(renderAtFrame(plusOnly(200, 150, draws)).pixelColor(100, 75), QColor(0, 0, 255));
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_MAIN(MetafileEmfPlusTest)
#include "metafile_emfplus_test.moc"
