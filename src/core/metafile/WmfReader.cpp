#include "core/bytes/ByteReader.h"
#include "core/metafile/Dib.h"
#include "core/metafile/Gdi.h"
#include "core/metafile/Readers.h"
#include "core/metafile/RecordTypes.h"

namespace pictrove::metafile {

using bytes::ByteReader;

namespace {

using gdi::Player;

using namespace meta;

constexpr quint16 kDibPalColors = 1;  // a bitmap's colours index the selected palette
constexpr quint8 kSymbolCharset = 2;  // a face name in a symbol charset is plain ANSI

class WmfPlayer {
  public:
    WmfPlayer(QImage& target, const RenderOptions& options) : p_(target, options) {
        p_.setWmfMode(true);
    }
    qint64 workSpent() const { return p_.workSpent(); }
    void play(QByteArrayView bytes, qint64 headerOffset, std::optional<QRect> bounds);

  private:
    // A record's bytes. Its parameter words follow the 6-byte record head; many
    // records list them backwards.
    struct Record : ByteReader {
        using ByteReader::ByteReader;
        qint16 w(int i) const { return i16(6 + 2 * i); }
        quint16 uw(int i) const { return u16(6 + 2 * i); }
        bool need(int words) const { return has(0, 6 + 2 * qint64(words)); }
    };

    // Returns false when the record is damaged beyond reading. Dispatches on the
    // function to one handler per group of records; each handler returns the same.
    bool record(quint16 function, const Record& r);
    bool state(quint16 fn, const Record& r);   // mapping, modes, colours, saved DCs
    bool object(quint16 fn, const Record& r);  // object table: create, select, delete
    static gdi::Region region(const Record& r);
    bool shape(quint16 fn, const Record& r);  // lines, rectangles, ellipses, arcs, polygons
    bool paintRegion(quint16 fn, const Record& r);
    bool blit(quint16 fn, const Record& r);
    bool textOut(const Record& r);
    bool extTextOut(const Record& r);
    bool clip(quint16 fn, const Record& r);
    QImage dib(const ByteReader& r, qint64 off, bool paletteIndices) const;
    const gdi::Region* regionAt(quint16 index) const {
        const gdi::Object* o = p_.object(index);
        return o ? std::get_if<gdi::Region>(o) : nullptr;
    }
    const gdi::Brush* brushAt(quint16 index) const {
        const gdi::Object* o = p_.object(index);
        return o ? std::get_if<gdi::Brush>(o) : nullptr;
    }

    Player p_;
};

QColor colorRef(const ByteReader& r, qint64 off) {
    return QColor(r.u8(off), r.u8(off + 1), r.u8(off + 2));
}

QImage WmfPlayer::dib(const ByteReader& r, qint64 off, bool paletteIndices) const {
    DibOptions opt;
    opt.decodeCompressed = p_.options().decodeCompressedBitmaps;
    opt.maxDecodedBytes = p_.options().maxBitmapBytes;
    opt.paletteIndices = paletteIndices;
    return decodePackedDib(r.sub(off, r.size() - off), opt);
}

bool WmfPlayer::record(quint16 fn, const Record& r) {
    switch (fn) {
        case SaveDc:
        case RestoreDc:
        case SetBkMode:
        case SetMapMode:
        case SetRop2:
        case SetPolyFillMode:
        case SetTextCharExtra:
        case SetTextAlign:
        case SetBkColor:
        case SetTextColor:
        case SetWindowOrg:
        case SetWindowExt:
        case SetViewportOrg:
        case SetViewportExt:
        case OffsetWindowOrg:
        case OffsetViewportOrg:
        case ScaleWindowExt:
        case ScaleViewportExt:
            return state(fn, r);
        case SelectObject:
        case SelectPalette:
        case DeleteObject:
        case CreatePenIndirect:
        case CreateBrushIndirect:
        case DibCreatePatternBrush:
        case CreatePatternBrush:
        case CreateFontIndirect:
        case CreatePalette:
        case CreateRegion:
            return object(fn, r);
        case LineTo:
        case MoveTo:
        case Ellipse:
        case Rectangle:
        case RoundRect:
        case Arc:
        case Pie:
        case Chord:
        case Polygon:
        case Polyline:
        case PolyPolygon:
        case SetPixel:
            return shape(fn, r);
        case PaintRegion:
        case InvertRegion:
        case FillRegion:
        case FrameRegion:
            return paintRegion(fn, r);
        case PatBlt:
        case DibBitBlt:
        case DibStretchBlt:
        case StretchDib:
        case SetDibToDev:
            return blit(fn, r);
        case TextOut:
            return textOut(r);
        case ExtTextOut:
            return extTextOut(r);
        case SelectClipRegion:
        case OffsetClipRgn:
        case ExcludeClipRect:
        case IntersectClipRect:
            return clip(fn, r);
        default:
            return true;  // escapes, palette realisation, stretch modes: nothing to draw
    }
}

bool WmfPlayer::state(quint16 fn, const Record& r) {
    Player& p = p_;
    auto& dc = p.dc();
    switch (fn) {
        case SaveDc:
            p.saveDc();
            return true;
        case SetBkColor:
        case SetTextColor:
            if (!r.need(2))
                return false;
            (fn == SetBkColor ? dc.bkColor : dc.textColor) = colorRef(r, 6);
            return true;
        case SetWindowOrg:
        case SetWindowExt:
        case SetViewportOrg:
        case SetViewportExt:
        case OffsetWindowOrg:
        case OffsetViewportOrg: {
            if (!r.need(2))
                return false;
            const QPointF pt(r.w(1), r.w(0));
            if (fn == SetWindowOrg)
                p.setWindowOrg(pt);
            else if (fn == SetWindowExt)
                p.setWindowExt(pt);
            else if (fn == SetViewportOrg)
                p.setViewportOrg(pt);
            else if (fn == SetViewportExt)
                p.setViewportExt(pt);
            else if (fn == OffsetWindowOrg)
                p.setWindowOrg(dc.windowOrg + pt);
            else
                p.setViewportOrg(dc.viewportOrg + pt);
            return true;
        }
        case ScaleWindowExt:
        case ScaleViewportExt: {
            if (!r.need(4))
                return false;
            const double yd = r.w(0), yn = r.w(1), xd = r.w(2), xn = r.w(3);
            if (xd == 0 || yd == 0)
                return true;
            if (fn == ScaleWindowExt)
                p.setWindowExt(QPointF(dc.windowExt.x() * xn / xd, dc.windowExt.y() * yn / yd));
            else
                p.setViewportExt(
                    QPointF(dc.viewportExt.x() * xn / xd, dc.viewportExt.y() * yn / yd));
            return true;
        }
        default:
            break;
    }
    // The rest carry one word.
    if (!r.need(1))
        return false;
    const quint16 v = r.uw(0);
    switch (fn) {
        case SetBkMode:
            dc.bkMode = v;
            break;
        case SetMapMode:
            p.setMapMode(v);
            break;
        case SetRop2:
            dc.rop2 = v;
            break;
        case SetPolyFillMode:
            dc.polyFill = v;
            break;
        case SetTextCharExtra:
            dc.charExtra = r.w(0);
            break;
        case RestoreDc:
            p.restoreDc(r.w(0));
            break;
        case SetTextAlign:
            dc.textAlign = v;
            break;
    }
    return true;
}

bool WmfPlayer::object(quint16 fn, const Record& r) {
    Player& p = p_;
    switch (fn) {
        case SelectObject:
        case SelectPalette:
        case DeleteObject:
            if (!r.need(1))
                return false;
            if (fn == DeleteObject)
                p.deleteObject(r.uw(0));
            else
                p.selectObject(r.uw(0));
            return true;
        case CreatePenIndirect: {
            if (!r.need(5))
                return false;
            gdi::Pen pen;
            pen.style = r.uw(0);
            pen.width = r.w(1);
            pen.cosmetic = false;
            pen.color = colorRef(r, 12);
            if (pen.width > 1 && (pen.style & gdi::PsStyleMask) <= gdi::PsDashDotDot)
                pen.style &= ~quint32(gdi::PsStyleMask);
            p.addObject(pen);
            return true;
        }
        case CreateBrushIndirect: {
            if (!r.need(4))
                return false;
            gdi::Brush brush;
            brush.style = r.uw(0);
            brush.color = colorRef(r, 8);
            brush.hatch = r.uw(3);
            if (brush.style != gdi::BsSolid && brush.style != gdi::BsNull &&
                brush.style != gdi::BsHatched)
                brush.style = gdi::BsSolid;
            p.addObject(brush);
            return true;
        }
        case DibCreatePatternBrush: {
            gdi::Brush brush;
            brush.style = gdi::BsDibPatternPt;
            brush.color = QColor(0x80, 0x80, 0x80);
            if (r.need(2))
                brush.pattern = dib(r, 10, r.uw(1) == kDibPalColors && r.uw(0) != gdi::BsPattern);
            p.addObject(brush);
            return true;
        }
        case CreatePatternBrush:
            // An old device-dependent bitmap; it still takes a slot in the table.
            p.addObject(gdi::Brush{gdi::BsSolid, QColor(0x80, 0x80, 0x80), 0, {}, false});
            return true;
        case CreateFontIndirect: {
            if (!r.need(9))
                return false;
            gdi::Font f = gdi::logFontFields(r, 6, 2);
            QByteArray face;
            for (qint64 i = 24; i < 24 + 32 && r.has(i, 1) && r.u8(i) != 0; ++i)
                face.append(char(r.u8(i)));
            f.face = Player::decodeAnsi(face, f.charset == kSymbolCharset ? 0 : f.charset);
            p.addObject(f);
            return true;
        }
        case CreatePalette: {
            gdi::Palette pal;
            if (r.need(2)) {
                const quint16 n = r.uw(1);
                for (int i = 0; i < n && r.has(10 + 4 * qint64(i), 4); ++i)
                    pal.push_back(qRgb(r.u8(10 + 4 * i), r.u8(11 + 4 * i), r.u8(12 + 4 * i)));
            }
            p.addObject(pal);
            return true;
        }
        case CreateRegion:
            p.addObject(region(r));
            return true;
    }
    return true;
}

// Region header (nextInChain, type, count, size, scan count, max scan, bounds) then
// scans of (count, top, bottom, count/2 x-pairs, count).
gdi::Region WmfPlayer::region(const Record& r) {
    gdi::Region region;
    if (!r.need(11))
        return region;
    const quint16 scans = r.uw(5);
    const QRect bounds(QPoint(r.w(7), r.w(8)), QPoint(r.w(9) - 1, r.w(10) - 1));
    std::vector<QRect>& parts = region.rects;
    qint64 off = 28;
    for (int s = 0; s < scans && r.has(off, 6); ++s) {
        const quint16 count = r.u16(off);
        const int top = r.i16(off + 2), bottom = r.i16(off + 4);
        if (!r.has(off + 6, qint64(count) * 2 + 2))
            break;
        for (int k = 0; k + 1 < count; k += 2) {
            const int left = r.i16(off + 6 + 2 * k), right = r.i16(off + 8 + 2 * k);
            const QRect rc(QPoint(left, top), QPoint(right - 1, bottom - 1));
            if (!rc.isEmpty())
                parts.push_back(rc);
        }
        off += 6 + qint64(count) * 2 + 2;
    }
    if (scans == 0 && !bounds.isEmpty())
        parts.push_back(bounds);
    return region;
}

bool WmfPlayer::shape(quint16 fn, const Record& r) {
    Player& p = p_;
    switch (fn) {
        case LineTo:
        case MoveTo:
            if (!r.need(2))
                return false;
            if (fn == LineTo)
                p.lineTo(QPointF(r.w(1), r.w(0)));
            else
                p.moveTo(QPointF(r.w(1), r.w(0)));
            return true;
        case Ellipse:
        case Rectangle: {
            if (!r.need(4))
                return false;
            const QRectF rc(QPointF(r.w(3), r.w(2)), QPointF(r.w(1), r.w(0)));
            if (fn == Ellipse)
                p.ellipse(rc);
            else
                p.rectangle(rc);
            return true;
        }
        case RoundRect:
            if (!r.need(6))
                return false;
            p.roundRect(QRectF(QPointF(r.w(5), r.w(4)), QPointF(r.w(3), r.w(2))),
                        QSizeF(r.w(1), r.w(0)));
            return true;
        case Arc:
        case Pie:
        case Chord: {
            if (!r.need(8))
                return false;
            const auto kind = fn == Arc   ? Player::ArcKind::Arc
                              : fn == Pie ? Player::ArcKind::Pie
                                          : Player::ArcKind::Chord;
            p.arc(kind, QRectF(QPointF(r.w(7), r.w(6)), QPointF(r.w(5), r.w(4))),
                  QPointF(r.w(3), r.w(2)), QPointF(r.w(1), r.w(0)));
            return true;
        }
        case Polygon:
        case Polyline: {
            if (!r.need(1))
                return false;
            const quint16 n = r.uw(0);
            if (!r.need(1 + 2 * n))
                return false;
            std::vector<QPointF> pts(n);
            for (int i = 0; i < n; ++i)
                pts[size_t(i)] = QPointF(r.w(1 + 2 * i), r.w(2 + 2 * i));
            if (fn == Polygon)
                p.polygon(pts);
            else
                p.polyline(pts);
            return true;
        }
        case PolyPolygon: {
            if (!r.need(1))
                return false;
            const quint16 polys = r.uw(0);
            if (!r.need(1 + polys))
                return false;
            qint64 total = 0;
            for (int i = 0; i < polys; ++i)
                total += r.uw(1 + i);
            if (!r.has(6 + 2 * (1 + qint64(polys)), total * 4))
                return false;
            std::vector<std::vector<QPointF>> all(polys);
            int at = 1 + polys;
            for (int i = 0; i < polys; ++i) {
                all[size_t(i)].resize(r.uw(1 + i));
                for (auto& pt : all[size_t(i)]) {
                    pt = QPointF(r.w(at), r.w(at + 1));
                    at += 2;
                }
            }
            p.polyPolygon(all);
            return true;
        }
        case SetPixel:
            if (!r.need(4))
                return false;
            p.setPixel(QPointF(r.w(3), r.w(2)), colorRef(r, 6));
            return true;
    }
    return true;
}

bool WmfPlayer::paintRegion(quint16 fn, const Record& r) {
    Player& p = p_;
    if (fn == PaintRegion || fn == InvertRegion) {
        if (!r.need(1))
            return false;
        if (const gdi::Region* rg = regionAt(r.uw(0))) {
            if (fn == PaintRegion)
                p.fillRegion(p.logicalRegionToImage(rg->rects), p.dc().brush);
            else
                p.invertRegion(p.logicalRegionToImage(rg->rects));
        }
        return true;
    }
    if (!r.need(fn == FillRegion ? 2 : 4))
        return false;
    const gdi::Region* rg = regionAt(r.uw(0));
    const gdi::Brush* brush = brushAt(r.uw(1));
    if (!rg || !brush)
        return true;
    const QRegion image = p.logicalRegionToImage(rg->rects);
    if (fn == FillRegion)
        p.fillRegion(image, *brush);
    else
        p.frameRegion(image, *brush, QSizeF(r.w(3), r.w(2)));
    return true;
}

bool WmfPlayer::blit(quint16 fn, const Record& r) {
    gdi::Blit b;
    QImage image;
    // A bitblt without a bitmap has one word more than its function's high byte
    // counts, besides the three of the record head.
    const qint64 words = r.size() / 2;
    const bool noBitmap = words == (fn >> 8) + 3;
    const int k = noBitmap ? 1 : 0;
    switch (fn) {
        case PatBlt:
            if (!r.need(6))
                return false;
            b.rop = r.u32(6);
            b.dest = QRectF(r.w(5), r.w(4), r.w(3), r.w(2));
            break;
        case DibBitBlt:
            if (!r.need(noBitmap ? 9 : 8))
                return false;
            b.rop = r.u32(6);
            b.source = QRectF(r.w(3), r.w(2), r.w(5 + k), r.w(4 + k));
            b.dest = QRectF(r.w(7 + k), r.w(6 + k), r.w(5 + k), r.w(4 + k));
            if (!noBitmap)
                image = dib(r, 22, false);
            break;
        case DibStretchBlt:
            if (!r.need(noBitmap ? 11 : 10))
                return false;
            b.rop = r.u32(6);
            b.source = QRectF(r.w(5), r.w(4), r.w(3), r.w(2));
            b.dest = QRectF(r.w(9 + k), r.w(8 + k), r.w(7 + k), r.w(6 + k));
            if (!noBitmap)
                image = dib(r, 26, false);
            break;
        case StretchDib: {
            if (!r.need(11))
                return false;
            b.rop = r.u32(6);
            image = dib(r, 28, r.uw(2) == kDibPalColors);
            double ySrc = r.w(5);
            if (!image.isNull() && r.i32(28 + 8) > 0)
                ySrc = image.height() - ySrc - r.w(3);
            b.source = QRectF(r.w(6), ySrc, r.w(4), r.w(3));
            b.dest = QRectF(r.w(10), r.w(9), r.w(8), r.w(7));
            break;
        }
        default: {  // SetDibToDev
            if (!r.need(9))
                return false;
            image = dib(r, 24, r.uw(0) == kDibPalColors);
            double ySrc = r.w(3);
            if (!image.isNull() && r.i32(24 + 8) > 0)
                ySrc = image.height() - ySrc - r.w(5);
            b.source = QRectF(r.w(4), ySrc, r.w(6), r.w(5));
            b.dest = QRectF(r.w(8), r.w(7), r.w(6), r.w(5));
            break;
        }
    }
    if (!image.isNull())
        b.image = &image;
    p_.blit(b);
    return true;
}

bool WmfPlayer::textOut(const Record& r) {
    if (!r.need(1))
        return false;
    const quint16 n = r.uw(0);
    const qint64 padded = (n + 1) & ~1;
    if (!r.has(8, padded + 4))
        return false;
    const QString s = p_.textOfBytes(r.sub(8, n));
    p_.text(QPointF(r.i16(8 + padded + 2), r.i16(8 + padded)), s, {}, 0, std::nullopt);
    return true;
}

bool WmfPlayer::extTextOut(const Record& r) {
    if (!r.need(4))
        return false;
    const QPointF ref(r.w(1), r.w(0));
    const quint16 n = r.uw(2), options = r.uw(3);
    qint64 off = 14;
    std::optional<QRectF> rect;
    if (options & (gdi::EtoOpaque | gdi::EtoClipped)) {
        if (!r.has(off, 8))
            return false;
        rect = QRectF(QPointF(r.i16(off), r.i16(off + 2)), QPointF(r.i16(off + 4), r.i16(off + 6)));
        off += 8;
    }
    if (!r.has(off, n))
        return false;
    const QString s = p_.textOfBytes(r.sub(off, n));
    off += (n + 1) & ~1;
    std::vector<double> dx;
    if (r.has(off, qint64(n) * 2)) {
        dx.resize(n);
        for (int i = 0; i < n; ++i)
            dx[size_t(i)] = r.i16(off + 2 * i);
    }
    p_.text(ref, s, dx, options & ~quint32(gdi::EtoGlyphIndex | gdi::EtoPdy), rect);
    return true;
}

bool WmfPlayer::clip(quint16 fn, const Record& r) {
    Player& p = p_;
    switch (fn) {
        case SelectClipRegion:
            if (!r.need(1))
                return false;
            if (const gdi::Region* rg = regionAt(r.uw(0)))
                p.combineClip(p.logicalRegionToImage(rg->rects), gdi::RgnCopy);
            else
                p.combineClip(std::nullopt, gdi::RgnCopy);
            return true;
        case OffsetClipRgn:
            if (!r.need(2))
                return false;
            p.offsetClip(QPointF(r.w(1), r.w(0)));
            return true;
        case ExcludeClipRect:
        case IntersectClipRect: {
            if (!r.need(4))
                return false;
            const QRectF rc(QPointF(r.w(3), r.w(2)), QPointF(r.w(1), r.w(0)));
            if (fn == ExcludeClipRect)
                p.excludeClipRect(rc);
            else
                p.intersectClipRect(rc);
            return true;
        }
    }
    return true;
}

void WmfPlayer::play(QByteArrayView bytes, qint64 headerOffset, std::optional<QRect> bounds) {
    const ByteReader all(bytes);
    const quint16 headerWords = all.u16(headerOffset + 2);
    p_.resetObjects(all.u16(headerOffset + 10));
    if (bounds) {
        p_.setWindowOrg(bounds->topLeft());
        p_.setWindowExt(QPointF(bounds->width(), bounds->height()));
    } else {
        p_.setWindowExt(QPointF(p_.imageSize().width(), p_.imageSize().height()));
    }
    qint64 off = headerOffset + qint64(headerWords) * 2;
    while (all.has(off, 6)) {
        const qint64 size = qint64(all.u32(off)) * 2;
        const quint16 fn = all.u16(off + 4);
        if (size < 6 || !all.has(off, size))
            return;
        if (fn == Eof)
            return;
        if (!record(fn, Record(bytes.sliced(off, size))) || !p_.spendRecord())
            return;
        off += size;
    }
}

}  // namespace

qint64 playWmf(QByteArrayView bytes, QImage& target, const RenderOptions& options) {
    const ByteReader r(bytes);
    qint64 header = 0;
    std::optional<QRect> bounds;
    if (r.u32(0) == PlaceableKey) {
        header = 22;
        const int l = r.i16(6), t = r.i16(8), rr = r.i16(10), b = r.i16(12);
        if (rr != l && b != t)
            bounds = QRect(QPoint(l, t), QSize(rr - l, b - t));
    }
    if (!r.has(header, 18) || r.u16(header + 2) < 9)
        return 0;
    WmfPlayer player(target, options);
    player.play(bytes, header, bounds);
    return player.workSpent();
}

}  // namespace pictrove::metafile
