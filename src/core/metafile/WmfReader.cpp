#include "core/metafile/ByteReader.h"
#include "core/metafile/Dib.h"
#include "core/metafile/Gdi.h"
#include "core/metafile/Readers.h"

namespace pictrove::metafile {

namespace {

using gdi::Player;

enum Meta : quint16 {
    Eof = 0x0000,
    SaveDc = 0x001E,
    RealizePalette = 0x0035,
    CreatePalette = 0x00F7,
    SetBkMode = 0x0102,
    SetMapMode = 0x0103,
    SetRop2 = 0x0104,
    SetPolyFillMode = 0x0106,
    SetStretchBltMode = 0x0107,
    SetTextCharExtra = 0x0108,
    RestoreDc = 0x0127,
    InvertRegion = 0x012A,
    PaintRegion = 0x012B,
    SelectClipRegion = 0x012C,
    SelectObject = 0x012D,
    SetTextAlign = 0x012E,
    DibCreatePatternBrush = 0x0142,
    DeleteObject = 0x01F0,
    CreatePatternBrush = 0x01F9,
    SetBkColor = 0x0201,
    SetTextColor = 0x0209,
    SetWindowOrg = 0x020B,
    SetWindowExt = 0x020C,
    SetViewportOrg = 0x020D,
    SetViewportExt = 0x020E,
    OffsetWindowOrg = 0x020F,
    OffsetViewportOrg = 0x0211,
    LineTo = 0x0213,
    MoveTo = 0x0214,
    OffsetClipRgn = 0x0220,
    FillRegion = 0x0228,
    SelectPalette = 0x0234,
    CreatePenIndirect = 0x02FA,
    CreateFontIndirect = 0x02FB,
    CreateBrushIndirect = 0x02FC,
    Polygon = 0x0324,
    Polyline = 0x0325,
    ScaleWindowExt = 0x0410,
    ScaleViewportExt = 0x0412,
    ExcludeClipRect = 0x0415,
    IntersectClipRect = 0x0416,
    Ellipse = 0x0418,
    Rectangle = 0x041B,
    SetPixel = 0x041F,
    FrameRegion = 0x0429,
    TextOut = 0x0521,
    PolyPolygon = 0x0538,
    RoundRect = 0x061C,
    PatBlt = 0x061D,
    Escape = 0x0626,
    CreateRegion = 0x06FF,
    Arc = 0x0817,
    Pie = 0x081A,
    Chord = 0x0830,
    DibBitBlt = 0x0940,
    ExtTextOut = 0x0A32,
    DibStretchBlt = 0x0B41,
    SetDibToDev = 0x0D33,
    StretchDib = 0x0F43,
};

class WmfPlayer {
  public:
    WmfPlayer(QImage& target, const RenderOptions& options) : p_(target, options) {
        p_.setWmfMode(true);
    }
    void play(QByteArrayView bytes, qint64 headerOffset, std::optional<QRect> bounds);

  private:
    bool record(quint16 function, const ByteReader& r);
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

bool WmfPlayer::record(quint16 fn, const ByteReader& r) {
    // Parameter words follow the 6-byte record head; many records list them backwards.
    auto w = [&](int i) { return r.i16(6 + 2 * i); };
    auto uw = [&](int i) { return r.u16(6 + 2 * i); };
    auto need = [&](int words) { return r.has(0, 6 + 2 * qint64(words)); };
    Player& p = p_;
    auto& dc = p.dc();
    switch (fn) {
        case SaveDc:
            p.saveDc();
            return true;
        case RealizePalette:
        case Escape:
        case SetStretchBltMode:
            return true;
        case SetBkMode:
        case SetMapMode:
        case SetRop2:
        case SetPolyFillMode:
        case SetTextCharExtra:
        case RestoreDc:
        case SelectObject:
        case DeleteObject:
        case SetTextAlign:
        case SelectClipRegion:
        case SelectPalette:
        case PaintRegion:
        case InvertRegion: {
            if (!need(1))
                return false;
            const quint16 v = uw(0);
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
                    dc.charExtra = w(0);
                    break;
                case RestoreDc:
                    p.restoreDc(w(0));
                    break;
                case SelectObject:
                case SelectPalette:
                    p.selectObject(v);
                    break;
                case DeleteObject:
                    p.deleteObject(v);
                    break;
                case SetTextAlign:
                    dc.textAlign = v;
                    break;
                case SelectClipRegion:
                    if (const gdi::Region* rg = regionAt(v))
                        p.combineClip(p.logicalRegionToImage(rg->rects), gdi::RgnCopy);
                    else
                        p.combineClip(std::nullopt, gdi::RgnCopy);
                    break;
                case PaintRegion:
                    if (const gdi::Region* rg = regionAt(v))
                        p.fillRegion(p.logicalRegionToImage(rg->rects), dc.brush);
                    break;
                case InvertRegion:
                    if (const gdi::Region* rg = regionAt(v))
                        p.invertRegion(p.logicalRegionToImage(rg->rects));
                    break;
            }
            return true;
        }
        case SetBkColor:
        case SetTextColor:
            if (!need(2))
                return false;
            (fn == SetBkColor ? dc.bkColor : dc.textColor) = colorRef(r, 6);
            return true;
        case SetWindowOrg:
        case SetWindowExt:
        case SetViewportOrg:
        case SetViewportExt:
        case OffsetWindowOrg:
        case OffsetViewportOrg:
        case LineTo:
        case MoveTo:
        case OffsetClipRgn: {
            if (!need(2))
                return false;
            const QPointF pt(w(1), w(0));
            switch (fn) {
                case SetWindowOrg:
                    p.setWindowOrg(pt);
                    break;
                case SetWindowExt:
                    p.setWindowExt(pt);
                    break;
                case SetViewportOrg:
                    p.setViewportOrg(pt);
                    break;
                case SetViewportExt:
                    p.setViewportExt(pt);
                    break;
                case OffsetWindowOrg:
                    p.setWindowOrg(dc.windowOrg + pt);
                    break;
                case OffsetViewportOrg:
                    p.setViewportOrg(dc.viewportOrg + pt);
                    break;
                case LineTo:
                    p.lineTo(pt);
                    break;
                case MoveTo:
                    p.moveTo(pt);
                    break;
                default:
                    p.offsetClip(pt);
                    break;
            }
            return true;
        }
        case ScaleWindowExt:
        case ScaleViewportExt: {
            if (!need(4))
                return false;
            const double yd = w(0), yn = w(1), xd = w(2), xn = w(3);
            if (xd == 0 || yd == 0)
                return true;
            if (fn == ScaleWindowExt)
                p.setWindowExt(QPointF(dc.windowExt.x() * xn / xd, dc.windowExt.y() * yn / yd));
            else
                p.setViewportExt(
                    QPointF(dc.viewportExt.x() * xn / xd, dc.viewportExt.y() * yn / yd));
            return true;
        }
        case ExcludeClipRect:
        case IntersectClipRect:
        case Ellipse:
        case Rectangle: {
            if (!need(4))
                return false;
            const QRectF rc(QPointF(w(3), w(2)), QPointF(w(1), w(0)));
            if (fn == ExcludeClipRect)
                p.excludeClipRect(rc);
            else if (fn == IntersectClipRect)
                p.intersectClipRect(rc);
            else if (fn == Ellipse)
                p.ellipse(rc);
            else
                p.rectangle(rc);
            return true;
        }
        case RoundRect:
            if (!need(6))
                return false;
            p.roundRect(QRectF(QPointF(w(5), w(4)), QPointF(w(3), w(2))), QSizeF(w(1), w(0)));
            return true;
        case Arc:
        case Pie:
        case Chord: {
            if (!need(8))
                return false;
            const auto kind = fn == Arc   ? Player::ArcKind::Arc
                              : fn == Pie ? Player::ArcKind::Pie
                                          : Player::ArcKind::Chord;
            p.arc(kind, QRectF(QPointF(w(7), w(6)), QPointF(w(5), w(4))), QPointF(w(3), w(2)),
                  QPointF(w(1), w(0)));
            return true;
        }
        case Polygon:
        case Polyline: {
            if (!need(1))
                return false;
            const quint16 n = uw(0);
            if (!need(1 + 2 * n))
                return false;
            std::vector<QPointF> pts(n);
            for (int i = 0; i < n; ++i)
                pts[size_t(i)] = QPointF(w(1 + 2 * i), w(2 + 2 * i));
            if (fn == Polygon)
                p.polygon(pts);
            else
                p.polyline(pts);
            return true;
        }
        case PolyPolygon: {
            if (!need(1))
                return false;
            const quint16 polys = uw(0);
            if (!need(1 + polys))
                return false;
            qint64 total = 0;
            for (int i = 0; i < polys; ++i)
                total += uw(1 + i);
            if (!r.has(6 + 2 * (1 + qint64(polys)), total * 4))
                return false;
            std::vector<std::vector<QPointF>> all(polys);
            int at = 1 + polys;
            for (int i = 0; i < polys; ++i) {
                all[size_t(i)].resize(uw(1 + i));
                for (auto& pt : all[size_t(i)]) {
                    pt = QPointF(w(at), w(at + 1));
                    at += 2;
                }
            }
            p.polyPolygon(all);
            return true;
        }
        case SetPixel:
            if (!need(4))
                return false;
            p.setPixel(QPointF(w(3), w(2)), colorRef(r, 6));
            return true;
        case TextOut: {
            if (!need(1))
                return false;
            const quint16 n = uw(0);
            const qint64 padded = (n + 1) & ~1;
            if (!r.has(8, padded + 4))
                return false;
            const QString s = Player::decodeAnsi(r.sub(8, n), dc.font.charset);
            p.text(QPointF(r.i16(8 + padded + 2), r.i16(8 + padded)), s, {}, 0, std::nullopt);
            return true;
        }
        case ExtTextOut: {
            if (!need(4))
                return false;
            const QPointF ref(w(1), w(0));
            const quint16 n = uw(2), options = uw(3);
            qint64 off = 14;
            std::optional<QRectF> rect;
            if (options & (gdi::EtoOpaque | gdi::EtoClipped)) {
                if (!r.has(off, 8))
                    return false;
                rect = QRectF(QPointF(r.i16(off), r.i16(off + 2)),
                              QPointF(r.i16(off + 4), r.i16(off + 6)));
                off += 8;
            }
            if (!r.has(off, n))
                return false;
            const QString s = Player::decodeAnsi(r.sub(off, n), dc.font.charset);
            off += (n + 1) & ~1;
            std::vector<double> dx;
            if (r.has(off, qint64(n) * 2)) {
                dx.resize(n);
                for (int i = 0; i < n; ++i)
                    dx[size_t(i)] = r.i16(off + 2 * i);
            }
            p.text(ref, s, dx, options & ~quint32(gdi::EtoGlyphIndex | gdi::EtoPdy), rect);
            return true;
        }
        case PatBlt: {
            if (!need(6))
                return false;
            gdi::Blit b;
            b.rop = r.u32(6);
            b.dest = QRectF(w(5), w(4), w(3), w(2));
            p.blit(b);
            return true;
        }
        case DibBitBlt:
        case DibStretchBlt:
        case StretchDib:
        case SetDibToDev: {
            gdi::Blit b;
            QImage image;
            const qint64 words = r.size() / 2;
            if (fn == DibBitBlt) {
                const bool noBitmap = words == (fn >> 8) + 3;
                if (!need(noBitmap ? 9 : 8))
                    return false;
                const int k = noBitmap ? 1 : 0;
                b.rop = r.u32(6);
                b.source = QRectF(w(3), w(2), w(5 + k), w(4 + k));
                b.dest = QRectF(w(7 + k), w(6 + k), w(5 + k), w(4 + k));
                if (!noBitmap)
                    image = dib(r, 22, false);
            } else if (fn == DibStretchBlt) {
                const bool noBitmap = words == (fn >> 8) + 3;
                if (!need(noBitmap ? 11 : 10))
                    return false;
                const int k = noBitmap ? 1 : 0;
                b.rop = r.u32(6);
                b.source = QRectF(w(5), w(4), w(3), w(2));
                b.dest = QRectF(w(9 + k), w(8 + k), w(7 + k), w(6 + k));
                if (!noBitmap)
                    image = dib(r, 26, false);
            } else if (fn == StretchDib) {
                if (!need(11))
                    return false;
                b.rop = r.u32(6);
                image = dib(r, 28, uw(2) == 1);
                double ySrc = w(5);
                if (!image.isNull() && r.i32(28 + 8) > 0)
                    ySrc = image.height() - ySrc - w(3);
                b.source = QRectF(w(6), ySrc, w(4), w(3));
                b.dest = QRectF(w(10), w(9), w(8), w(7));
            } else {
                if (!need(9))
                    return false;
                image = dib(r, 24, uw(0) == 1);
                double ySrc = w(3);
                if (!image.isNull() && r.i32(24 + 8) > 0)
                    ySrc = image.height() - ySrc - w(5);
                b.source = QRectF(w(4), ySrc, w(6), w(5));
                b.dest = QRectF(w(8), w(7), w(6), w(5));
            }
            if (!image.isNull())
                b.image = &image;
            p.blit(b);
            return true;
        }
        case CreatePenIndirect: {
            if (!need(5))
                return false;
            gdi::Pen pen;
            pen.style = uw(0);
            pen.width = w(1);
            pen.cosmetic = false;
            pen.color = colorRef(r, 12);
            if (pen.width > 1 && (pen.style & gdi::PsStyleMask) <= gdi::PsDashDotDot)
                pen.style &= ~quint32(gdi::PsStyleMask);
            p.addObject(pen);
            return true;
        }
        case CreateBrushIndirect: {
            if (!need(4))
                return false;
            gdi::Brush brush;
            brush.style = uw(0);
            brush.color = colorRef(r, 8);
            brush.hatch = uw(3);
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
            if (need(2))
                brush.pattern = dib(r, 10, uw(1) == 1 && uw(0) != gdi::BsPattern);
            p.addObject(brush);
            return true;
        }
        case CreatePatternBrush:
            // An old device-dependent bitmap; it still takes a slot in the table.
            p.addObject(gdi::Brush{gdi::BsSolid, QColor(0x80, 0x80, 0x80), 0, {}, false});
            return true;
        case CreateFontIndirect: {
            if (!need(9))
                return false;
            gdi::Font f;
            f.height = w(0);
            f.width = w(1);
            f.escapement = w(2);
            f.weight = w(4);
            f.italic = r.u8(16);
            f.underline = r.u8(17);
            f.strikeOut = r.u8(18);
            f.charset = r.u8(19);
            f.pitchAndFamily = r.u8(23);
            QByteArray face;
            for (qint64 i = 24; i < 24 + 32 && r.has(i, 1) && r.u8(i) != 0; ++i)
                face.append(char(r.u8(i)));
            f.face = Player::decodeAnsi(face, f.charset == 2 ? 0 : f.charset);
            p.addObject(f);
            return true;
        }
        case CreatePalette: {
            gdi::Palette pal;
            if (need(2)) {
                const quint16 n = uw(1);
                for (int i = 0; i < n && r.has(10 + 4 * qint64(i), 4); ++i)
                    pal.push_back(qRgb(r.u8(10 + 4 * i), r.u8(11 + 4 * i), r.u8(12 + 4 * i)));
            }
            p.addObject(pal);
            return true;
        }
        case CreateRegion: {
            // Region header (nextInChain, type, count, size, scan count, max scan,
            // bounds) then scans of (count, top, bottom, count/2 x-pairs, count).
            gdi::Region region;
            if (need(11)) {
                const quint16 scans = uw(5);
                const QRect bounds(QPoint(w(7), w(8)), QPoint(w(9) - 1, w(10) - 1));
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
            }
            p.addObject(region);
            return true;
        }
        case FillRegion:
        case FrameRegion: {
            if (!need(fn == FillRegion ? 2 : 4))
                return false;
            const gdi::Region* rg = regionAt(uw(0));
            const gdi::Brush* brush = brushAt(uw(1));
            if (!rg || !brush)
                return true;
            const QRegion image = p.logicalRegionToImage(rg->rects);
            if (fn == FillRegion)
                p.fillRegion(image, *brush);
            else
                p.frameRegion(image, *brush, QSizeF(w(3), w(2)));
            return true;
        }
        default:
            return true;
    }
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
        if (!record(fn, ByteReader(bytes.sliced(off, size))))
            return;
        off += size;
    }
}

}  // namespace

void playWmf(QByteArrayView bytes, QImage& target, const RenderOptions& options) {
    const ByteReader r(bytes);
    qint64 header = 0;
    std::optional<QRect> bounds;
    if (r.u32(0) == 0x9AC6CDD7u) {
        header = 22;
        const int l = r.i16(6), t = r.i16(8), rr = r.i16(10), b = r.i16(12);
        if (rr != l && b != t)
            bounds = QRect(QPoint(l, t), QSize(rr - l, b - t));
    }
    if (!r.has(header, 18) || r.u16(header + 2) < 9)
        return;
    WmfPlayer player(target, options);
    player.play(bytes, header, bounds);
}

}  // namespace pictrove::metafile
