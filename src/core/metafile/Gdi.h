#pragma once

// The device-context model shared by the EMF and WMF record readers: logical objects,
// the DC state with its save stack, the coordinate pipeline (world transform, page
// mapping, device to image), clipping, path brackets, and drawing onto a QImage.

#include "core/bytes/ByteReader.h"
#include "core/metafile/Metafile.h"

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QRegion>
#include <QString>
#include <QTransform>

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace pictrove::metafile::gdi {

// Values as GDI numbers them; the readers pass record fields through unchanged.
enum MapMode {
    MmText = 1,
    MmLoMetric,
    MmHiMetric,
    MmLoEnglish,
    MmHiEnglish,
    MmTwips,
    MmIsotropic,
    MmAnisotropic
};
enum BkMode { Transparent = 1, Opaque = 2 };
enum PolyFill { Alternate = 1, Winding = 2 };
enum RegionMode { RgnAnd = 1, RgnOr, RgnXor, RgnDiff, RgnCopy };
enum TextAlign : quint32 {
    TaUpdateCp = 1,
    TaRight = 2,
    TaCenter = 6,
    TaHorizontalMask = 6,  // left (0), right or centre
    TaBottom = 8,
    TaBaseline = 24,
    TaVerticalMask = 24,  // top (0), bottom or baseline
};
enum TextOptions : quint32 {
    EtoOpaque = 0x2,
    EtoClipped = 0x4,
    EtoGlyphIndex = 0x10,
    EtoNoRect = 0x100,      // EMR_SMALLTEXTOUT: no clipping rectangle follows
    EtoSmallChars = 0x200,  // EMR_SMALLTEXTOUT: 8-bit characters
    EtoPdy = 0x2000,
};
enum PenStyle : quint32 {
    PsSolid = 0,
    PsDash,
    PsDot,
    PsDashDot,
    PsDashDotDot,
    PsNull,
    PsInsideFrame,
    PsUserStyle,
    PsAlternate,
    PsStyleMask = 0xf,
    PsEndcapMask = 0xf00,
    PsEndcapSquare = 0x100,
    PsEndcapFlat = 0x200,
    PsJoinMask = 0xf000,
    PsJoinBevel = 0x1000,
    PsJoinMiter = 0x2000,
    PsGeometric = 0x10000,
};
enum BrushStyle : quint32 {
    BsSolid = 0,
    BsNull = 1,
    BsHatched = 2,
    BsPattern = 3,
    BsDibPattern = 5,
    BsDibPatternPt = 6
};

struct Pen {
    quint32 style = PsSolid;
    double width = 0;  // logical units; 0 = one device pixel
    bool cosmetic = true;
    QColor color = Qt::black;
    std::vector<double> dashes;  // PS_USERSTYLE, in logical units
};

struct Brush {
    quint32 style = BsSolid;
    QColor color = Qt::white;
    int hatch = 0;
    QImage pattern;     // BS_PATTERN / BS_DIBPATTERN
    bool mono = false;  // a 1-bpp pattern painted in text and background colours
};

struct Font {
    double height = 0;  // logical units; < 0 character height, > 0 cell height
    double width = 0;
    int escapement = 0;  // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    quint8 charset = 0;
    quint8 pitchAndFamily = 0;
    QString face;
};

// A LOGFONT's fields at `at` but its face: five integers of `intBytes` each (2 in a
// WMF, 4 in an EMF) and the style bytes after them. The caller checks the length.
Font logFontFields(const bytes::ByteReader& r, qint64 at, int intBytes);

using Palette = std::vector<QRgb>;

// WMF regions are logical rectangles; EMF regions arrive as RGNDATA and are turned
// into image-space regions at once.
struct Region {
    std::vector<QRect> rects;
};

using Object = std::variant<std::monostate, Pen, Brush, Font, Palette, Region>;

struct DcState {
    Pen pen;
    Brush brush;
    Font font;
    QColor textColor = Qt::black;
    QColor bkColor = Qt::white;
    int bkMode = Opaque;
    int polyFill = Alternate;
    int rop2 = 13;  // R2_COPYPEN
    quint32 textAlign = 0;
    double charExtra = 0;
    int mapMode = MmText;
    QPointF windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
    QTransform world;
    std::optional<QRegion> clip;  // image pixels; nullopt = the whole image
    QPointF position;             // current position, logical
    bool clockwiseArcs = false;
    Palette palette;
};

// A raster operation keeps its ROP3 code, the boolean function of pattern, source and
// destination, in bits 16-23.
constexpr quint32 RopSrcCopy = 0x00CC0020;
enum Rop3 : quint32 {
    Rop3Blackness = 0x00,
    Rop3NotSrcCopy = 0x33,
    Rop3Dest = 0xAA,  // leaves the destination as it is
    Rop3SrcCopy = 0xCC,
    Rop3PatCopy = 0xF0,
    Rop3Whiteness = 0xFF,
};
inline quint32 rop3(quint32 rop) {
    return (rop >> 16) & 0xff;
}

// One blit request in logical units (destination) and source pixels.
struct Blit {
    QRectF dest;    // x, y, width, height (width/height may be negative)
    QRectF source;  // in source pixels, top-down
    quint32 rop = RopSrcCopy;
    const QImage* image = nullptr;  // nullptr for pattern-only operations
    bool alphaBlend = false;
    int constantAlpha = 255;
};

class Player {
  public:
    // Draws onto `target`; `deviceToImage` maps device pixels (EMF reference device or
    // WMF page space) to target pixels.
    Player(QImage& target, const RenderOptions& options);
    ~Player();

    const RenderOptions& options() const { return options_; }
    // The painter on the target, for the EMF+ records (which keep their own state).
    QPainter& painter() { return *painter_; }

    // The work budget (RenderOptions::workPerPixel). Returns false once it is spent;
    // the readers then stop as at a damaged record.
    bool spend(qint64 units) {
        work_ -= units;
        return work_ >= 0;
    }
    bool budgetLeft() const { return work_ >= 0; }
    qint64 workLeft() const { return std::max<qint64>(0, work_); }
    qint64 workSpent() const { return workStart_ - work_; }
    // A record's own work, drawn or not: reading, mapping, state changes.
    bool spendRecord() { return spend(64); }
    // Charges the target pixels an image-space rectangle covers.
    void spendArea(const QRectF& imageRect);
    DcState& dc() { return dc_; }
    QSize imageSize() const { return image_.size(); }

    // --- coordinate pipeline ---
    // EMF: device pixels of the reference device per millimetre, and device -> image.
    void setDevice(double pxPerMmX, double pxPerMmY, const QTransform& deviceToImage);
    // WMF: page space is the window, mapped straight onto the whole image.
    void setWmfMode(bool on) { wmf_ = on; }
    void setMapMode(int mode);
    void setWindowOrg(QPointF p) { dc_.windowOrg = p; }
    void setWindowExt(QPointF e);
    void setViewportOrg(QPointF p) { dc_.viewportOrg = p; }
    void setViewportExt(QPointF e);
    void setWorldTransform(const QTransform& t) { dc_.world = t; }
    // MWT_IDENTITY 1, MWT_LEFTMULTIPLY 2, MWT_RIGHTMULTIPLY 3, MWT_SET 4.
    void modifyWorldTransform(const QTransform& t, quint32 mode);
    QTransform logicalToImage() const;
    QTransform deviceToImage() const { return deviceToImage_; }

    // --- state stack ---
    void saveDc();
    // n < 0: relative to the top; n > 0: absolute level. Out of range is ignored.
    void restoreDc(int n);

    // --- objects ---
    void resetObjects(qsizetype count);
    // EMF: store at an explicit index (1..count-1). Out of range is ignored.
    void storeObject(quint32 index, Object object);
    // WMF: the lowest free slot, as GDI fills its table.
    void addObject(Object object);
    void selectObject(quint32 index);
    void selectStockObject(quint32 stockIndex);  // without the 0x80000000 flag
    void deleteObject(quint32 index);
    const Object* object(quint32 index) const;

    // --- clipping ---
    void intersectClipRect(const QRectF& logical);
    void excludeClipRect(const QRectF& logical);
    void offsetClip(QPointF logical);
    // A region in image pixels combined with the clip by mode; nullopt with RGN_COPY resets.
    void combineClip(const std::optional<QRegion>& imageRegion, int mode);
    QRegion logicalRegionToImage(std::span<const QRect> logical) const;
    // Rectangles in some source space (device or logical) through `t` into image pixels.
    QRegion regionToImage(std::span<const QRect> source, const QTransform& t) const;

    // --- paths ---
    void beginPath();
    void endPath() { inPath_ = false; }
    void abortPath();
    void closeFigure();
    void fillPath() { finishPath(false, true); }
    void strokePath() { finishPath(true, false); }
    void strokeAndFillPath() { finishPath(true, true); }
    void selectClipPath(int mode);
    void flattenPath();
    void widenPath();

    // --- drawing, logical units ---
    void moveTo(QPointF p);
    void lineTo(QPointF p);
    void polyline(const std::vector<QPointF>& pts);
    void polylineTo(const std::vector<QPointF>& pts);
    void polygon(const std::vector<QPointF>& pts);
    void polyPolygon(const std::vector<std::vector<QPointF>>& polys);
    void polyPolyline(const std::vector<std::vector<QPointF>>& lines);
    void polyBezier(const std::vector<QPointF>& pts);
    void polyBezierTo(const std::vector<QPointF>& pts);
    void rectangle(const QRectF& r);
    void roundRect(const QRectF& r, QSizeF corner);
    void ellipse(const QRectF& r);
    enum class ArcKind { Arc, ArcTo, Chord, Pie };
    void arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end);
    void angleArc(QPointF center, double radius, double startDeg, double sweepDeg);
    void setPixel(QPointF p, QColor c);
    // Fills a logical region with a brush (FillRgn / PaintRgn), or frames it.
    void fillRegion(const QRegion& imageRegion, const Brush& brush);
    void frameRegion(const QRegion& imageRegion, const Brush& brush, QSizeF logicalSize);
    void invertRegion(const QRegion& imageRegion);

    // Text at a logical reference point; dx holds per-character advances in logical
    // units (pairs dx,dy with ETO_PDY), or is empty.
    void text(QPointF ref, const QString& s, const std::vector<double>& dx, quint32 options,
              std::optional<QRectF> rect);

    void blit(const Blit& b);

    // Text in an 8-bit charset (WMF and EMR_EXTTEXTOUTA) as Unicode.
    static QString decodeAnsi(QByteArrayView bytes, quint8 charset);
    // 8-bit text as the selected font reads it: its charset, or the code points
    // themselves for a symbol font.
    QString textOfBytes(QByteArrayView bytes) const;

  private:
    void addToPathOrDraw(const QPainterPath& logical, bool stroke, bool fill);
    void drawImagePath(const QPainterPath& imagePath, bool stroke, bool fill);
    void finishPath(bool stroke, bool fill);
    QPen makePen(double scale) const;
    QBrush makeBrush(const Brush& b) const;
    bool applyRop2(QPainter& p) const;  // false: draw nothing (R2_NOP)
    void applyClip(QPainter& p) const;
    double lengthScale() const;
    QPointF pageScale() const;
    QPainterPath arcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end) const;
    // The parts of text(): the selected font at yScale image pixels per logical unit
    // (none when too small to see); each character's pen position along the baseline
    // in image pixels, from dx or the font's advances, giving the text's width; and
    // the characters drawn (or added to the open path) at those positions.
    std::optional<QFont> textFont(double yScale) const;
    // With `glyphs`, s holds glyph indices of that font rather than characters.
    double textPositions(const QString& s, const std::vector<double>& dx, bool pdy, QPointF scale,
                         const QFontMetricsF& fm, const QRawFont* glyphs,
                         std::vector<QPointF>& pos) const;
    void drawText(const QTransform& local, const QString& s, const std::vector<QPointF>& pos,
                  bool positioned, double width, const QFont& font, const QFontMetricsF& fm,
                  const QRawFont* glyphs);
    void ropBlit(const QRect& destPx, const QPointF& p0, const QPointF& p1, const QPointF& p2,
                 const Blit& b);

    QImage& image_;
    RenderOptions options_;
    qint64 work_ = 0, workStart_ = 0;
    std::unique_ptr<QPainter> painter_;
    DcState dc_;
    std::vector<DcState> saved_;
    std::vector<Object> objects_;
    QTransform deviceToImage_;
    double pxPerMmX_ = 96 / 25.4, pxPerMmY_ = 96 / 25.4;
    bool wmf_ = false;
    bool inPath_ = false;
    QPainterPath path_;  // image coordinates
    bool pathNeedsMove_ = true;
};

}  // namespace pictrove::metafile::gdi
