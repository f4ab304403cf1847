#pragma once

#include <QByteArrayView>
#include <QtEndian>

#include <cstring>

namespace pictrove::metafile {

// Little-endian reads from a byte view that never leave it. Record readers check every
// size against `has()` before they rely on a value; a read outside the view gives 0 so
// that a missed check costs a wrong value, never memory safety.
class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(QByteArrayView bytes) : d_(bytes) {}

    qsizetype size() const { return d_.size(); }
    QByteArrayView bytes() const { return d_; }

    bool has(qint64 offset, qint64 count) const {
        return offset >= 0 && count >= 0 && offset <= d_.size() && count <= d_.size() - offset;
    }

    quint8 u8(qint64 off) const { return has(off, 1) ? quint8(d_[off]) : 0; }
    quint16 u16(qint64 off) const {
        return has(off, 2) ? qFromLittleEndian<quint16>(d_.data() + off) : 0;
    }
    qint16 i16(qint64 off) const { return qint16(u16(off)); }
    quint32 u32(qint64 off) const {
        return has(off, 4) ? qFromLittleEndian<quint32>(d_.data() + off) : 0;
    }
    qint32 i32(qint64 off) const { return qint32(u32(off)); }
    float f32(qint64 off) const {
        const quint32 bits = u32(off);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    // The bytes [off, off+count), or an empty view when they are not all there.
    QByteArrayView sub(qint64 off, qint64 count) const {
        return has(off, count) ? d_.sliced(off, count) : QByteArrayView();
    }

  private:
    QByteArrayView d_;
};

}  // namespace pictrove::metafile
