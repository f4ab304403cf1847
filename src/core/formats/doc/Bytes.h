#pragma once

#include <QByteArrayView>
#include <QtEndian>

#include <cstdint>

namespace pictrove::doc {

// Whether [offset, offset + length) lies inside bytes. Takes 64-bit values so that
// offsets and lengths read from a file can be tested before any arithmetic on them.
inline bool fits(QByteArrayView bytes, qint64 offset, qint64 length) {
    return offset >= 0 && length >= 0 && offset <= bytes.size() && length <= bytes.size() - offset;
}

// The part [offset, offset + length) of bytes, or an empty view with *ok = false when
// it does not fit.
inline QByteArrayView slice(QByteArrayView bytes, qint64 offset, qint64 length, bool* ok) {
    if (!fits(bytes, offset, length)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return bytes.sliced(qsizetype(offset), qsizetype(length));
}

// Little-endian reads at an offset the caller has checked with fits().
inline quint8 u8At(QByteArrayView b, qsizetype off) {
    return static_cast<quint8>(b[off]);
}
inline quint16 u16At(QByteArrayView b, qsizetype off) {
    return qFromLittleEndian<quint16>(b.data() + off);
}
inline qint16 i16At(QByteArrayView b, qsizetype off) {
    return qFromLittleEndian<qint16>(b.data() + off);
}
inline quint32 u32At(QByteArrayView b, qsizetype off) {
    return qFromLittleEndian<quint32>(b.data() + off);
}
inline qint32 i32At(QByteArrayView b, qsizetype off) {
    return qFromLittleEndian<qint32>(b.data() + off);
}

// Sequential little-endian reader over untrusted bytes. A read past the end sets a
// sticky failure, returns 0 and leaves the position at the end; callers test ok()
// once after a group of reads instead of before each one.
class ByteCursor {
  public:
    explicit ByteCursor(QByteArrayView bytes, qsizetype pos = 0)
        : bytes_(bytes), pos_(pos <= bytes.size() ? pos : bytes.size()), ok_(pos <= bytes.size()) {}

    bool ok() const { return ok_; }
    qsizetype pos() const { return pos_; }
    qsizetype remaining() const { return bytes_.size() - pos_; }
    bool atEnd() const { return pos_ >= bytes_.size(); }

    quint8 u8() { return take(1) ? u8At(bytes_, pos_ - 1) : 0; }
    quint16 u16() { return take(2) ? u16At(bytes_, pos_ - 2) : 0; }
    qint16 i16() { return take(2) ? i16At(bytes_, pos_ - 2) : 0; }
    quint32 u32() { return take(4) ? u32At(bytes_, pos_ - 4) : 0; }
    qint32 i32() { return take(4) ? i32At(bytes_, pos_ - 4) : 0; }

    // The next n bytes, or an empty view (and failure) when fewer are left.
    QByteArrayView bytes(qint64 n) {
        if (!take(n))
            return {};
        return bytes_.sliced(pos_ - qsizetype(n), qsizetype(n));
    }
    void skip(qint64 n) { take(n); }

  private:
    bool take(qint64 n) {
        if (!ok_ || n < 0 || n > remaining()) {
            ok_ = false;
            pos_ = bytes_.size();
            return false;
        }
        pos_ += qsizetype(n);
        return true;
    }

    QByteArrayView bytes_;
    qsizetype pos_ = 0;
    bool ok_ = true;
};

}  // namespace pictrove::doc
