// The one-pass PNG decoder against Qt's PNG reader: the same image wherever it decodes,
// nothing where the file is damaged or not of the kinds it takes.

#include "core/picture/PngDecode.h"

#include <QBuffer>
#include <QImageReader>
#include <QTest>
#include <QtEndian>

#include <array>

using namespace pictrove::picture;

namespace {

constexpr qint64 kLimit = qint64(256) * 1024 * 1024;

quint32 crc32(QByteArrayView bytes) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (char b : bytes)
        c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray chunk(const char* type, const QByteArray& data) {
    const QByteArray body = QByteArray(type, 4) + data;
    return be32(quint32(data.size())) + body + be32(crc32(body));
}

struct Png {
    int width = 5, height = 4;
    quint8 depth = 8, colour = 2, interlace = 0;
    QByteArray before;      // chunks between the header and the data
    QByteArray after;       // chunks between the data and the end
    int idatParts = 1;      // the stream cut over this many IDAT chunks
    QList<int> filters;     // one filter type per row, cycling; 0..4
    QByteArray streamTail;  // bytes after the zlib stream inside the data

    int channels() const { return colour == 0 ? 1 : colour == 2 ? 3 : colour == 6 ? 4 : 1; }

    // Rows of varied pixels, each filtered with its filter type, as an encoder would.
    QByteArray filteredRows() const {
        const int bpp = channels() * depth / 8;
        const int rowBytes = width * channels() * depth / 8;
        QByteArray raw, out, prior(rowBytes, '\0');
        for (int y = 0; y < height; ++y) {
            QByteArray row(rowBytes, '\0');
            // Odd rows from four values only, so that the Paeth predictor meets its ties.
            for (int i = 0; i < rowBytes; ++i) {
                const int v = i * 37 + y * 91 + (i * y) % 13;
                row[i] = char(y % 2 ? (v % 4) * 60 : v & 0xFF);
            }
            const int f = filters.isEmpty() ? 0 : filters[y % filters.size()];
            out.append(char(f));
            for (int i = 0; i < rowBytes; ++i) {
                const int a = i >= bpp ? quint8(row[i - bpp]) : 0, b = quint8(prior[i]),
                          c = i >= bpp ? quint8(prior[i - bpp]) : 0;
                int predictor = 0;
                if (f == 1)
                    predictor = a;
                else if (f == 2)
                    predictor = b;
                else if (f == 3)
                    predictor = (a + b) / 2;
                else if (f == 4) {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b),
                              pc = std::abs(p - c);
                    predictor = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                }
                out.append(char(quint8(row[i]) - predictor));
            }
            prior = row;
        }
        return out;
    }

    QByteArray bytes() const {
        QByteArray header = be32(quint32(width)) + be32(quint32(height));
        header += char(depth);
        header += char(colour);
        header += QByteArray(2, '\0');
        header += char(interlace);
        const QByteArray stream = qCompress(filteredRows()).mid(4) + streamTail;
        QByteArray data;
        const qsizetype part = (stream.size() + idatParts - 1) / idatParts;
        for (qsizetype at = 0; at < stream.size(); at += part)
            data += chunk("IDAT", stream.mid(at, part));
        return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + before + data + after +
               chunk("IEND", {});
    }
};

QByteArray pHYs(quint32 x, quint32 y, quint8 unit) {
    return chunk("pHYs", be32(x) + be32(y) + char(unit));
}

QImage byQt(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    return reader.read();
}

void expectSameImage(const QImage& ours, const QImage& qt) {
    QCOMPARE(ours.format(), qt.format());
    QCOMPARE(ours.size(), qt.size());
    QCOMPARE(ours.dotsPerMeterX(), qt.dotsPerMeterX());
    QCOMPARE(ours.dotsPerMeterY(), qt.dotsPerMeterY());
    for (int y = 0; y < qt.height(); ++y) {
        const auto n = size_t(qt.width() * qt.depth() / 8);  // not the row's padding
        if (std::memcmp(ours.constScanLine(y), qt.constScanLine(y), n) != 0)
            QFAIL(qPrintable(QStringLiteral("row %1 differs").arg(y)));
    }
}

}  // namespace

Q_DECLARE_METATYPE(Png)

class PngDecodeTest : public QObject {
    Q_OBJECT

  private slots:
    void decodes_what_qt_decodes_data() {
        QTest::addColumn<Png>("png");
        // Every filter in every colour type, with widths whose rows do and do not fit in
        // place in the image's own buffer.
        for (quint8 colour : {quint8(0), quint8(2), quint8(6)}) {
            for (int width : {1, 7, 8, 33}) {
                Png p;
                p.colour = colour;
                p.width = width;
                p.height = 11;
                p.filters = {0, 1, 2, 3, 4, 4, 3, 1};
                QTest::addRow("colour %d, width %d", colour, width) << p;
            }
        }
        Png split;
        split.filters = {4};
        split.idatParts = 3;
        QTest::newRow("data over three IDAT chunks") << split;
        Png metres;
        metres.before = pHYs(3780, 2835, 1);
        QTest::newRow("resolution in metres") << metres;
        Png unknownUnit;
        unknownUnit.before = pHYs(3780, 2835, 0);
        QTest::newRow("resolution without unit") << unknownUnit;
        Png halfResolution;
        halfResolution.before = pHYs(3780, 0, 1);
        QTest::newRow("one resolution zero") << halfResolution;
        Png chatty;
        chatty.before = chunk("gAMA", be32(45455)) + chunk("sRGB", QByteArray(1, '\0')) +
                        chunk("tEXt", "Software\0x") + chunk("prVt", "anything");
        chatty.after = chunk("tEXt", "Comment\0after");
        QTest::newRow("ancillary chunks") << chatty;
        Png palette;
        palette.before = chunk("PLTE", QByteArray(9, '\x40'));
        QTest::newRow("suggested palette of an RGB file") << palette;
    }

    void decodes_what_qt_decodes() {
        QFETCH(Png, png);
        const QByteArray bytes = png.bytes();
        const QImage qt = byQt(bytes);
        QVERIFY(!qt.isNull());
        const QImage ours = decodeCommonPng(bytes, kLimit);
        QVERIFY2(!ours.isNull(), "the common kind must not be left to the slow reader");
        expectSameImage(ours, qt);
    }

    // Kinds it does not take and damaged files: nothing, so that Qt's reader decides
    // (and, where the file is damaged, fails as it always did).
    void leaves_the_rest_to_qt_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("qtReadsIt");
        auto add = [](const char* name, const Png& p, bool qtReads) {
            QTest::newRow(name) << p.bytes() << qtReads;
        };
        Png p;
        p.interlace = 1;
        add("interlaced", p, false);
        p = {};
        p.depth = 16;
        add("16 bits", p, true);
        p = {};
        p.colour = 3;
        p.before = chunk("PLTE", QByteArray(768, '\x10'));
        add("palette", p, true);
        p = {};
        p.before = chunk("tRNS", QByteArray(6, '\0'));
        add("transparent colour", p, true);
        p = {};
        p.before = pHYs(1, 1, 1) + pHYs(2, 2, 1);
        add("two resolutions", p, true);
        p = {};
        p.after = pHYs(1, 1, 1);
        add("resolution after the data", p, true);
        p = {};
        p.filters = {5};
        add("unknown filter", p, false);
        p = {};
        p.streamTail = "xx";
        add("bytes after the stream", p, true);
        p = {};
        p.colour = 0;
        p.before = chunk("PLTE", QByteArray(9, '\x40'));
        add("palette in a grey file", p, true);
        p = {};
        p.before = chunk("ZZZZ", "x");
        add("unknown critical chunk", p, false);

        const QByteArray good = Png{}.bytes();
        QByteArray badCrc = good;
        badCrc[badCrc.indexOf("IDAT") + 6] ^= 1;
        QTest::newRow("IDAT damaged") << badCrc << false;
        QTest::newRow("cut in the data") << good.left(good.indexOf("IDAT") + 12) << false;
        QTest::newRow("cut before the end") << good.chopped(12) << false;
        QByteArray huge = good;
        qToBigEndian(quint32(1000001), huge.data() + 16);
        QTest::newRow("wider than the PNG library allows") << huge << false;
        QTest::newRow("not a PNG") << QByteArray("GIF89a") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void leaves_the_rest_to_qt() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, qtReadsIt);
        QCOMPARE(!byQt(bytes).isNull(), qtReadsIt);
        QVERIFY(decodeCommonPng(bytes, kLimit).isNull());
    }

    void the_limit_on_pixels_holds() {
        Png p;
        p.width = 64;
        p.height = 64;
        QVERIFY(decodeCommonPng(p.bytes(), 64 * 64 * 4).width() == 64);
        QVERIFY(decodeCommonPng(p.bytes(), 64 * 64 * 4 - 1).isNull());
    }
};

QTEST_MAIN(PngDecodeTest)
#include "png_decode_test.moc"
