// Damaged metafiles: every truncation, lying sizes and counts, bad object indices and
// bitmaps that claim to be huge must render without crashing, keeping what was drawn
// before the damage.

#include "core/metafile/Metafile.h"
#include "core/metafile/RecordTypes.h"
#include "support/MetafileBuilder.h"
#include "support/TestUtils.h"

#include <QtTest>

using namespace pictrove;
using test::Bytes;
using test::EmfBuilder;
using test::WmfBuilder;
namespace emr = metafile::emr;
namespace meta = metafile::meta;
namespace plus = metafile::emfplus;

namespace {

const QColor kRed(220, 20, 30), kBlue(20, 40, 200);

QImage quadrants() {
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::green);
    img.setPixel(0, 0, qRgb(255, 0, 0));
    return img;
}

// EMF+ records in the comments of an EMF with no drawing of its own (not dual: the
// EMF+ records are all there is, played as far as they go): a header, a red
// square first, then an ellipse, a pen and lines, a transform and the end.
QByteArray emfPlusSample() {
    constexpr quint16 kColor = 0x8000;  // the brush field is a colour
    auto rec = EmfBuilder::plusRecord;
    auto plusRectF = EmfBuilder::plusRectF;
    EmfBuilder b(48, 48);
    b.emfPlus(rec(plus::Header, 0, Bytes().u32(0xDBC01002u).u32(0).u32(96).u32(96).data()) +
              rec(plus::FillRects, kColor,
                  Bytes().u32(kRed.rgba()).u32(1).raw(plusRectF(QRectF(0, 0, 16, 16))).data()));
    b.emfPlus(rec(plus::FillEllipse, kColor,
                  Bytes().u32(kBlue.rgba()).raw(plusRectF(QRectF(20, 20, 20, 20))).data()));
    b.emfPlus(rec(plus::Object, 0x0200,
                  Bytes()
                      .u32(0xDBC01002u)
                      .u32(0)
                      .u32(0)
                      .u32(0)
                      .f32(2)
                      .u32(0xDBC01002u)
                      .u32(0)
                      .u32(kBlue.rgba())
                      .data()) +
              rec(plus::DrawLines, 0,
                  Bytes().u32(3).f32(0).f32(40).f32(40).f32(40).f32(40).f32(0).data()));
    b.emfPlus(
        rec(plus::SetWorldTransform, 0, Bytes().f32(1).f32(0).f32(0).f32(1).f32(4).f32(4).data()) +
        rec(plus::FillRects, kColor,
            Bytes().u32(kBlue.rgba()).u32(1).raw(plusRectF(QRectF(30, 0, 8, 8))).data()) +
        rec(plus::EndOfFile, 0, {}));
    return b.finish();
}

// A sample touching most record kinds: objects, clip, path, text, bitmap, region.
EmfBuilder emfSample() {
    EmfBuilder b(48, 48);
    b.createBrush(1, 0, kRed).selectObject(1).selectObject(0x80000008u);
    b.rectangle(QRect(0, 0, 16, 16));
    b.saveDc().intersectClipRect(QRect(0, 0, 40, 40));
    b.createPen(2, 1, 3, kBlue).selectObject(2).polyline16({{0, 0}, {40, 40}, {0, 40}});
    b.beginPath().polygon16({{20, 20}, {40, 20}, {30, 40}}).endPath().fillPath();
    b.createFont(3, -12, QStringLiteral("Arial"))
        .selectObject(3)
        .extTextOutW(2, 30, QStringLiteral("Ab"), true, 8);
    b.stretchDiBits(QRect(30, 2, 12, 12), test::packedDib(quadrants(), 8));
    b.extSelectClipRgn(1, {QRect(0, 0, 48, 24)}).restoreDc(-1).deleteObject(2);
    return b;
}

WmfBuilder wmfSample() {
    WmfBuilder b(QRect(0, 0, 48, 48), 96);
    b.setWindowExt(48, 48)
        .createBrush(0, kRed)
        .selectObject(0)
        .createPen(5, 0, QColor())
        .selectObject(1);
    b.rectangle(QRect(0, 0, 16, 16));
    b.saveDc().intersectClipRect(QRect(0, 0, 40, 40)).polygon({{20, 20}, {40, 20}, {30, 40}});
    b.createFont(-12, "Arial").selectObject(2).extTextOut(2, 30, "Ab", {8, 8});
    b.stretchDib(QRect(30, 2, 12, 12), test::packedDib(quadrants(), 8)).restoreDc(-1);
    b.ellipse(QRect(20, 0, 20, 20));
    return b;
}

// A copy of exactly n bytes, so that reading past its end trips the sanitizers.
// Renders the first n bytes of bytes with nothing behind them.
QImage renderPrefix(const QByteArray& bytes, qsizetype n, QSize size = QSize(48, 48)) {
    const test::ExactBytes exact(QByteArrayView(bytes).first(n));
    return metafile::render(exact.bytes(), size);
}

}  // namespace

class MetafileDamageTest : public QObject {
    Q_OBJECT
  private slots:
    void truncatedAtEveryByteRendersWithoutCrash_data();
    void truncatedAtEveryByteRendersWithoutCrash();
    void truncatedAtRecordBoundaryDrawsThePrefix_data();
    void truncatedAtRecordBoundaryDrawsThePrefix();
    void lyingRecordsKeepWhatCameBefore_data();
    void lyingRecordsKeepWhatCameBefore();
    void clipPathAtAstronomicalCoordinatesStaysCheap();
};

void MetafileDamageTest::truncatedAtEveryByteRendersWithoutCrash_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("emf") << emfSample().finish();
    QTest::newRow("wmf") << wmfSample().finish();
    QTest::newRow("emf+") << emfPlusSample();
}

void MetafileDamageTest::truncatedAtEveryByteRendersWithoutCrash() {
    QFETCH(QByteArray, bytes);
    const QImage full = metafile::render(bytes, QSize(48, 48));
    QVERIFY(!full.isNull());
    for (qsizetype n = 0; n <= bytes.size(); ++n) {
        const QImage img = renderPrefix(bytes, n);
        // Once the header is there, what came before the cut is drawn.
        if (!img.isNull() && n > bytes.size() / 2)
            QVERIFY2(img.pixelColor(12, 3) == kRed, qPrintable(QStringLiteral("cut at %1").arg(n)));
    }
}

void MetafileDamageTest::truncatedAtRecordBoundaryDrawsThePrefix_data() {
    QTest::addColumn<bool>("emf");
    QTest::newRow("emf") << true;
    QTest::newRow("wmf") << false;
}

void MetafileDamageTest::truncatedAtRecordBoundaryDrawsThePrefix() {
    QFETCH(bool, emf);
    const QByteArray bytes = emf ? emfSample().finish() : wmfSample().finish();
    const std::vector<qsizetype> offsets =
        emf ? emfSample().recordOffsets() : wmfSample().recordOffsets();
    // Cutting the file where record k starts must draw exactly what the first k
    // records draw when the file ends properly there.
    for (size_t k = 1; k < offsets.size(); ++k) {
        const test::ExactBytes exactCut(QByteArrayView(bytes).first(offsets[k]));
        const QByteArray cut = exactCut.bytes();
        QByteArray ended = cut;
        ended.append(emf ? Bytes().u32(14).u32(20).u32(0).u32(16).u32(20).data()
                         : Bytes().u32(3).u16(0).data());
        const QImage a = metafile::render(cut, QSize(48, 48));
        const QImage b = metafile::render(ended, QSize(48, 48));
        QVERIFY2(!a.isNull(), qPrintable(QString::number(k)));
        QVERIFY2(a == b, qPrintable(QStringLiteral("prefix of %1 records").arg(k)));
    }
}

void MetafileDamageTest::lyingRecordsKeepWhatCameBefore_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("drawsAfter");  // damage that is skipped, not fatal

    auto emf = [] {
        EmfBuilder b(48, 48);
        b.createBrush(1, 0, kRed)
            .selectObject(1)
            .selectObject(0x80000008u)
            .rectangle(QRect(0, 0, 16, 16));
        return b;
    };
    auto emfThenBlue = [](EmfBuilder b) {
        return b.createBrush(2, 0, kBlue).selectObject(2).rectangle(QRect(32, 32, 16, 16)).finish();
    };
    auto hugeDib = [](qint32 w, qint32 h, quint16 bpp) {
        return Bytes()
            .u32(40)
            .i32(w)
            .i32(h)
            .u16(1)
            .u16(bpp)
            .u32(0)
            .u32(0)
            .u32(0)
            .u32(0)
            .u32(0)
            .u32(0)
            .raw(QByteArray(64, '\x11'))
            .data();
    };
    auto stretchRaw = [](const QByteArray& dib, quint32 cbBmi) {
        Bytes b;
        b.i32(0).i32(0).i32(10).i32(10).i32(0).i32(0).i32(0).i32(0).i32(4).i32(4);
        b.u32(80).u32(cbBmi).u32(80 + cbBmi).u32(quint32(dib.size()) - cbBmi);
        b.u32(0).u32(0x00CC0020).i32(10).i32(10).raw(dib);
        return b.data();
    };

    QTest::newRow("emf-record-size-zero") << emf().record(emr::Rectangle, {}).finish() << false;
    {
        QByteArray b = emf().rectangle(QRect(32, 32, 16, 16)).finish();
        // The second rectangle claims to run far past the end of the file.
        const qsizetype at = emf().recordOffsets().back();
        b[at + 4] = '\xff';
        b[at + 5] = '\xff';
        QTest::newRow("emf-record-longer-than-file") << b << false;
    }
    QTest::newRow("emf-polygon-count-lies")
        << emf()
               .record(emr::Polygon16,
                       Bytes().i32(0).i32(0).i32(0).i32(0).u32(0x40000000).i16(1).i16(1).data())
               .finish()
        << false;
    QTest::newRow("emf-polypolygon-counts-exceed-total")
        << emf()
               .record(emr::PolyPolygon16, Bytes()
                                               .i32(0)
                                               .i32(0)
                                               .i32(0)
                                               .i32(0)
                                               .u32(2)
                                               .u32(3)
                                               .u32(3)
                                               .u32(0x7fffffff)
                                               .i16(0)
                                               .i16(0)
                                               .i16(5)
                                               .i16(5)
                                               .i16(0)
                                               .i16(5)
                                               .data())
               .finish()
        << false;
    QTest::newRow("emf-text-length-lies") << emf()
                                                 .record(emr::ExtTextOutW, Bytes()
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .u32(1)
                                                                               .f32(1)
                                                                               .f32(1)
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .u32(0x10000000)
                                                                               .u32(76)
                                                                               .u32(0)
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .i32(0)
                                                                               .u32(0)
                                                                               .data())
                                                 .finish()
                                          << false;
    QTest::newRow("emf-dib-offsets-outside-record")
        << emfThenBlue(emf().record(emr::StretchDiBits, Bytes()
                                                            .i32(0)
                                                            .i32(0)
                                                            .i32(9)
                                                            .i32(9)
                                                            .i32(0)
                                                            .i32(0)
                                                            .i32(0)
                                                            .i32(0)
                                                            .i32(4)
                                                            .i32(4)
                                                            .u32(0x7ffffff0)
                                                            .u32(40)
                                                            .u32(8)
                                                            .u32(0xfffffff0)
                                                            .u32(0)
                                                            .u32(0x00CC0020)
                                                            .i32(9)
                                                            .i32(9)
                                                            .data()))
        << true;
    QTest::newRow("emf-dib-huge-dimensions")
        << emfThenBlue(
               emf().record(emr::StretchDiBits, stretchRaw(hugeDib(1 << 20, 1 << 20, 32), 40)))
        << true;
    QTest::newRow("emf-dib-negative-width")
        << emfThenBlue(emf().record(emr::StretchDiBits, stretchRaw(hugeDib(-5, 4, 24), 40)))
        << true;
    QTest::newRow("emf-dib-bad-bpp")
        << emfThenBlue(emf().record(emr::StretchDiBits, stretchRaw(hugeDib(4, 4, 7), 40))) << true;
    QTest::newRow("emf-rle8-claims-big-bitmap")
        << emfThenBlue(emf().record(emr::StretchDiBits,
                                    stretchRaw(Bytes()
                                                   .u32(40)
                                                   .i32(30000)
                                                   .i32(30000)
                                                   .u16(1)
                                                   .u16(8)
                                                   .u32(1)
                                                   .u32(0)
                                                   .u32(0)
                                                   .u32(0)
                                                   .u32(0)
                                                   .u32(0)
                                                   .raw(QByteArray(1024, '\0'))
                                                   .raw(QByteArray("\xff\x01\x00\x02\xff\xff", 6))
                                                   .data(),
                                               1064)))
        << true;
    QTest::newRow("emf-object-index-out-of-range")
        << emfThenBlue(emf()
                           .selectObject(0x7fffffff)
                           .deleteObject(123456)
                           .createBrush(0xffffff, 0, Qt::green)
                           .selectObject(0xffffff))
        << true;
    QTest::newRow("emf-region-count-lies")
        << emf()
               .record(emr::ExtSelectClipRgn, Bytes()
                                                  .u32(48)
                                                  .u32(5)
                                                  .u32(32)
                                                  .u32(1)
                                                  .u32(0x01000000)
                                                  .u32(16)
                                                  .i32(0)
                                                  .i32(0)
                                                  .i32(9)
                                                  .i32(9)
                                                  .i32(0)
                                                  .i32(0)
                                                  .i32(9)
                                                  .i32(9)
                                                  .data())
               .finish()
        << false;
    {
        EmfBuilder b = emf();
        for (int i = 0; i < 6000; ++i)
            b.saveDc();
        b.restoreDc(-100000).restoreDc(1);
        QTest::newRow("emf-save-stack-deep") << emfThenBlue(b) << true;
    }
    QTest::newRow("emf-unknown-and-nan-transform")
        << emfThenBlue(emf()
                           .record(200, QByteArray(40, 'x'))
                           .record(emr::SetWorldTransform,
                                   Bytes().f32(NAN).f32(0).f32(0).f32(1e38f).f32(0).f32(0).data()))
        << true;

    auto wmf = [] {
        WmfBuilder b(QRect(0, 0, 48, 48), 96);
        b.setWindowExt(48, 48)
            .createBrush(0, kRed)
            .selectObject(0)
            .createPen(5, 0, QColor())
            .selectObject(1);
        b.rectangle(QRect(0, 0, 16, 16));
        return b;
    };
    auto wmfThenBlue = [](WmfBuilder b, quint16 slot = 2) {
        return b.createBrush(0, kBlue).selectObject(slot).rectangle(QRect(32, 32, 16, 16)).finish();
    };
    QTest::newRow("wmf-polygon-count-lies")
        << wmf().record(meta::Polygon, {qint16(-1), 1, 1}).finish() << false;
    QTest::newRow("wmf-polypolygon-counts-lie")
        << wmf().record(meta::PolyPolygon, {2, 3, qint16(-1), 0, 0, 5, 5}).finish() << false;
    QTest::newRow("wmf-text-length-lies")
        << wmf().record(meta::TextOut, {qint16(30000), 0x4141, 1, 1}).finish() << false;
    QTest::newRow("wmf-exttext-dx-missing")
        << wmfThenBlue(wmf().setBkMode(1).extTextOut(20, 20, "abc", {})) << true;
    QTest::newRow("wmf-object-index-out-of-range")
        << wmfThenBlue(wmf().selectObject(60000).deleteObject(65535)) << true;
    QTest::newRow("wmf-region-scans-lie")
        << wmfThenBlue(wmf()
                           .record(meta::CreateRegion,
                                   {0, 6, 0, 0, 100, qint16(-1), 4, 0, 0, 48, 48, 8, 0, 10, 0, 48})
                           .record(meta::SelectClipRegion, {2})
                           .record(meta::SelectClipRegion, {qint16(60000)}),
                       3)
        << true;
    QTest::newRow("wmf-stretchdib-huge")
        << wmfThenBlue(wmf().recordBytes(meta::StretchDib, Bytes()
                                                               .u32(0x00CC0020)
                                                               .u16(0)
                                                               .i16(4)
                                                               .i16(4)
                                                               .i16(0)
                                                               .i16(0)
                                                               .i16(16)
                                                               .i16(16)
                                                               .i16(0)
                                                               .i16(0)
                                                               .raw(Bytes()
                                                                        .u32(40)
                                                                        .i32(0x7fffffff)
                                                                        .i32(0x7fffffff)
                                                                        .u16(1)
                                                                        .u16(24)
                                                                        .u32(0)
                                                                        .u32(0)
                                                                        .u32(0)
                                                                        .u32(0)
                                                                        .u32(0)
                                                                        .u32(0)
                                                                        .data())
                                                               .data()))
        << true;
    {
        QByteArray b = wmf().rectangle(QRect(32, 32, 16, 16)).finish();
        const qsizetype at = wmf().recordOffsets().back();
        b[at] = '\x01';  // size of one word: shorter than a record head
        b[at + 1] = b[at + 2] = b[at + 3] = '\0';
        QTest::newRow("wmf-record-size-too-small") << b << false;
    }
}

void MetafileDamageTest::lyingRecordsKeepWhatCameBefore() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, drawsAfter);
    const QImage img = renderPrefix(bytes, bytes.size());
    QVERIFY(!img.isNull());
    QCOMPARE(img.pixelColor(8, 8), kRed);
    QCOMPARE(img.pixelColor(40, 40), drawsAfter ? kBlue : QColor(Qt::white));
}

void MetafileDamageTest::clipPathAtAstronomicalCoordinatesStaysCheap() {
    // Found by emf_fuzz: a mutated world transform put a clip path's corners around
    // 1e9 pixels and turning it into a region took a minute. The clip must cost no more
    // than the image it clips.
    const QByteArray bytes = EmfBuilder(48, 48)
                                 .createBrush(1, 0, kRed)
                                 .selectObject(1)
                                 .setWorldTransform(3e7f, 1e7f, -1e7f, 3e7f, -1e9f, -1e9f)
                                 .beginPath()
                                 .polygon16({{0, 0}, {100, 0}, {100, 100}, {0, 100}})
                                 .endPath()
                                 .selectClipPath(5)
                                 .intersectClipRect(QRect(-50, -50, 200, 200))
                                 .setWorldTransform(1, 0, 0, 1, 0, 0)
                                 .rectangle(QRect(0, 0, 48, 48))
                                 .finish();
    QElapsedTimer timer;
    timer.start();
    const QImage img = metafile::render(bytes, QSize(48, 48));
    QVERIFY(!img.isNull());
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_MAIN(MetafileDamageTest)
#include "metafile_damage_test.moc"
