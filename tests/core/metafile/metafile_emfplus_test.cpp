// EMF+ records inside EMF comments: which of the two drawings of a dual file is played,
// and pixels at known places for the objects, transforms, clipping and text.

#include "core/metafile/Metafile.h"
#include "core/metafile/RecordTypes.h"
#include "support/MetafileBuilder.h"

#include <QtTest>

using namespace pictrove;
using test::Bytes;
using test::EmfBuilder;
using test::inkIn;
using test::renderAtFrame;
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
    return Bytes()
        .f32(float(r.x()))
        .f32(float(r.y()))
        .f32(float(r.width()))
        .f32(float(r.height()))
        .data();
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
    // A record of a kind we do not play (a closed curve) counts as incomplete too.
    EmfBuilder unknown(80, 60);
    unknown.emfPlus(header() + fillRect(kRed, QRectF(10, 10, 30, 20)) +
                    rec(0x4016, kColorBrush, Bytes().u32(0).f32(0).u32(0).data()) + end());
    fallback(unknown, 80, 60);
    QCOMPARE(renderAtFrame(unknown.finish()).pixelColor(20, 20), kBlue);
    // A file of EMF+ records only (no dual flag) has no other drawing: played as far as
    // it goes, the record it does not know skipped.
    EmfBuilder only(80, 60);
    only.emfPlus(rec(plus::Header, 0, Bytes().u32(0xDBC01002u).u32(0).u32(96).u32(96).data()) +
                 rec(0x4016, kColorBrush, Bytes().u32(0).f32(0).u32(0).data()) +
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

QTEST_MAIN(MetafileEmfPlusTest)
#include "metafile_emfplus_test.moc"
