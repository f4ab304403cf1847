#include "core/bytes/ByteReader.h"
#include "core/metafile/Dib.h"
#include "core/metafile/EmfPlus.h"
#include "core/metafile/Gdi.h"
#include "core/metafile/Readers.h"
#include "core/metafile/RecordTypes.h"

#include <cmath>

namespace pictrove::metafile {

using bytes::ByteReader;

namespace {

using gdi::Player;

using namespace emr;

constexpr quint32 kStockObject = 0x80000000u;   // an object index naming a stock object
constexpr quint32 kArcClockwise = 2;            // SetArcDirection's AD_CLOCKWISE
constexpr quint32 kDibPalColors = 1;            // a bitmap's colours index the selected palette
constexpr quint8 kAcSrcAlpha = 0x01;            // BLENDFUNCTION: the source has per-pixel alpha
constexpr quint32 kForegroundRop = 0x00ffffff;  // MaskBlt: the top byte is the background's

// PolyDraw point types.
enum PointType : quint8 {
    PtCloseFigure = 0x01,
    PtLineTo = 0x02,
    PtBezierTo = 0x04,
    PtMoveTo = 0x06,
    PtKindMask = 0x06,
};

// GradientFill modes.
enum GradientMode : quint32 { GradientRectH = 0, GradientRectV = 1, GradientTriangle = 2 };

QColor colorRef(const ByteReader& r, qint64 off) {
    return QColor(r.u8(off), r.u8(off + 1), r.u8(off + 2));
}

// Reference device pixels per millimetre, from the header's device size in pixels and
// in micrometres or millimetres. Writers get these wrong in several ways, and a wrong
// scale moves every record off the frame: micrometres that disagree with the
// millimetres are not used, a resolution outside what any device has falls back to
// 96 dpi, and where the header's bounds (device pixels of the drawing) fall outside
// the frame at that resolution, the bounds and the frame give the resolution instead.
QPointF referencePxPerMm(const EmfHeader& h) {
    constexpr double kDefault = 96 / 25.4;
    auto axis = [&](int px, double mm, double um, int boundsLow, int boundsHigh, int frameLow,
                    int frameHigh) {
        if (um > 0 && (mm <= 0 || std::abs(um / 1000 - mm) <= 1 + mm / 50))
            mm = um / 1000;
        double scale = px > 0 && mm > 0 ? px / mm : kDefault;
        if (!(scale >= 0.5 && scale <= 400))
            scale = kDefault;
        const double frameMm = (double(frameHigh) - frameLow) / 100;
        const double boundsPx = double(boundsHigh) - boundsLow + 1;
        if (frameMm > 0 && boundsPx > 1) {
            const double lo = frameLow / 100.0 * scale, hi = frameHigh / 100.0 * scale;
            const double slack = std::max(2.0, (hi - lo) / 10);
            if (boundsLow > hi + slack || boundsHigh < lo - slack ||
                boundsPx > (hi - lo) * 2 + slack) {
                const double fromBounds = boundsPx / frameMm;
                if (fromBounds >= 0.5 && fromBounds <= 400)
                    scale = fromBounds;
            }
        }
        return scale;
    };
    return {axis(h.devicePx.width(), h.deviceMm.width(), h.deviceUm.width(), h.bounds.left(),
                 h.bounds.right(), h.frame.left(), h.frame.right()),
            axis(h.devicePx.height(), h.deviceMm.height(), h.deviceUm.height(), h.bounds.top(),
                 h.bounds.bottom(), h.frame.top(), h.frame.bottom())};
}

class EmfPlayer {
  public:
    EmfPlayer(QImage& target, const RenderOptions& options) : p_(target, options) {}
    qint64 workSpent() const { return p_.workSpent(); }

    void play(QByteArrayView bytes, const EmfHeader& header);

  private:
    // Returns false when the record is damaged beyond reading. Dispatches on the type
    // to one handler per group of records; each handler returns the same.
    bool record(quint32 type, const ByteReader& r);
    bool state(quint32 type, const ByteReader& r);   // mapping, modes, colours, saved DCs
    bool object(quint32 type, const ByteReader& r);  // object table: create, select, delete
    bool poly(quint32 type, const ByteReader& r);    // point lists
    bool polyDraw(const ByteReader& r, bool small);
    bool shape(quint32 type, const ByteReader& r);  // lines, rectangles, ellipses, arcs
    bool path(quint32 type);
    bool paintRegion(quint32 type, const ByteReader& r);
    bool gradientFill(const ByteReader& r);
    bool smallTextOut(const ByteReader& r);
    bool clip(quint32 type, const ByteReader& r);
    QRectF rectL(const ByteReader& r, qint64 off) const {
        const double l = r.i32(off), t = r.i32(off + 4), rr = r.i32(off + 8), b = r.i32(off + 12);
        return QRectF(QPointF(l, t), QPointF(rr, b));
    }
    QPointF pointL(const ByteReader& r, qint64 off) const {
        return QPointF(r.i32(off), r.i32(off + 4));
    }
    // Points of a poly record: count at countOff, points at pointsOff, 16 or 32 bit.
    bool points(const ByteReader& r, qint64 countOff, qint64 pointsOff, bool small,
                std::vector<QPointF>& out) const;
    bool polyPoly(const ByteReader& r, bool small, std::vector<std::vector<QPointF>>& out) const;
    std::optional<QRegion> region(const ByteReader& r, qint64 off, qint64 size,
                                  const QTransform& t) const;
    QImage bitmap(const ByteReader& r, qint64 offsets, quint32 usage, bool alpha) const;
    bool textOut(const ByteReader& r, qint64 emrText, bool wide);
    bool blit(quint32 type, const ByteReader& r);

    Player p_;
    // Set when the file's EMF+ records are complete: they are then the picture.
    std::optional<EmfPlusPlayer> plus_;
};

bool EmfPlayer::points(const ByteReader& r, qint64 countOff, qint64 pointsOff, bool small,
                       std::vector<QPointF>& out) const {
    const quint32 count = r.u32(countOff);
    const qint64 each = small ? 4 : 8;
    if (!r.has(pointsOff, qint64(count) * each))
        return false;
    out.resize(count);
    for (quint32 i = 0; i < count; ++i) {
        const qint64 o = pointsOff + i * each;
        out[i] = small ? QPointF(r.i16(o), r.i16(o + 2)) : QPointF(r.i32(o), r.i32(o + 4));
    }
    return true;
}

bool EmfPlayer::polyPoly(const ByteReader& r, bool small,
                         std::vector<std::vector<QPointF>>& out) const {
    const quint32 polys = r.u32(24), total = r.u32(28);
    const qint64 each = small ? 4 : 8;
    if (!r.has(32, qint64(polys) * 4))
        return false;
    const qint64 pts = 32 + qint64(polys) * 4;
    if (!r.has(pts, qint64(total) * each))
        return false;
    qint64 used = 0;
    out.resize(polys);
    for (quint32 i = 0; i < polys; ++i) {
        const quint32 n = r.u32(32 + i * 4);
        if (qint64(n) > qint64(total) - used)
            return false;
        out[i].resize(n);
        for (quint32 k = 0; k < n; ++k) {
            const qint64 o = pts + (used + k) * each;
            out[i][k] = small ? QPointF(r.i16(o), r.i16(o + 2)) : QPointF(r.i32(o), r.i32(o + 4));
        }
        used += n;
    }
    return true;
}

// RGNDATA: a 32-byte header (size, type, count, region size, bounds) then count RECTLs.
std::optional<QRegion> EmfPlayer::region(const ByteReader& r, qint64 off, qint64 size,
                                         const QTransform& t) const {
    if (size < 32 || !r.has(off, size))
        return std::nullopt;
    const quint32 count = r.u32(off + 8);
    if (qint64(count) * 16 > size - 32)
        return std::nullopt;
    const QRect limit(-0x3fffffff, -0x3fffffff, 0x7ffffffe, 0x7ffffffe);
    std::vector<QRect> rects;
    rects.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const qint64 o = off + 32 + qint64(i) * 16;
        const QRect rc(QPoint(r.i32(o), r.i32(o + 4)), QPoint(r.i32(o + 8) - 1, r.i32(o + 12) - 1));
        if (!rc.isEmpty())
            rects.push_back(rc.intersected(limit));
    }
    return p_.regionToImage(rects, t);
}

// offsets: where offBmi, cbBmi, offBits, cbBits follow one another.
QImage EmfPlayer::bitmap(const ByteReader& r, qint64 o, quint32 usage, bool alpha) const {
    const quint32 offBmi = r.u32(o), cbBmi = r.u32(o + 4), offBits = r.u32(o + 8),
                  cbBits = r.u32(o + 12);
    if (cbBmi == 0 || !r.has(offBmi, cbBmi) || !r.has(offBits, cbBits))
        return {};
    DibOptions opt;
    opt.keepAlpha = alpha;
    opt.decodeCompressed = p_.options().decodeCompressedBitmaps;
    opt.maxDecodedBytes = p_.options().maxBitmapBytes;
    opt.paletteIndices = usage == kDibPalColors;
    // DIB_PAL_COLORS indexes the selected palette; the player's DC is not reachable
    // here, so such bitmaps fall back to grey levels inside decodeDib.
    return decodeDib(r.sub(offBmi, cbBmi), r.sub(offBits, cbBits), opt);
}

bool EmfPlayer::textOut(const ByteReader& r, qint64 t, bool wide) {
    // EMRTEXT: reference, nChars, offString, options, rectangle, offDx
    if (!r.has(t, 40))
        return false;
    const QPointF ref = pointL(r, t);
    const quint32 n = r.u32(t + 8), offString = r.u32(t + 12), options = r.u32(t + 16);
    const QRectF rect = rectL(r, t + 20);
    const quint32 offDx = r.u32(t + 36);
    const qint64 bytes = qint64(n) * (wide ? 2 : 1);
    if (!r.has(offString, bytes))
        return false;
    QString s;
    if (wide) {
        s.resize(n);
        for (quint32 i = 0; i < n; ++i)
            s[i] = QChar(r.u16(offString + 2 * i));
    } else {
        s = p_.textOfBytes(r.sub(offString, bytes));
    }
    std::vector<double> dx;
    const qint64 per = (options & gdi::EtoPdy) ? 2 : 1;
    if (offDx != 0 && r.has(offDx, qint64(n) * 4 * per)) {
        dx.resize(size_t(n * per));
        for (size_t i = 0; i < dx.size(); ++i)
            dx[i] = r.i32(offDx + qint64(i) * 4);
    }
    std::optional<QRectF> rc;
    if (options & (gdi::EtoOpaque | gdi::EtoClipped))
        rc = rect;
    p_.text(ref, s, dx, options, rc);
    return true;
}

bool EmfPlayer::blit(quint32 type, const ByteReader& r) {
    gdi::Blit b;
    QImage image;
    bool bottomUpSource = false;
    switch (type) {
        case BitBlt:
        case StretchBlt:
        case MaskBlt:
        case AlphaBlend:
        case TransparentBlt: {
            if (!r.has(0, type == BitBlt || type == MaskBlt ? 100 : 108))
                return false;
            b.dest = QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
            const quint32 rop = r.u32(40);
            const QTransform xform(r.f32(52), r.f32(56), r.f32(60), r.f32(64), r.f32(68),
                                   r.f32(72));
            const quint32 usage = r.u32(80);
            const double cx = (type == BitBlt || type == MaskBlt) ? b.dest.width() : r.i32(100);
            const double cy = (type == BitBlt || type == MaskBlt) ? b.dest.height() : r.i32(104);
            const QRectF src(r.i32(44), r.i32(48), cx, cy);
            b.source = xform.isInvertible() ? xform.mapRect(src) : src;
            image = bitmap(r, 84, usage, type == AlphaBlend);
            if (type == AlphaBlend) {
                b.alphaBlend = true;
                // AlphaBlend keeps a BLENDFUNCTION where the others keep a raster operation.
                b.constantAlpha = quint8(rop >> 16);
                if (!(quint8(rop >> 24) & kAcSrcAlpha) && !image.isNull())
                    image = image.convertToFormat(QImage::Format_RGB32);
                b.rop = gdi::RopSrcCopy;
            } else if (type == TransparentBlt) {
                if (!image.isNull()) {
                    const QRgb key = qRgb(rop & 0xff, (rop >> 8) & 0xff, (rop >> 16) & 0xff);
                    image = image.convertToFormat(QImage::Format_ARGB32);
                    for (int y = 0; y < image.height(); ++y) {
                        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                        for (int x = 0; x < image.width(); ++x)
                            if ((line[x] & 0xffffff) == (key & 0xffffff))
                                line[x] = 0;
                    }
                }
                b.rop = gdi::RopSrcCopy;
            } else {
                b.rop = type == MaskBlt ? (rop & kForegroundRop) : rop;
            }
            break;
        }
        case StretchDiBits:
        case SetDiBitsToDevice: {
            const bool stretch = type == StretchDiBits;
            if (!r.has(0, stretch ? 80 : 76))
                return false;
            const double cxSrc = r.i32(40), cySrc = r.i32(44);
            b.dest = QRectF(r.i32(24), r.i32(28), stretch ? r.i32(72) : cxSrc,
                            stretch ? r.i32(76) : cySrc);
            b.rop = stretch ? r.u32(68) : gdi::RopSrcCopy;
            image = bitmap(r, 48, r.u32(64), false);
            const quint32 offBmi = r.u32(48);
            bottomUpSource = r.i32(offBmi + 8) > 0 && r.u32(offBmi) >= 40;
            if (r.u32(offBmi) == 12)
                bottomUpSource = true;
            double ySrc = r.i32(36);
            if (bottomUpSource && !image.isNull())
                ySrc = image.height() - ySrc - cySrc;
            b.source = QRectF(r.i32(32), ySrc, cxSrc, cySrc);
            break;
        }
        default:
            return true;
    }
    if (!image.isNull())
        b.image = &image;
    p_.blit(b);
    return true;
}

bool EmfPlayer::record(quint32 type, const ByteReader& r) {
    if (plus_) {
        if (type == GdiComment && r.has(0, 16) && r.u32(12) == EmfPlusPlayer::kCommentId)
            return plus_->play(r.sub(16, std::min<qint64>(r.u32(8), r.size() - 12) - 4));
        // The EMF records are the fallback of the EMF+ drawing, except where a GetDC
        // record hands the drawing to them.
        if (!plus_->emfRecordsDraw())
            return true;
    }
    switch (type) {
        case SetWindowExtEx:
        case SetWindowOrgEx:
        case SetViewportExtEx:
        case SetViewportOrgEx:
        case ScaleViewportExtEx:
        case ScaleWindowExtEx:
        case SetMapMode:
        case SetBkMode:
        case SetPolyFillMode:
        case SetRop2:
        case SetTextAlign:
        case SetTextColor:
        case SetBkColor:
        case SetArcDirection:
        case SaveDc:
        case RestoreDc:
        case SetWorldTransform:
        case ModifyWorldTransform:
            return state(type, r);
        case SelectObject:
        case DeleteObject:
        case SelectPalette:
        case CreatePen:
        case ExtCreatePen:
        case CreateBrushIndirect:
        case CreateMonoBrush:
        case CreateDibPatternBrushPt:
        case ExtCreateFontIndirectW:
        case CreatePalette:
            return object(type, r);
        case PolyBezier:
        case Polygon:
        case Polyline:
        case PolyBezierTo:
        case PolylineTo:
        case PolyBezier16:
        case Polygon16:
        case Polyline16:
        case PolyBezierTo16:
        case PolylineTo16:
        case PolyPolyline:
        case PolyPolygon:
        case PolyPolyline16:
        case PolyPolygon16:
        case PolyDraw:
        case PolyDraw16:
            return poly(type, r);
        case MoveToEx:
        case LineTo:
        case SetPixelV:
        case Ellipse:
        case Rectangle:
        case RoundRect:
        case Arc:
        case ArcTo:
        case Chord:
        case Pie:
        case AngleArc:
            return shape(type, r);
        case BeginPath:
        case EndPath:
        case CloseFigure:
        case FillPath:
        case StrokeAndFillPath:
        case StrokePath:
        case FlattenPath:
        case WidenPath:
        case AbortPath:
            return path(type);
        case FillRgn:
        case FrameRgn:
        case InvertRgn:
        case PaintRgn:
            return paintRegion(type, r);
        case GradientFill:
            return gradientFill(r);
        case ExtTextOutA:
        case ExtTextOutW:
            return r.has(0, 76) && textOut(r, 36, type == ExtTextOutW);
        case SmallTextOut:
            return smallTextOut(r);
        case BitBlt:
        case StretchBlt:
        case MaskBlt:
        case AlphaBlend:
        case TransparentBlt:
        case StretchDiBits:
        case SetDiBitsToDevice:
            return blit(type, r);
        case OffsetClipRgn:
        case ExcludeClipRect:
        case IntersectClipRect:
        case SelectClipPath:
        case ExtSelectClipRgn:
            return clip(type, r);
        default:
            return true;  // comments (EMF+ included), ICM, palettes: nothing to draw
    }
}

bool EmfPlayer::state(quint32 type, const ByteReader& r) {
    Player& p = p_;
    auto& dc = p.dc();
    switch (type) {
        case SaveDc:
            p.saveDc();
            return true;
        case SetWindowExtEx:
        case SetWindowOrgEx:
        case SetViewportExtEx:
        case SetViewportOrgEx: {
            if (!r.has(0, 16))
                return false;
            const QPointF pt = pointL(r, 8);
            if (type == SetWindowExtEx)
                p.setWindowExt(pt);
            else if (type == SetWindowOrgEx)
                p.setWindowOrg(pt);
            else if (type == SetViewportExtEx)
                p.setViewportExt(pt);
            else
                p.setViewportOrg(pt);
            return true;
        }
        case ScaleViewportExtEx:
        case ScaleWindowExtEx: {
            if (!r.has(0, 24))
                return false;
            const double xn = r.i32(8), xd = r.i32(12), yn = r.i32(16), yd = r.i32(20);
            if (xd == 0 || yd == 0)
                return true;
            if (type == ScaleWindowExtEx)
                p.setWindowExt(QPointF(dc.windowExt.x() * xn / xd, dc.windowExt.y() * yn / yd));
            else
                p.setViewportExt(
                    QPointF(dc.viewportExt.x() * xn / xd, dc.viewportExt.y() * yn / yd));
            return true;
        }
        case SetWorldTransform:
        case ModifyWorldTransform: {
            if (!r.has(0, type == SetWorldTransform ? 32 : 36))
                return false;
            const QTransform t(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28));
            bool finite = true;
            for (qreal v : {t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy()})
                finite = finite && std::isfinite(v);
            if (!finite)
                return true;
            if (type == SetWorldTransform)
                p.setWorldTransform(t);
            else
                p.modifyWorldTransform(t, r.u32(32));
            return true;
        }
        default:
            break;
    }
    // The rest carry one 32-bit value.
    if (!r.has(0, 12))
        return false;
    const quint32 v = r.u32(8);
    switch (type) {
        case SetMapMode:
            p.setMapMode(int(v));
            break;
        case SetBkMode:
            dc.bkMode = int(v);
            break;
        case SetPolyFillMode:
            dc.polyFill = int(v);
            break;
        case SetRop2:
            dc.rop2 = int(v);
            break;
        case SetTextAlign:
            dc.textAlign = v;
            break;
        case SetTextColor:
            dc.textColor = colorRef(r, 8);
            break;
        case SetBkColor:
            dc.bkColor = colorRef(r, 8);
            break;
        case SetArcDirection:
            dc.clockwiseArcs = v == kArcClockwise;
            break;
        case RestoreDc:
            p.restoreDc(qint32(v));
            break;
    }
    return true;
}

bool EmfPlayer::object(quint32 type, const ByteReader& r) {
    Player& p = p_;
    switch (type) {
        case SelectObject:
        case DeleteObject:
        case SelectPalette: {
            if (!r.has(0, 12))
                return false;
            const quint32 index = r.u32(8);
            const bool stock = index & kStockObject;
            if (type == DeleteObject)
                p.deleteObject(index);
            else if (!stock)
                p.selectObject(index);
            else if (type == SelectObject)
                p.selectStockObject(index & ~kStockObject);
            return true;
        }
        case CreatePen: {
            if (!r.has(0, 28))
                return false;
            gdi::Pen pen;
            pen.style = r.u32(12);
            pen.width = r.i32(16);
            pen.cosmetic = false;
            pen.color = colorRef(r, 24);
            if (pen.width > 1 && (pen.style & gdi::PsStyleMask) <= gdi::PsDashDotDot)
                pen.style &= ~quint32(gdi::PsStyleMask);  // wide legacy pens are solid
            p.storeObject(r.u32(8), pen);
            return true;
        }
        case ExtCreatePen: {
            if (!r.has(0, 52))
                return false;
            gdi::Pen pen;
            pen.style = r.u32(28);
            pen.width = r.u32(32);
            pen.cosmetic = !(pen.style & gdi::PsGeometric);
            pen.color = colorRef(r, 40);
            if (r.u32(36) == gdi::BsNull)
                pen.style = (pen.style & ~quint32(gdi::PsStyleMask)) | gdi::PsNull;
            const quint32 entries = r.u32(48);
            if ((pen.style & gdi::PsStyleMask) == gdi::PsUserStyle && entries <= 64 &&
                r.has(52, qint64(entries) * 4))
                for (quint32 i = 0; i < entries; ++i)
                    pen.dashes.push_back(r.u32(52 + i * 4));
            p.storeObject(r.u32(8), pen);
            return true;
        }
        case CreateBrushIndirect: {
            if (!r.has(0, 24))
                return false;
            gdi::Brush brush;
            brush.style = r.u32(12);
            brush.color = colorRef(r, 16);
            brush.hatch = int(r.u32(20));
            if (brush.style != gdi::BsSolid && brush.style != gdi::BsNull &&
                brush.style != gdi::BsHatched)
                brush.style = gdi::BsSolid;
            p.storeObject(r.u32(8), brush);
            return true;
        }
        case CreateMonoBrush:
        case CreateDibPatternBrushPt: {
            if (!r.has(0, 32))
                return false;
            gdi::Brush brush;
            brush.style = gdi::BsDibPatternPt;
            brush.pattern = bitmap(r, 16, r.u32(12), false);
            brush.mono = type == CreateMonoBrush;
            brush.color = QColor(0x80, 0x80, 0x80);
            p.storeObject(r.u32(8), brush);
            return true;
        }
        case ExtCreateFontIndirectW: {
            if (!r.has(0, 104))
                return false;
            gdi::Font f = gdi::logFontFields(r, 12, 4);
            for (int i = 0; i < 32; ++i) {
                const char16_t c = r.u16(40 + 2 * i);
                if (c == 0)
                    break;
                f.face.append(QChar(c));
            }
            p.storeObject(r.u32(8), f);
            return true;
        }
        case CreatePalette: {
            if (!r.has(0, 16))
                return false;
            const quint16 n = r.u16(14);
            if (!r.has(16, qint64(n) * 4))
                return false;
            gdi::Palette pal(n);
            for (quint16 i = 0; i < n; ++i)
                pal[i] = qRgb(r.u8(16 + i * 4), r.u8(17 + i * 4), r.u8(18 + i * 4));
            p.storeObject(r.u32(8), pal);
            return true;
        }
    }
    return true;
}

bool EmfPlayer::poly(quint32 type, const ByteReader& r) {
    Player& p = p_;
    switch (type) {
        case PolyPolyline:
        case PolyPolygon:
        case PolyPolyline16:
        case PolyPolygon16: {
            std::vector<std::vector<QPointF>> polys;
            if (!r.has(0, 32) || !polyPoly(r, type >= PolyPolyline16, polys))
                return false;
            if (type == PolyPolygon || type == PolyPolygon16)
                p.polyPolygon(polys);
            else
                p.polyPolyline(polys);
            return true;
        }
        case PolyDraw:
        case PolyDraw16:
            return polyDraw(r, type == PolyDraw16);
        default:
            break;
    }
    std::vector<QPointF> pts;
    if (!r.has(0, 28) || !points(r, 24, 28, type >= PolyBezier16, pts))
        return false;
    switch (type) {
        case PolyBezier:
        case PolyBezier16:
            p.polyBezier(pts);
            break;
        case Polygon:
        case Polygon16:
            p.polygon(pts);
            break;
        case Polyline:
        case Polyline16:
            p.polyline(pts);
            break;
        case PolyBezierTo:
        case PolyBezierTo16:
            p.polyBezierTo(pts);
            break;
        default:
            p.polylineTo(pts);
            break;
    }
    return true;
}

bool EmfPlayer::polyDraw(const ByteReader& r, bool small) {
    Player& p = p_;
    std::vector<QPointF> pts;
    if (!r.has(0, 28) || !points(r, 24, 28, small, pts))
        return false;
    const qint64 typesOff = 28 + qint64(pts.size()) * (small ? 4 : 8);
    if (!r.has(typesOff, qint64(pts.size())))
        return false;
    // Played as separate segments through the path machinery of the player.
    for (size_t i = 0; i < pts.size(); ++i) {
        const quint8 t = r.u8(typesOff + qint64(i));
        const quint8 kind = t & PtKindMask;
        if (kind == PtMoveTo) {
            p.moveTo(pts[i]);
        } else if (kind == PtLineTo) {
            p.lineTo(pts[i]);
        } else if (kind == PtBezierTo && i + 2 < pts.size()) {
            p.polyBezierTo({pts[i], pts[i + 1], pts[i + 2]});
            i += 2;
        }
        if (t & PtCloseFigure)
            p.closeFigure();
    }
    return true;
}

bool EmfPlayer::shape(quint32 type, const ByteReader& r) {
    Player& p = p_;
    switch (type) {
        case MoveToEx:
        case LineTo:
            if (!r.has(0, 16))
                return false;
            if (type == MoveToEx)
                p.moveTo(pointL(r, 8));
            else
                p.lineTo(pointL(r, 8));
            return true;
        case SetPixelV:
            if (!r.has(0, 20))
                return false;
            p.setPixel(pointL(r, 8), colorRef(r, 16));
            return true;
        case Ellipse:
        case Rectangle:
            if (!r.has(0, 24))
                return false;
            if (type == Ellipse)
                p.ellipse(rectL(r, 8));
            else
                p.rectangle(rectL(r, 8));
            return true;
        case RoundRect:
            if (!r.has(0, 32))
                return false;
            p.roundRect(rectL(r, 8), QSizeF(r.i32(24), r.i32(28)));
            return true;
        case Arc:
        case ArcTo:
        case Chord:
        case Pie: {
            if (!r.has(0, 40))
                return false;
            const auto kind = type == Arc     ? Player::ArcKind::Arc
                              : type == ArcTo ? Player::ArcKind::ArcTo
                              : type == Chord ? Player::ArcKind::Chord
                                              : Player::ArcKind::Pie;
            p.arc(kind, rectL(r, 8), pointL(r, 24), pointL(r, 32));
            return true;
        }
        case AngleArc:
            if (!r.has(0, 28))
                return false;
            p.angleArc(pointL(r, 8), r.u32(16), r.f32(20), r.f32(24));
            return true;
    }
    return true;
}

bool EmfPlayer::path(quint32 type) {
    Player& p = p_;
    switch (type) {
        case BeginPath:
            p.beginPath();
            break;
        case EndPath:
            p.endPath();
            break;
        case CloseFigure:
            p.closeFigure();
            break;
        case FillPath:
            p.fillPath();
            break;
        case StrokeAndFillPath:
            p.strokeAndFillPath();
            break;
        case StrokePath:
            p.strokePath();
            break;
        case FlattenPath:
            p.flattenPath();
            break;
        case WidenPath:
            p.widenPath();
            break;
        case AbortPath:
            p.abortPath();
            break;
    }
    return true;
}

bool EmfPlayer::paintRegion(quint32 type, const ByteReader& r) {
    Player& p = p_;
    auto& dc = p.dc();
    const qint64 dataOff = type == FillRgn ? 32 : type == FrameRgn ? 40 : 28;
    if (!r.has(0, dataOff))
        return false;
    const auto rgn = region(r, dataOff, r.u32(24), p.logicalToImage());
    if (!rgn)
        return false;
    gdi::Brush brush = dc.brush;
    if (type == FillRgn || type == FrameRgn) {
        const quint32 ih = r.u32(28);
        if (ih & kStockObject) {
            const gdi::DcState saved = dc;
            p.selectStockObject(ih & ~kStockObject);
            brush = dc.brush;
            dc = saved;
        } else if (const auto* o = p.object(ih); o && std::get_if<gdi::Brush>(o)) {
            brush = std::get<gdi::Brush>(*o);
        }
    }
    if (type == InvertRgn)
        p.invertRegion(*rgn);
    else if (type == FrameRgn)
        p.frameRegion(*rgn, brush, QSizeF(r.i32(32), r.i32(36)));
    else
        p.fillRegion(*rgn, brush);
    return true;
}

bool EmfPlayer::gradientFill(const ByteReader& r) {
    Player& p = p_;
    auto& dc = p.dc();
    if (!r.has(0, 36))
        return false;
    const quint32 nVer = r.u32(24), nTri = r.u32(28), mode = r.u32(32);
    const qint64 each = mode == GradientTriangle ? 12 : 8;
    if (!r.has(36, qint64(nVer) * 16) || !r.has(36 + qint64(nVer) * 16, qint64(nTri) * each))
        return false;
    auto vertex = [&](quint32 i, QPointF& pt, QColor& c) {
        if (i >= nVer)
            return false;
        const qint64 o = 36 + qint64(i) * 16;
        pt = pointL(r, o);
        c = QColor(r.u16(o + 8) >> 8, r.u16(o + 10) >> 8, r.u16(o + 12) >> 8);
        return true;
    };
    const qint64 base = 36 + qint64(nVer) * 16;
    for (quint32 k = 0; k < nTri && p.budgetLeft(); ++k) {
        QPointF a, b, c;
        QColor ca, cb, cc;
        const qint64 o = base + k * each;
        if (!vertex(r.u32(o), a, ca) || !vertex(r.u32(o + 4), b, cb))
            continue;
        gdi::Brush saved = dc.brush;
        gdi::Pen savedPen = dc.pen;
        dc.pen.style = gdi::PsNull;
        if (mode == GradientTriangle) {
            if (!vertex(r.u32(o + 8), c, cc))
                continue;
            dc.brush = gdi::Brush{gdi::BsSolid,
                                  QColor((ca.red() + cb.red() + cc.red()) / 3,
                                         (ca.green() + cb.green() + cc.green()) / 3,
                                         (ca.blue() + cb.blue() + cc.blue()) / 3),
                                  0,
                                  {},
                                  false};
            p.polygon({a, b, c});
        } else {
            // Rectangles in bands of the interpolated colour, no more bands than the
            // target pixels the rectangle spans along the gradient.
            const QRectF rc = QRectF(a, b).normalized();
            const QRectF px = p.logicalToImage().mapRect(rc);
            const double span = mode == GradientRectH ? px.width() : px.height();
            const int steps = int(std::clamp(std::ceil(span), 1.0, 64.0));
            for (int i = 0; i < steps; ++i) {
                const double f = (i + 0.5) / steps;
                dc.brush.style = gdi::BsSolid;
                dc.brush.color = QColor(int(ca.red() + (cb.red() - ca.red()) * f),
                                        int(ca.green() + (cb.green() - ca.green()) * f),
                                        int(ca.blue() + (cb.blue() - ca.blue()) * f));
                const QRectF band = mode == GradientRectH
                                        ? QRectF(rc.x() + rc.width() * i / steps, rc.y(),
                                                 rc.width() / steps + 0.5, rc.height())
                                        : QRectF(rc.x(), rc.y() + rc.height() * i / steps,
                                                 rc.width(), rc.height() / steps + 0.5);
                p.rectangle(band);
            }
        }
        dc.brush = saved;
        dc.pen = savedPen;
    }
    return true;
}

bool EmfPlayer::smallTextOut(const ByteReader& r) {
    if (!r.has(0, 36))
        return false;
    const quint32 n = r.u32(16), options = r.u32(20);
    const bool hasRect = !(options & gdi::EtoNoRect);
    const qint64 textOff = hasRect ? 52 : 36;
    const bool small = options & gdi::EtoSmallChars;
    if (!r.has(textOff, qint64(n) * (small ? 1 : 2)))
        return false;
    QString s;
    if (small) {
        s = p_.textOfBytes(r.sub(textOff, n));
    } else {
        for (quint32 i = 0; i < n; ++i)
            s.append(QChar(r.u16(textOff + 2 * i)));
    }
    std::optional<QRectF> rc;
    if (hasRect && (options & (gdi::EtoOpaque | gdi::EtoClipped)))
        rc = rectL(r, 36);
    p_.text(pointL(r, 8), s, {}, options & ~quint32(gdi::EtoGlyphIndex), rc);
    return true;
}

bool EmfPlayer::clip(quint32 type, const ByteReader& r) {
    Player& p = p_;
    switch (type) {
        case OffsetClipRgn:
            if (!r.has(0, 16))
                return false;
            p.offsetClip(pointL(r, 8));
            return true;
        case ExcludeClipRect:
        case IntersectClipRect:
            if (!r.has(0, 24))
                return false;
            if (type == ExcludeClipRect)
                p.excludeClipRect(rectL(r, 8));
            else
                p.intersectClipRect(rectL(r, 8));
            return true;
        case SelectClipPath:
            if (!r.has(0, 12))
                return false;
            p.selectClipPath(int(r.u32(8)));
            return true;
        case ExtSelectClipRgn: {
            if (!r.has(0, 16))
                return false;
            const quint32 cb = r.u32(8), mode = r.u32(12);
            if (cb == 0 || (mode == gdi::RgnCopy && !r.has(16, 32))) {
                if (mode == gdi::RgnCopy)
                    p.combineClip(std::nullopt, gdi::RgnCopy);
                return true;
            }
            const auto rgn = region(r, 16, cb, p.deviceToImage());
            if (!rgn)
                return false;
            p.combineClip(rgn, int(mode));
            return true;
        }
    }
    return true;
}

void EmfPlayer::play(QByteArrayView bytes, const EmfHeader& h) {
    const QPointF pxPerMm = referencePxPerMm(h);
    const double pxPerMmX = pxPerMm.x(), pxPerMmY = pxPerMm.y();
    QRectF frame(h.frame.left() * pxPerMmX / 100, h.frame.top() * pxPerMmY / 100,
                 (double(h.frame.right()) - h.frame.left()) * pxPerMmX / 100,
                 (double(h.frame.bottom()) - h.frame.top()) * pxPerMmY / 100);
    if (!(frame.width() > 0 && frame.height() > 0))
        frame =
            QRectF(h.bounds.left(), h.bounds.top(), double(h.bounds.right()) - h.bounds.left() + 1,
                   double(h.bounds.bottom()) - h.bounds.top() + 1);
    if (!(frame.width() > 0 && frame.height() > 0))
        return;
    const QSize size = p_.imageSize();
    const QTransform deviceToImage =
        QTransform::fromTranslate(-frame.x(), -frame.y()) *
        QTransform::fromScale(size.width() / frame.width(), size.height() / frame.height());
    p_.setDevice(pxPerMmX, pxPerMmY, deviceToImage);
    p_.resetObjects(h.handles);
    if (EmfPlusPlayer::complete(bytes, h.size))
        plus_.emplace(p_);

    const ByteReader all(bytes);
    qint64 off = h.size;
    while (all.has(off, 8)) {
        const quint32 type = all.u32(off), length = all.u32(off + 4);
        if (length < 8 || !all.has(off, length))
            return;  // a record that does not fit: the damage starts here
        if (type == Eof)
            return;
        if (!record(type, ByteReader(bytes.sliced(off, length))) || !p_.spendRecord())
            return;
        off += length;
    }
}

}  // namespace

std::optional<EmfHeader> readEmfHeader(QByteArrayView bytes) {
    const ByteReader r(bytes);
    if (!r.has(0, 88) || r.u32(0) != Header || r.u32(40) != Signature)
        return std::nullopt;
    EmfHeader h;
    h.size = r.u32(4);
    if (h.size < 88 || !r.has(0, h.size))
        return std::nullopt;
    h.bounds = QRect(QPoint(r.i32(8), r.i32(12)), QPoint(r.i32(16), r.i32(20)));
    h.frame = QRect(QPoint(r.i32(24), r.i32(28)), QPoint(r.i32(32), r.i32(36)));
    h.handles = r.u16(56);
    h.devicePx = QSize(r.i32(72), r.i32(76));
    h.deviceMm = QSizeF(r.i32(80), r.i32(84));
    // The optional tail after the 88-byte base (pixel format, then the device size in
    // micrometres) is there only where the record reaches it and neither the description
    // nor the pixel format starts inside it: older writers put the description straight
    // after the base and count it in the record's size.
    qint64 end = h.size;
    const quint32 descriptionChars = r.u32(60), descriptionOffset = r.u32(64);
    if (descriptionChars > 0 && descriptionOffset >= 88)
        end = std::min<qint64>(end, descriptionOffset);
    if (end >= 100 && r.u32(88) > 0 && r.u32(92) >= 88)
        end = std::min<qint64>(end, r.u32(92));
    if (end >= 108 && r.i32(100) > 0 && r.i32(104) > 0)
        h.deviceUm = QSizeF(r.i32(100), r.i32(104));
    return h;
}

qint64 playEmf(QByteArrayView bytes, QImage& target, const RenderOptions& options) {
    const auto header = readEmfHeader(bytes);
    if (!header)
        return 0;
    EmfPlayer player(target, options);
    player.play(bytes, *header);
    return player.workSpent();
}

}  // namespace pictrove::metafile
