#pragma once

// Writes small EMF and WMF files record by record for tests. Fields are written as the
// formats lay them out; nothing is validated, so tests can also write lies.

#include "core/metafile/RecordTypes.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <initializer_list>
#include <vector>

namespace pictrove::test {

// Little-endian field writer.
class Bytes {
  public:
    Bytes& u8(quint8 v);
    Bytes& u16(quint16 v);
    Bytes& i16(qint16 v) { return u16(quint16(v)); }
    Bytes& u32(quint32 v);
    Bytes& i32(qint32 v) { return u32(quint32(v)); }
    Bytes& f32(float v);
    Bytes& color(QColor c);  // COLORREF: r, g, b, 0
    Bytes& raw(const QByteArray& b);
    const QByteArray& data() const { return d_; }
    qsizetype size() const { return d_.size(); }

  private:
    QByteArray d_;
};

// A metafile rendered at its frame size (null when it has none).
QImage renderAtFrame(const QByteArray& bytes);
// Pixels darker than light grey inside a rectangle, and the box around all of them.
int inkIn(const QImage& img, QRect r);
QRect inkBox(const QImage& img);

// A packed DIB (BITMAPINFOHEADER, colour table, bits) of an image: 24-bit bottom-up by
// default, or 8-bit with a palette of the image's distinct colours (at most 256).
QByteArray packedDib(const QImage& image, int bpp = 24, bool topDown = false);
// Header plus colour table alone, and the bits alone, of the same DIB.
QByteArray dibInfo(const QByteArray& packed);
QByteArray dibBits(const QByteArray& packed);

// Header fields of an EMF as a writer may set them (EmfBuilder::header).
struct EmfHeaderFields {
    QRect bounds;  // device pixels, stored as left, top, right, bottom (inclusive)
    QRect frame;   // 0.01 mm, stored the same way
    QSize devicePx{1920, 1080};
    QSize deviceMm{508, 286};
    QSize deviceUm{508000, 285750};
    // UTF-16 text at descriptionAt, counted in the header record: at 88 it lies where
    // the micrometres would be, as older writers put it.
    QString description;
    int descriptionAt = 108;
};

// EMF on a 96-dpi reference device; the frame is widthPx x heightPx, so that rendering
// at frameSizePx() maps device pixels one to one onto the image.
class EmfBuilder {
  public:
    EmfBuilder(int widthPx, int heightPx);
    // Replaces the header that finish() writes.
    EmfBuilder& header(const EmfHeaderFields& fields);

    // A record with the given fields after type and size.
    EmfBuilder& record(quint32 type, const QByteArray& fields);

    EmfBuilder& rectangle(QRect r);  // EMR_RECTANGLE, inclusive-exclusive box
    EmfBuilder& ellipse(QRect r);
    EmfBuilder& createBrush(quint32 ih, quint32 style, QColor c, quint32 hatch = 0);
    EmfBuilder& createPen(quint32 ih, quint32 style, int width, QColor c);
    EmfBuilder& selectObject(quint32 ih);
    EmfBuilder& deleteObject(quint32 ih);
    EmfBuilder& intersectClipRect(QRect r);
    EmfBuilder& excludeClipRect(QRect r);
    EmfBuilder& setMapMode(quint32 mode);
    EmfBuilder& setWindowOrg(int x, int y);
    EmfBuilder& setWindowExt(int x, int y);
    EmfBuilder& setViewportOrg(int x, int y);
    EmfBuilder& setViewportExt(int x, int y);
    EmfBuilder& setWorldTransform(float m11, float m12, float m21, float m22, float dx, float dy);
    EmfBuilder& saveDc();
    EmfBuilder& restoreDc(int n);
    EmfBuilder& setTextColor(QColor c);
    EmfBuilder& setBkMode(quint32 mode);
    EmfBuilder& setTextAlign(quint32 align);
    EmfBuilder& setPolyFillMode(quint32 mode);
    EmfBuilder& setRop2(quint32 rop);
    EmfBuilder& polygon16(const std::vector<QPoint>& pts);
    EmfBuilder& polyline16(const std::vector<QPoint>& pts);
    EmfBuilder& moveTo(int x, int y);
    EmfBuilder& lineTo(int x, int y);
    EmfBuilder& beginPath();
    EmfBuilder& endPath();
    EmfBuilder& fillPath();
    EmfBuilder& selectClipPath(quint32 mode);
    EmfBuilder& extSelectClipRgn(quint32 mode, const std::vector<QRect>& rects);
    EmfBuilder& createFont(quint32 ih, int height, const QString& face, int weight = 400,
                           int escapement = 0);
    // EMR_EXTCREATEFONTINDIRECTW with a whole LOGFONT.
    EmfBuilder& createFont(quint32 ih, int height, const QString& face, int weight, bool italic,
                           bool underline, bool strikeOut, quint8 charset);
    // With gdi::EtoGlyphIndex in options, text holds glyph indices.
    EmfBuilder& extTextOutW(int x, int y, const QString& text, bool withDx = false, int dx = 0,
                            quint32 options = 0);
    // EMR_STRETCHDIBITS of a packed DIB onto dest, whole source.
    EmfBuilder& stretchDiBits(QRect dest, const QByteArray& packed, quint32 rop = 0x00CC0020);
    // EMR_BITBLT of a packed DIB (source at 0,0, same size as dest).
    EmfBuilder& bitBlt(QRect dest, const QByteArray& packed, quint32 rop);
    EmfBuilder& comment(const QByteArray& payload);
    // An EMR_COMMENT holding EMF+ records (plusRecord()).
    EmfBuilder& emfPlus(const QByteArray& records);
    // One EMF+ record: type, flags, data.
    static QByteArray plusRecord(quint16 type, quint16 flags, const QByteArray& data);
    // An EMF+ RectF: x, y, width and height as 32-bit floats.
    static QByteArray plusRectF(QRectF r);

    // Header counts filled in, EMR_EOF appended.
    QByteArray finish(quint16 handles = 16) const;
    // Offsets where each record starts (header first, EOF last) in finish()'s output.
    std::vector<qsizetype> recordOffsets() const;

  private:
    EmfHeaderFields head_;
    std::vector<QByteArray> records_;
};

// Placeable WMF: bounds in logical units and units per inch (the placeable header),
// then the standard header and records.
class WmfBuilder {
  public:
    WmfBuilder(QRect bounds, quint16 unitsPerInch, bool placeable = true);

    // A record of 16-bit parameter words (as the format lists them).
    WmfBuilder& record(quint16 function, std::initializer_list<qint16> words);
    WmfBuilder& recordBytes(quint16 function, const QByteArray& params);

    WmfBuilder& setWindowOrg(int x, int y) {
        return record(metafile::meta::SetWindowOrg, {qint16(y), qint16(x)});
    }
    WmfBuilder& setWindowExt(int x, int y) {
        return record(metafile::meta::SetWindowExt, {qint16(y), qint16(x)});
    }
    WmfBuilder& setMapMode(int m) { return record(0x0103, {qint16(m)}); }
    WmfBuilder& rectangle(QRect r);  // left, top, right(excl), bottom(excl)
    WmfBuilder& ellipse(QRect r);
    WmfBuilder& createBrush(quint16 style, QColor c, quint16 hatch = 0);
    WmfBuilder& createPen(quint16 style, int width, QColor c);
    WmfBuilder& createFont(int height, const QByteArray& face, int weight = 400,
                           bool italic = false, quint8 charset = 0);
    WmfBuilder& selectObject(quint16 i) { return record(0x012D, {qint16(i)}); }
    WmfBuilder& deleteObject(quint16 i) { return record(0x01F0, {qint16(i)}); }
    WmfBuilder& polygon(const std::vector<QPoint>& pts);
    WmfBuilder& intersectClipRect(QRect r);
    WmfBuilder& excludeClipRect(QRect r);
    WmfBuilder& saveDc() { return record(0x001E, {}); }
    WmfBuilder& restoreDc(int n) { return record(0x0127, {qint16(n)}); }
    WmfBuilder& setTextColor(QColor c);
    WmfBuilder& setBkMode(int m) { return record(0x0102, {qint16(m)}); }
    WmfBuilder& textOut(int x, int y, const QByteArray& text);
    WmfBuilder& extTextOut(int x, int y, const QByteArray& text, const std::vector<qint16>& dx);
    // META_STRETCHDIB of a packed DIB onto dest, whole source.
    WmfBuilder& stretchDib(QRect dest, const QByteArray& packed, quint32 rop = 0x00CC0020);
    WmfBuilder& patBlt(QRect dest, quint32 rop);

    QByteArray finish(quint16 objects = 16) const;
    std::vector<qsizetype> recordOffsets() const;

  private:
    QRect bounds_;
    quint16 inch_;
    bool placeable_;
    std::vector<QByteArray> records_;
};

}  // namespace pictrove::test
