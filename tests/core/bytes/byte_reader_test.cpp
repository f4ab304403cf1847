#include "core/bytes/ByteReader.h"
#include "core/bytes/Hex.h"

#include <QTest>

#include <cctype>
#include <limits>
#include <memory>

using pictrove::bytes::ByteCursor;
using pictrove::bytes::ByteReader;
using pictrove::bytes::hexValue;

namespace {

// Bytes at the very end of their own allocation, so that a read past them is caught
// under AddressSanitizer instead of landing in spare capacity.
class ExactBytes {
  public:
    explicit ExactBytes(QByteArrayView from)
        : data_(new char[size_t(from.size())]), size_(from.size()) {
        std::copy(from.begin(), from.end(), data_.get());
    }
    QByteArrayView view() const { return QByteArrayView(data_.get(), size_); }

  private:
    std::unique_ptr<char[]> data_;
    qsizetype size_;
};

const QByteArray kSample = QByteArray::fromHex("0102030405060708ff7f80");

}  // namespace

class ByteReaderTest : public QObject {
    Q_OBJECT

  private slots:
    void randomAccessReadsLittleAndBigEndian() {
        const ExactBytes b(kSample);
        const ByteReader r(b.view());
        QCOMPARE(r.u8(0), quint8(0x01));
        QCOMPARE(r.u16(0), quint16(0x0201));
        QCOMPARE(r.u32(0), quint32(0x04030201));
        QCOMPARE(r.u16be(0), quint16(0x0102));
        QCOMPARE(r.u32be(1), quint32(0x02030405));
        QCOMPARE(r.i16(8), qint16(0x7fff));
        QCOMPARE(r.i16(9), qint16(-32641));  // 0x807f
        QCOMPARE(r.i32(7), qint32(0x807fff08));
        QCOMPARE(r.sub(8, 3), QByteArrayView(kSample).sliced(8, 3));
        const QByteArray one = QByteArray::fromHex("0000803f");
        QCOMPARE(ByteReader(one).f32(0), 1.0f);
    }

    // Every width at every offset that reaches past the end (or starts before the
    // start, or overflows when added to) gives 0, and has() agrees.
    void readsOutsideTheBytesGiveZero() {
        const ExactBytes b(kSample);
        const ByteReader r(b.view());
        const qint64 n = r.size();
        for (qint64 off :
             {n - 3, n - 1, n, n + 1, qint64(-1), qint64(-4),
              std::numeric_limits<qint64>::max() - 1, std::numeric_limits<qint64>::min()}) {
            const QByteArray at = QByteArray::number(off);
            if (off != n - 3 && off != n - 1) {
                QVERIFY2(r.u8(off) == 0, at);
                QVERIFY2(!r.has(off, 1), at);
            }
            if (off != n - 3) {
                QVERIFY2(r.u16(off) == 0 && r.u16be(off) == 0 && r.i16(off) == 0, at);
                QVERIFY2(!r.has(off, 2), at);
            }
            QVERIFY2(r.u32(off) == 0 && r.u32be(off) == 0 && r.i32(off) == 0, at);
            QVERIFY2(r.f32(off) == 0.0f, at);
            QVERIFY2(!r.has(off, 4), at);
            QVERIFY2(r.sub(off, 4).isEmpty(), at);
        }
        QVERIFY(r.has(n, 0));
        QVERIFY(!r.has(0, -1));
        QVERIFY(!r.has(1, std::numeric_limits<qint64>::max()));
        QVERIFY(r.sub(0, n + 1).isEmpty());
        QCOMPARE(ByteReader().u32(0), 0u);
    }

    void cursorReadsInSequence() {
        const ExactBytes b(kSample);
        ByteCursor c(b.view());
        QCOMPARE(c.u8(), quint8(0x01));
        QCOMPARE(c.u16(), quint16(0x0302));
        QCOMPARE(c.u32(), quint32(0x07060504));
        QCOMPARE(c.pos(), qsizetype(7));
        QCOMPARE(c.remaining(), qsizetype(4));
        QCOMPARE(c.bytes(2), QByteArrayView(kSample).sliced(7, 2));
        QCOMPARE(c.i16(), qint16(-32641));
        QVERIFY(c.atEnd());
        QVERIFY(c.ok());
        ByteCursor from(b.view(), 8);
        QCOMPARE(from.i16(), qint16(0x7fff));
    }

    // Once a read has run past the end, the cursor stays failed: later reads that
    // would fit the bytes still give 0, and the position stays at the end.
    void cursorFailureIsSticky() {
        const ExactBytes b(kSample);
        ByteCursor c(b.view());
        c.skip(8);
        QCOMPARE(c.u32(), 0u);
        QVERIFY(!c.ok());
        QCOMPARE(c.pos(), b.view().size());
        QCOMPARE(c.u8(), quint8(0));
        QCOMPARE(c.u16(), quint16(0));
        QVERIFY(c.bytes(0).isEmpty());
        QVERIFY(!c.ok());

        ByteCursor negative(b.view());
        QVERIFY(negative.bytes(-1).isEmpty());
        QVERIFY(!negative.ok());
        QCOMPARE(negative.u8(), quint8(0));

        ByteCursor huge(b.view());
        huge.skip(std::numeric_limits<qint64>::max());
        QVERIFY(!huge.ok());

        ByteCursor pastStart(b.view(), b.view().size() + 1);
        QVERIFY(!pastStart.ok());
        QCOMPARE(pastStart.u8(), quint8(0));
        QVERIFY(ByteCursor(b.view(), -1).ok() == false);
        QVERIFY(ByteCursor(b.view(), b.view().size()).ok());
    }

    // One table for RTF hex pictures, \'hh escapes and GDI+ token names: every Latin-1
    // byte, as a signed char too, and characters beyond Latin-1 that look like digits.
    void hexValueOfEveryByte() {
        for (int c = 0; c < 256; ++c) {
            const int expected = std::isxdigit(c) ? QByteArray(1, char(c)).toInt(nullptr, 16) : -1;
            QCOMPARE(hexValue(char16_t(c)), expected);
            QCOMPARE(hexValue(char(c)), expected);  // negative for c >= 128
        }
        QCOMPARE(hexValue(u'\uFF10'), -1);  // FULLWIDTH DIGIT ZERO
        QCOMPARE(hexValue(char16_t(0x0130)), -1);
        QCOMPARE(hexValue(char32_t(0x10030)), -1);
    }
};

QTEST_GUILESS_MAIN(ByteReaderTest)
#include "byte_reader_test.moc"
