#pragma once

#include <QByteArrayView>
#include <QtEndian>

#include <cstring>

// Reads of numbers from untrusted bytes that never leave the bytes. Every reader of a
// file format (metafiles, binary Word, picture headers, cursors) goes through here.
namespace pictrove::bytes {

// Whether [offset, offset + length) lies inside bytes. Takes 64-bit values so that
// offsets and lengths read from a file can be tested before any arithmetic on them.
inline bool fits(QByteArrayView bytes, qint64 offset, qint64 length) {
    return offset >= 0 && length >= 0 && offset <= bytes.size() && length <= bytes.size() - offset;
}

// Random access: numbers at an offset, little-endian unless the name says `be`. A read
// that does not lie wholly inside the bytes gives 0, so that a missed has() check costs
// a wrong value, never memory safety; readers test has() before they rely on a value.
class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(QByteArrayView bytes) : d_(bytes) {}

    qsizetype size() const { return d_.size(); }
    QByteArrayView bytes() const { return d_; }
    bool has(qint64 offset, qint64 count) const { return fits(d_, offset, count); }

    quint8 u8(qint64 off) const { return has(off, 1) ? quint8(d_[qsizetype(off)]) : 0; }
    quint16 u16(qint64 off) const { return read<quint16, false>(off); }
    qint16 i16(qint64 off) const { return qint16(u16(off)); }
    quint32 u32(qint64 off) const { return read<quint32, false>(off); }
    qint32 i32(qint64 off) const { return qint32(u32(off)); }
    float f32(qint64 off) const {
        const quint32 bits = u32(off);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    quint16 u16be(qint64 off) const { return read<quint16, true>(off); }
    quint32 u32be(qint64 off) const { return read<quint32, true>(off); }

    // The bytes [off, off + count), or an empty view when they are not all there.
    QByteArrayView sub(qint64 off, qint64 count) const {
        return has(off, count) ? d_.sliced(qsizetype(off), qsizetype(count)) : QByteArrayView();
    }

  private:
    template <typename T, bool bigEndian>
    T read(qint64 off) const {
        if (!has(off, sizeof(T)))
            return 0;
        const char* at = d_.data() + off;
        return bigEndian ? qFromBigEndian<T>(at) : qFromLittleEndian<T>(at);
    }

    QByteArrayView d_;
};

// Sequential little-endian reads. A read past the end fails for good: it returns 0
// (an empty view for bytes()), leaves the position at the end, and so does every read
// after it. Callers test ok() once after a group of reads instead of before each one.
class ByteCursor {
  public:
    explicit ByteCursor(QByteArrayView bytes, qint64 pos = 0)
        : r_(bytes),
          pos_(fits(bytes, pos, 0) ? qsizetype(pos) : bytes.size()),
          ok_(fits(bytes, pos, 0)) {}

    bool ok() const { return ok_; }
    qsizetype pos() const { return pos_; }
    qsizetype remaining() const { return r_.size() - pos_; }
    bool atEnd() const { return pos_ >= r_.size(); }

    quint8 u8() { return take(1) ? r_.u8(pos_ - 1) : 0; }
    quint16 u16() { return take(2) ? r_.u16(pos_ - 2) : 0; }
    qint16 i16() { return take(2) ? r_.i16(pos_ - 2) : 0; }
    quint32 u32() { return take(4) ? r_.u32(pos_ - 4) : 0; }
    qint32 i32() { return take(4) ? r_.i32(pos_ - 4) : 0; }

    // The next n bytes, or an empty view (and failure) when fewer are left.
    QByteArrayView bytes(qint64 n) { return take(n) ? r_.sub(pos_ - n, n) : QByteArrayView(); }
    void skip(qint64 n) { take(n); }

  private:
    bool take(qint64 n) {
        if (!ok_ || n < 0 || n > remaining()) {
            ok_ = false;
            pos_ = r_.size();
            return false;
        }
        pos_ += qsizetype(n);
        return true;
    }

    ByteReader r_;
    qsizetype pos_ = 0;
    bool ok_ = true;
};

}  // namespace pictrove::bytes
