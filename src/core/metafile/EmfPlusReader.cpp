#include "core/bytes/ByteReader.h"
#include "core/metafile/EmfPlus.h"
#include "core/metafile/Gdi.h"
#include "core/metafile/Readers.h"
#include "core/metafile/RecordTypes.h"
#include "core/metafile/SymbolFonts.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImageReader>

#include <array>
#include <cmath>
#include <map>
#include <variant>

namespace pictrove::metafile {

using bytes::ByteReader;
using namespace emfplus;

namespace {

constexpr int kObjects = 64;
constexpr qint64 kMaxObjectBytes = qint64(64) * 1024 * 1024;
constexpr int kMaxRegionNodes = 4096;
constexpr double kHuge = 1e7;  // an infinite region, in world units

// Record flags.
constexpr quint16 kColorBrush = 0x8000;  // S: the brush field is an ARGB colour
constexpr quint16 kCompressed = 0x4000;  // C: 16-bit integer coordinates
constexpr quint16 kAppend = 0x2000;      // A: post-multiply (transforms)
constexpr quint16 kClosed = 0x2000;      // L: DrawLines closes the figure
constexpr quint16 kWinding = 0x2000;     // W: FillClosedCurve fills by the winding rule
constexpr quint16 kRelative = 0x0800;    // P: relative, run-length coded points
constexpr quint16 kContinued = 0x8000;   // Object: more records follow
constexpr quint16 kDual = 0x0001;        // Header: the EMF records draw the same picture
constexpr quint32 kPathCompressed = 0x4000, kPathRelative = 0x1000;  // EmfPlusPath flags

enum ObjectType {
    BrushObject = 1,
    PenObject,
    PathObject,
    RegionObject,
    ImageObject,
    FontObject,
    StringFormatObject
};
enum Unit { UnitWorld, UnitDisplay, UnitPixel, UnitPoint, UnitInch, UnitDocument, UnitMillimeter };

QColor argb(quint32 v) {
    return QColor::fromRgba(QRgb(v));
}

bool finite(std::initializer_list<double> values) {
    for (double v : values)
        if (!std::isfinite(v) || std::abs(v) > 1e9)
            return false;
    return true;
}

struct PlusPen {
    QBrush brush;
    double width = 1;  // in `unit`
    int unit = UnitWorld;
    int style = 0;  // DashStyle: solid, dash, dot, dash-dot, dash-dot-dot, custom
    Qt::PenCapStyle cap = Qt::FlatCap;
    Qt::PenJoinStyle join = Qt::MiterJoin;
    QList<qreal> dashes;
};

struct PlusFont {
    double emSize = 12;
    int unit = UnitPoint;
    int style = 0;  // bold 1, italic 2, underline 4, strike-out 8
    QString family;
};

// How DrawString lays its text out in the layout rectangle.
struct PlusFormat {
    int align = 0;      // of each line: near, centre, far
    int lineAlign = 0;  // of the lines together, top to bottom
    bool noWrap = false;
    bool noClip = false;
};

// An image that is itself a metafile: played at the size it is drawn.
struct PlusMetafile {
    QByteArray bytes;
    QSize frame;
};

using PlusObject = std::variant<std::monostate, QBrush, PlusPen, QPainterPath, QImage, PlusFont,
                                PlusFormat, PlusMetafile>;

// A cardinal spline through the points as Bézier segments, `segments` of them from
// point `first` on; a closed one also runs from the last point back to the first.
// Tension 0 gives straight lines, 0.5 the usual curve.
QPainterPath cardinalSpline(const std::vector<QPointF>& pts, double tension, bool closed,
                            size_t first, size_t segments) {
    QPainterPath path;
    const auto n = qint64(pts.size());
    if (n < 2)
        return path;
    auto at = [&](qint64 i) {
        return closed ? pts[size_t((i % n + n) % n)] : pts[size_t(std::clamp<qint64>(i, 0, n - 1))];
    };
    const double k = tension / 3;
    path.moveTo(at(qint64(first)));
    for (qint64 i = qint64(first); i < qint64(first + segments); ++i) {
        const QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        path.cubicTo(p1 + (p2 - p0) * k, p2 - (p3 - p1) * k, p2);
    }
    if (closed)
        path.closeSubpath();
    return path;
}

// A path whose points use the record's encodings: 16-bit integers (C), relative
// run-length coded (P), or floats.
bool readPoints(ByteReader r, qint64 off, quint32 count, quint16 flags, std::vector<QPointF>& out,
                qint64* end = nullptr) {
    if (count > 1u << 20)
        return false;
    out.clear();
    out.reserve(count);
    if (flags & kRelative) {
        QPointF last;
        auto value = [&](qint64& o) {
            const quint8 b = r.u8(o);
            if (b & 0x80) {
                const qint16 v = qint16(((b & 0x7f) << 8) | r.u8(o + 1));
                o += 2;
                return int(qint16(v << 1) >> 1);  // 15-bit two's complement
            }
            o += 1;
            return int(qint8(b << 1) >> 1);  // 7-bit two's complement
        };
        for (quint32 i = 0; i < count; ++i) {
            if (!r.has(off, 2))
                return false;
            const int dx = value(off), dy = value(off);
            last += QPointF(dx, dy);
            out.push_back(last);
        }
        if (end)
            *end = off;
        return r.has(0, off);
    }
    const qint64 each = (flags & kCompressed) ? 4 : 8;
    if (!r.has(off, qint64(count) * each))
        return false;
    for (quint32 i = 0; i < count; ++i) {
        const qint64 o = off + qint64(i) * each;
        if (each == 4)
            out.emplace_back(r.i16(o), r.i16(o + 2));
        else if (finite({r.f32(o), r.f32(o + 4)}))
            out.emplace_back(r.f32(o), r.f32(o + 4));
        else
            return false;
    }
    if (end)
        *end = off + qint64(count) * each;
    return true;
}

bool readRect(const ByteReader& r, qint64 off, bool compressed, QRectF& out) {
    if (compressed) {
        if (!r.has(off, 8))
            return false;
        out = QRectF(r.i16(off), r.i16(off + 2), r.i16(off + 4), r.i16(off + 6));
        return true;
    }
    if (!r.has(off, 16))
        return false;
    const double x = r.f32(off), y = r.f32(off + 4), w = r.f32(off + 8), h = r.f32(off + 12);
    if (!finite({x, y, w, h}))
        return false;
    out = QRectF(x, y, w, h);
    return true;
}

bool readMatrix(const ByteReader& r, qint64 off, QTransform& out) {
    if (!r.has(off, 24))
        return false;
    const double m[6] = {r.f32(off),      r.f32(off + 4),  r.f32(off + 8),
                         r.f32(off + 12), r.f32(off + 16), r.f32(off + 20)};
    if (!finite({m[0], m[1], m[2], m[3], m[4], m[5]}))
        return false;
    out = QTransform(m[0], m[1], m[2], m[3], m[4], m[5]);
    return true;
}

// EmfPlusPath: version, count, flags, points, then one type byte a point.
bool readPath(const ByteReader& r, qint64 off, QPainterPath& out, qint64* end = nullptr) {
    if (!r.has(off, 12))
        return false;
    const quint32 count = r.u32(off + 4), pathFlags = r.u32(off + 8);
    const quint16 flags = quint16(((pathFlags & kPathCompressed) ? kCompressed : 0) |
                                  ((pathFlags & kPathRelative) ? kRelative : 0));
    std::vector<QPointF> pts;
    qint64 typesAt = 0;
    if (!readPoints(r, off + 12, count, flags, pts, &typesAt) || !r.has(typesAt, count))
        return false;
    out = QPainterPath();
    out.setFillRule(Qt::WindingFill);
    for (quint32 i = 0; i < count; ++i) {
        const quint8 type = r.u8(typesAt + i);
        const int kind = type & 0x07;
        if (kind == 0 || out.elementCount() == 0) {
            out.moveTo(pts[i]);
        } else if (kind == 3 && i + 2 < count) {
            out.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
            i += 2;
            if (r.u8(typesAt + i) & 0x80)
                out.closeSubpath();
            continue;
        } else {
            out.lineTo(pts[i]);
        }
        if (type & 0x80)
            out.closeSubpath();
    }
    if (end)
        *end = (typesAt + count + 3) & ~qint64(3);
    return true;
}

// EmfPlusRegion node tree into a path in world units.
bool readRegionNode(const ByteReader& r, qint64& off, int& budget, int depth, QPainterPath& out) {
    if (--budget < 0 || depth > 64 || !r.has(off, 4))
        return false;
    const quint32 type = r.u32(off);
    off += 4;
    const QRectF infinite(-kHuge, -kHuge, 2 * kHuge, 2 * kHuge);
    switch (type) {
        case 0x10000000: {  // rectangle
            QRectF rc;
            if (!readRect(r, off, false, rc))
                return false;
            off += 16;
            out = QPainterPath();
            out.addRect(rc.normalized());
            return true;
        }
        case 0x10000001: {  // path, preceded by its size
            if (!r.has(off, 4))
                return false;
            const quint32 size = r.u32(off);
            if (!r.has(off + 4, size) || !readPath(ByteReader(r.sub(off + 4, size)), 0, out))
                return false;
            off += 4 + size;
            return true;
        }
        case 0x10000002:
            out = QPainterPath();
            return true;
        case 0x10000003:
            out = QPainterPath();
            out.addRect(infinite);
            return true;
        case 1:
        case 2:
        case 3:
        case 4:
        case 5: {
            QPainterPath left, right;
            if (!readRegionNode(r, off, budget, depth + 1, left) ||
                !readRegionNode(r, off, budget, depth + 1, right))
                return false;
            switch (type) {
                case 1:
                    out = left.intersected(right);
                    break;
                case 2:
                    out = left.united(right);
                    break;
                case 3:
                    out = left.subtracted(right).united(right.subtracted(left));
                    break;
                case 4:
                    out = left.subtracted(right);
                    break;
                default:
                    out = right.subtracted(left);
                    break;
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

struct EmfPlusPlayer::State {
    QTransform world;      // inside the innermost container
    QTransform container;  // that container's onto the page
    int pageUnit = UnitDisplay;
    double pageScale = 1;
    std::optional<QPainterPath> clip;  // image pixels
    double dpiX = 96, dpiY = 96;
    std::array<PlusObject, kObjects> objects;
    // An object arriving in pieces: its id, total size and the bytes so far.
    int pendingId = -1;
    qint64 pendingSize = 0;
    QByteArray pending;
    struct Saved {
        QTransform world, container;
        int pageUnit;
        double pageScale;
        std::optional<QPainterPath> clip;
    };
    std::map<quint32, Saved> saved;

    double unitPx(int unit, double dpi) const {
        switch (unit) {
            case UnitPoint:
                return dpi / 72;
            case UnitInch:
                return dpi;
            case UnitDocument:
                return dpi / 300;
            case UnitMillimeter:
                return dpi / 25.4;
            default:
                return 1;
        }
    }
    // World units to device pixels (the EMF's reference device).
    QTransform page() const {
        return QTransform::fromScale(unitPx(pageUnit, dpiX) * pageScale,
                                     unitPx(pageUnit, dpiY) * pageScale);
    }
};

EmfPlusPlayer::EmfPlusPlayer(gdi::Player& player) : gdi_(player), s_(std::make_unique<State>()) {}

EmfPlusPlayer::~EmfPlusPlayer() = default;

namespace {

bool drawsKnown(quint16 type) {
    switch (type) {
        case Header:
        case EndOfFile:
        case Comment:
        case GetDc:
        case Object:
        case Clear:
        case FillRects:
        case DrawRects:
        case FillPolygon:
        case DrawLines:
        case FillEllipse:
        case DrawEllipse:
        case FillPie:
        case DrawPie:
        case DrawArc:
        case FillRegion:
        case FillPath:
        case DrawPath:
        case DrawBeziers:
        case FillClosedCurve:
        case DrawClosedCurve:
        case DrawCurve:
        case DrawImage:
        case DrawImagePoints:
        case DrawString:
        case Save:
        case Restore:
        case BeginContainer:
        case BeginContainerNoParams:
        case EndContainer:
        case SetWorldTransform:
        case ResetWorldTransform:
        case MultiplyWorldTransform:
        case TranslateWorldTransform:
        case ScaleWorldTransform:
        case RotateWorldTransform:
        case ResetClip:
        case SetClipRect:
        case SetClipPath:
        case SetClipRegion:
        case OffsetClip:
        case SetPageTransform:
        case DrawDriverString:
            return true;
        default:
            // Rendering hints (quality, origin, modes) change nothing we draw.
            return type >= SetRenderingOrigin && type <= SetCompositingQuality;
    }
}

// Calls f(type, flags, data) for every EMF+ record of a comment's data; false on damage.
template <typename F>
bool forEachRecord(QByteArrayView records, F&& f) {
    const ByteReader r(records);
    qint64 off = 0;
    while (r.has(off, 12)) {
        const quint16 type = r.u16(off), flags = r.u16(off + 2);
        const quint32 size = r.u32(off + 4), dataSize = r.u32(off + 8);
        if (size < 12 || !r.has(off, size) || dataSize > size - 12)
            return false;
        if (!f(type, flags, ByteReader(r.sub(off + 12, dataSize))))
            return false;
        off += size;
    }
    return off == r.size();
}

}  // namespace

bool EmfPlusPlayer::complete(QByteArrayView emf, qint64 off) {
    const ByteReader all(emf);
    bool header = false, dual = false, end = false, damaged = false, unknown = false;
    while (all.has(off, 8) && !end) {
        const quint32 type = all.u32(off), length = all.u32(off + 4);
        if (length < 8 || !all.has(off, length) || type == emr::Eof)
            break;
        if (type == emr::GdiComment && length >= 16 && all.u32(off + 12) == kCommentId) {
            const qint64 n = std::min<qint64>(all.u32(off + 8), length - 12) - 4;
            const bool ok =
                n >= 0 && forEachRecord(all.sub(off + 16, n),
                                        [&](quint16 t, quint16 flags, const ByteReader&) {
                                            if (!header && t != Header)
                                                return false;
                                            dual = dual || (!header && (flags & kDual));
                                            header = true;
                                            end = end || t == EndOfFile;
                                            unknown = unknown || !drawsKnown(t);
                                            return true;
                                        });
            damaged = damaged || !ok;
        }
        off += length;
    }
    // A file with EMF+ records only has nothing else to show: played as far as it goes.
    return header && (!dual || (end && !damaged && !unknown));
}

bool EmfPlusPlayer::play(QByteArrayView records) {
    State& s = *s_;
    QPainter& p = gdi_.painter();
    const QTransform toImage = gdi_.deviceToImage();

    auto transform = [&] { return s.world * s.container * s.page() * toImage; };
    auto objectAt = [&](quint32 id) -> const PlusObject& {
        static const PlusObject none;
        return id < kObjects ? s.objects[id] : none;
    };
    auto brushFor = [&](quint16 flags, quint32 id) -> std::optional<QBrush> {
        if (flags & kColorBrush)
            return QBrush(argb(id));
        if (const auto* b = std::get_if<QBrush>(&objectAt(id)))
            return *b;
        return std::nullopt;
    };
    auto begin = [&](const QTransform& t) {
        p.resetTransform();
        p.setOpacity(1);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        if (s.clip)
            p.setClipPath(*s.clip);
        else
            p.setClipping(false);
        p.setTransform(t);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    };
    auto end = [&] {
        p.resetTransform();
        p.setClipping(false);
    };
    auto fill = [&](const QPainterPath& path, const QBrush& brush) {
        const QTransform t = transform();
        gdi_.spendArea(t.mapRect(path.controlPointRect()));
        begin(t);
        p.fillPath(path, brush);
        end();
    };
    auto stroke = [&](const QPainterPath& path, quint32 penId) {
        const auto* pen = std::get_if<PlusPen>(&objectAt(penId));
        if (!pen)
            return;
        const QTransform t = transform();
        const double scale = std::sqrt(std::abs(t.determinant()));
        // The width in image pixels, at least one.
        double px = pen->unit == UnitWorld ? pen->width * scale
                                           : pen->width * s.unitPx(pen->unit, s.dpiX) *
                                                 std::sqrt(std::abs(toImage.determinant()));
        px = std::clamp(std::isfinite(px) ? px : 1.0, 1.0, 1e5);
        QPen q(pen->brush, scale > 0 ? px / scale : 1);
        q.setCapStyle(pen->cap);
        q.setJoinStyle(pen->join);
        if (!pen->dashes.isEmpty())
            q.setDashPattern(pen->dashes);
        else if (pen->style >= 1 && pen->style <= 4)
            q.setStyle(Qt::PenStyle(pen->style + 1));
        const QRectF box = t.mapRect(path.controlPointRect()).adjusted(-px, -px, px, px);
        gdi_.spendArea(box);
        begin(t);
        p.strokePath(path, q);
        end();
    };
    auto combineClip = [&](const QPainterPath& world, int mode) {
        const QPainterPath path = transform().map(world);
        QPainterPath all;
        all.addRect(QRectF(QPointF(0, 0), QSizeF(gdi_.imageSize())));
        const QPainterPath current = s.clip.value_or(all);
        switch (mode) {
            case 0:
                s.clip = path;
                break;
            case 1:
                s.clip = current.intersected(path);
                break;
            case 2:
                s.clip = current.united(path);
                break;
            case 3:
                s.clip = current.subtracted(path).united(path.subtracted(current));
                break;
            case 4:
                s.clip = current.subtracted(path);
                break;
            case 5:
                s.clip = path.subtracted(current);
                break;
            default:
                break;
        }
    };
    auto text = [&](const PlusFont& font, const QBrush& brush, const QString& string,
                    const std::vector<QPointF>& at, const QRectF* layout,
                    const PlusFormat& format) {
        // Glyphs are drawn at their size in image pixels, turned as the transform turns
        // the baseline but never sheared or stretched (the font engine cannot take
        // arbitrary transforms of a glyph).
        const QTransform t = transform();
        const QPointF origin = t.map(QPointF(0, 0));
        const QPointF ex = t.map(QPointF(1, 0)) - origin, ey = t.map(QPointF(0, 1)) - origin;
        const double xScale = std::hypot(ex.x(), ex.y()), yScale = std::hypot(ey.x(), ey.y());
        const double pageFactor = s.unitPx(s.pageUnit, s.dpiY) * s.pageScale;
        const double emWorld = font.unit == UnitWorld ? font.emSize
                                                      : font.emSize * s.unitPx(font.unit, s.dpiY) /
                                                            (pageFactor > 0 ? pageFactor : 1);
        const double em = emWorld * yScale;
        if (!finite({em, xScale, yScale, origin.x(), origin.y()}) || em < 0.5 || xScale <= 0)
            return;
        // A symbol font's codes are shown as the characters they stand for.
        const SymbolFont symbol = symbolFontOf(font.family, 0);
        auto shown = [&](const QString& codes) {
            return symbol == SymbolFont::None ? codes : symbolText(symbol, codes);
        };
        QFont f;
        f.setFamilies(symbol == SymbolFont::None ? QStringList{font.family}
                                                 : symbolFamilies(symbol));
        f.setPixelSize(int(std::lround(std::min(em, 2000.0))));
        f.setBold(font.style & 1);
        f.setItalic(font.style & 2);
        f.setUnderline(font.style & 4);
        f.setStrikeOut(font.style & 8);
        const QFontMetricsF fm(f);
        QTransform local;
        local.translate(origin.x(), origin.y());
        local.rotate(std::atan2(ex.y(), ex.x()) * 180 / M_PI);
        auto place = [&](QPointF world) { return QPointF(world.x() * xScale, world.y() * yScale); };
        begin(local);
        p.setFont(f);
        p.setPen(QPen(brush, 1));
        if (layout) {
            // A side of no length (or of no sense) leaves the text unbounded that way,
            // aligned about the layout's point.
            constexpr double kOpen = 1e6;
            const QPointF corner = place(layout->topLeft());
            auto span = [&](double from, double length, int align) {
                if (length > 0 && length < kOpen)
                    return std::pair(from, length);
                return std::pair(from - (align == 1 ? kOpen / 2 : align == 2 ? kOpen : 0), kOpen);
            };
            const auto [x, w] = span(corner.x(), layout->width() * xScale, format.align);
            const auto [y, h] = span(corner.y(), layout->height() * yScale, format.lineAlign);
            const QRectF rc(x, y, w, h);
            const bool open = w >= kOpen || h >= kOpen;
            const int flags = (format.align == 1   ? Qt::AlignHCenter
                               : format.align == 2 ? Qt::AlignRight
                                                   : Qt::AlignLeft) |
                              (format.lineAlign == 1   ? Qt::AlignVCenter
                               : format.lineAlign == 2 ? Qt::AlignBottom
                                                       : Qt::AlignTop) |
                              (format.noWrap || w >= kOpen ? 0 : Qt::TextWordWrap) |
                              (format.noClip || open ? Qt::TextDontClip : 0);
            const QRectF inked = fm.boundingRect(rc, flags, shown(string));
            gdi_.spendArea(local.mapRect(format.noClip || open ? inked : inked.intersected(rc)));
            p.drawText(rc, flags, shown(string));
        } else {
            for (qsizetype i = 0; i < string.size() && size_t(i) < at.size(); ++i) {
                const QPointF pos = place(at[size_t(i)]);
                gdi_.spendArea(local.mapRect(QRectF(pos - QPointF(0, em), QSizeF(em, em))));
                if (std::abs(pos.x()) < 1e6 && std::abs(pos.y()) < 1e6)
                    p.drawText(pos, shown(string.mid(i, 1)));
            }
        }
        end();
    };
    // EmfPlusImage at off: a bitmap of 24 or 32 bit pixels, or compressed (PNG, JPEG...)
    // when the options allow decoding those; metafiles inside are not played.
    auto readImage = [&](const ByteReader& d, qint64 off) -> QImage {
        if (!d.has(off, 28) || d.u32(off + 4) != 1)
            return {};
        const qint32 w = d.i32(off + 8), h = d.i32(off + 12), stride = d.i32(off + 16);
        const quint32 format = d.u32(off + 20), kind = d.u32(off + 24);
        const QByteArrayView data = d.sub(off + 28, d.size() - off - 28);
        const qint64 limit = gdi_.options().maxBitmapBytes;
        if (kind == 1) {
            if (!gdi_.options().decodeCompressedBitmaps)
                return {};
            QByteArray copy = data.toByteArray();
            QBuffer buffer(&copy);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            const QSize size = reader.size();
            if (size.isEmpty() || qint64(size.width()) * size.height() * 4 > limit)
                return {};
            return reader.read();
        }
        const int bpp = int((format >> 8) & 0xff);
        if (w <= 0 || h <= 0 || stride <= 0 || qint64(w) * h * 4 > limit ||
            qint64(stride) * h > data.size() || (bpp != 32 && bpp != 24))
            return {};
        QImage image(w, h, QImage::Format_ARGB32);
        for (int y = 0; y < h && !image.isNull(); ++y) {
            const ByteReader line(data.sliced(qsizetype(y) * stride, stride));
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const qint64 o = qint64(x) * (bpp / 8);
                const int a = bpp == 32 && (format & 0x40000) ? line.u8(o + 3) : 255;
                out[x] = qRgba(line.u8(o + 2), line.u8(o + 1), line.u8(o), a);
            }
        }
        return image;
    };
    // A metafile image played onto a transparent image of the size `t` gives its frame
    // (at most four times the target's area, and within the options' image limit), by
    // a player of its own within what is left of this one's budget.
    auto playInside = [&](const PlusMetafile& m, const QTransform& t) -> QImage {
        const QPointF o = t.map(QPointF(0, 0));
        const QPointF ex = t.map(QPointF(m.frame.width(), 0)) - o;
        const QPointF ey = t.map(QPointF(0, m.frame.height())) - o;
        double w = std::hypot(ex.x(), ex.y()), h = std::hypot(ey.x(), ey.y());
        const double limit =
            std::min(std::max(4.0 * gdi_.imageSize().width() * gdi_.imageSize().height(), 1e6),
                     gdi_.options().maxImageBytes / 4.0);
        if (!finite({w, h}) || w < 1 || h < 1 || limit < 1)
            return {};
        if (w * h > limit) {
            const double k = std::sqrt(limit / (w * h));
            w = std::max(1.0, w * k);
            h = std::max(1.0, h * k);
        }
        if (!gdi_.spend(qint64(w * h)))
            return {};
        QImage inner(int(w), int(h), QImage::Format_ARGB32_Premultiplied);
        if (inner.isNull())
            return {};
        inner.fill(Qt::transparent);
        gdi_.spend(playInner(m.bytes, inner, gdi_.options(), gdi_.workLeft()));
        return inner;
    };
    auto storeObject = [&](int id, int type, const ByteReader& d) {
        if (id >= kObjects)
            return;
        PlusObject& slot = s.objects[size_t(id)];
        slot = std::monostate{};
        switch (type) {
            case BrushObject: {
                const quint32 kind = d.u32(4);
                if (!d.has(0, 12))
                    return;
                if (kind == 0) {
                    slot = QBrush(argb(d.u32(8)));
                } else if (kind == 1 && d.has(0, 20)) {
                    slot = QBrush(argb(d.u32(12)), Qt::DiagCrossPattern);
                } else if (kind == 4 && d.has(0, 48)) {
                    QRectF rc;
                    if (!readRect(d, 16, false, rc))
                        return;
                    QLinearGradient g(rc.topLeft(), rc.topRight());
                    g.setColorAt(0, argb(d.u32(32)));
                    g.setColorAt(1, argb(d.u32(36)));
                    slot = QBrush(g);
                } else if (kind == 2 && d.has(0, 16)) {
                    // Texture: flags, wrap mode, an optional transform, the image.
                    const QImage tile = readImage(d, (d.u32(8) & 0x2) ? 40 : 16);
                    slot = tile.isNull() ? QBrush(QColor(128, 128, 128)) : QBrush(tile);
                } else if (kind == 3 && d.has(0, 20)) {
                    slot = QBrush(argb(d.u32(16)));  // path gradient: its centre colour
                } else {
                    slot = QBrush(QColor(128, 128, 128));
                }
                return;
            }
            case PenObject: {
                if (!d.has(0, 20))
                    return;
                PlusPen pen;
                const quint32 flags = d.u32(8);
                pen.unit = int(d.u32(12));
                pen.width = d.f32(16);
                if (!finite({pen.width}))
                    return;
                qint64 o = 20;
                if (flags & 0x1)
                    o += 24;
                if (flags & 0x2) {
                    const qint32 cap = d.i32(o);
                    pen.cap = cap == 1 ? Qt::SquareCap : cap == 2 ? Qt::RoundCap : Qt::FlatCap;
                    o += 4;
                }
                if (flags & 0x4)
                    o += 4;
                if (flags & 0x8) {
                    const qint32 join = d.i32(o);
                    pen.join = join == 1   ? Qt::BevelJoin
                               : join == 2 ? Qt::RoundJoin
                                           : Qt::MiterJoin;
                    o += 4;
                }
                if (flags & 0x10)
                    o += 4;
                if (flags & 0x20) {
                    pen.style = d.i32(o);
                    o += 4;
                }
                if (flags & 0x40)
                    o += 4;
                if (flags & 0x80)
                    o += 4;
                if (flags & 0x100) {
                    const quint32 n = d.u32(o);
                    if (n > 64 || !d.has(o + 4, qint64(n) * 4))
                        return;
                    for (quint32 i = 0; i < n; ++i)
                        pen.dashes.push_back(std::clamp(double(d.f32(o + 4 + i * 4)), 0.1, 1e4));
                    if (pen.dashes.size() % 2)
                        pen.dashes.push_back(pen.dashes.back());
                    o += 4 + qint64(n) * 4;
                }
                if (flags & 0x200)
                    o += 4;
                if (flags & 0x400) {
                    const quint32 n = d.u32(o);
                    if (n > 1024)
                        return;
                    o += 4 + qint64(n) * 4;
                }
                for (quint32 cap : {0x800u, 0x1000u}) {
                    if (flags & cap)
                        o += 4 + qint64(d.u32(o));
                }
                // The pen's brush object follows.
                if (!d.has(o, 12))
                    return;
                pen.brush =
                    d.u32(o + 4) == 0 ? QBrush(argb(d.u32(o + 8))) : QBrush(argb(d.u32(o + 12)));
                slot = pen;
                return;
            }
            case PathObject: {
                QPainterPath path;
                if (readPath(d, 0, path))
                    slot = path;
                return;
            }
            case RegionObject: {
                qint64 o = 8;
                int budget = kMaxRegionNodes;
                QPainterPath path;
                if (d.has(0, 8) && readRegionNode(d, o, budget, 0, path))
                    slot = path;
                return;
            }
            case ImageObject: {
                // A metafile: its kind (WMF, placeable WMF, EMF, EMF+), its size, its bytes.
                if (d.has(0, 16) && d.u32(4) == 2) {
                    const quint32 kind = d.u32(8), size = d.u32(12);
                    if (kind < 1 || kind > 5 || !d.has(16, size))
                        return;
                    const QByteArray bytes = d.sub(16, size).toByteArray();
                    if (const auto frame = frameSizePx(bytes))
                        slot = PlusMetafile{bytes, *frame};
                    return;
                }
                QImage image = readImage(d, 0);
                if (!image.isNull())
                    slot = std::move(image);
                return;
            }
            case StringFormatObject: {
                if (!d.has(0, 60))
                    return;
                const quint32 flags = d.u32(4), align = d.u32(12), lineAlign = d.u32(16);
                if (align > 2 || lineAlign > 2)
                    return;
                slot = PlusFormat{int(align), int(lineAlign), bool(flags & 0x1000),
                                  bool(flags & 0x4000)};
                return;
            }
            case FontObject: {
                if (!d.has(0, 24))
                    return;
                PlusFont font;
                font.emSize = d.f32(4);
                font.unit = int(d.u32(8));
                font.style = d.i32(12);
                const quint32 n = d.u32(20);
                if (!finite({font.emSize}) || n > 64 || !d.has(24, qint64(n) * 2))
                    return;
                for (quint32 i = 0; i < n; ++i)
                    font.family.append(QChar(d.u16(24 + i * 2)));
                slot = font;
                return;
            }
            default:
                return;
        }
    };

    return forEachRecord(records, [&](quint16 type, quint16 flags, const ByteReader& d) {
        if (!gdi_.spendRecord())
            return false;
        emfDraws_ = type == GetDc;
        const bool compressed = flags & kCompressed;
        const quint32 id = flags & 0xff;
        switch (type) {
            case Header:
                if (d.has(0, 16) && d.u32(8) > 0 && d.u32(12) > 0 && d.u32(8) < 100000 &&
                    d.u32(12) < 100000) {
                    s.dpiX = d.u32(8);
                    s.dpiY = d.u32(12);
                }
                return true;
            case Object: {
                const int objectType = (flags >> 8) & 0x7f;
                if (flags & kContinued) {
                    if (!d.has(0, 4))
                        return false;
                    if (s.pendingId != int(id)) {
                        s.pendingId = int(id);
                        s.pendingSize = std::min<qint64>(d.u32(0), kMaxObjectBytes);
                        s.pending.clear();
                    }
                    s.pending.append(d.sub(4, d.size() - 4).toByteArray());
                    if (s.pending.size() > kMaxObjectBytes)
                        return false;
                    if (s.pending.size() < s.pendingSize)
                        return true;
                    storeObject(int(id), objectType, ByteReader(s.pending));
                    s.pendingId = -1;
                    s.pending.clear();
                    return true;
                }
                if (s.pendingId == int(id)) {
                    // The last piece of an object in pieces comes without the flag.
                    if (s.pending.size() + d.size() > kMaxObjectBytes)
                        return false;
                    s.pending.append(d.sub(0, d.size()).toByteArray());
                    storeObject(int(id), objectType, ByteReader(s.pending));
                    s.pendingId = -1;
                    s.pending.clear();
                    return true;
                }
                storeObject(int(id), objectType, d);
                return true;
            }
            case Clear: {
                if (!d.has(0, 4))
                    return false;
                QPainterPath all;
                all.addRect(QRectF(QPointF(0, 0), QSizeF(gdi_.imageSize())));
                gdi_.spendArea(all.boundingRect());
                begin(QTransform());
                p.fillPath(all, argb(d.u32(0)));
                end();
                return true;
            }
            case FillRects:
            case DrawRects: {
                const qint64 at = type == FillRects ? 8 : 4;
                if (!d.has(0, at))
                    return false;
                const quint32 count = d.u32(at - 4);
                if (!d.has(at, qint64(count) * (compressed ? 8 : 16)))
                    return false;
                QPainterPath path;
                for (quint32 i = 0; i < count; ++i) {
                    QRectF rc;
                    if (!readRect(d, at + qint64(i) * (compressed ? 8 : 16), compressed, rc))
                        return false;
                    path.addRect(rc);
                }
                if (type == DrawRects) {
                    stroke(path, id);
                } else if (const auto b = brushFor(flags, d.u32(0))) {
                    fill(path, *b);
                }
                return true;
            }
            case FillPolygon:
            case DrawLines:
            case DrawBeziers: {
                const qint64 at = type == FillPolygon ? 8 : 4;
                std::vector<QPointF> pts;
                if (!d.has(0, at) || !readPoints(d, at, d.u32(at - 4), flags, pts))
                    return false;
                if (pts.empty())
                    return true;
                QPainterPath path;
                path.moveTo(pts[0]);
                if (type == DrawBeziers) {
                    for (size_t i = 1; i + 2 < pts.size(); i += 3)
                        path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
                } else {
                    for (size_t i = 1; i < pts.size(); ++i)
                        path.lineTo(pts[i]);
                }
                if (type == FillPolygon) {
                    path.closeSubpath();
                    path.setFillRule(Qt::OddEvenFill);
                    if (const auto b = brushFor(flags, d.u32(0)))
                        fill(path, *b);
                } else {
                    if (type == DrawLines && (flags & kClosed))
                        path.closeSubpath();
                    stroke(path, id);
                }
                return true;
            }
            case FillClosedCurve:
            case DrawClosedCurve:
            case DrawCurve: {
                // The tension, then DrawCurve's first point and number of segments, the
                // count and the points; FillClosedCurve starts with its brush.
                const qint64 at = type == DrawCurve ? 16 : type == FillClosedCurve ? 12 : 8;
                if (!d.has(0, at))
                    return false;
                const double tension = d.f32(type == FillClosedCurve ? 4 : 0);
                std::vector<QPointF> pts;
                if (!finite({tension}) || !readPoints(d, at, d.u32(at - 4), flags, pts))
                    return false;
                qint64 first = 0, segments = qint64(pts.size());
                if (type == DrawCurve) {
                    first = d.u32(4);
                    segments = d.u32(8);
                    if (pts.size() >= 2 && first + segments > qint64(pts.size()) - 1)
                        return false;
                }
                const QPainterPath path = cardinalSpline(pts, tension, type != DrawCurve,
                                                         size_t(first), size_t(segments));
                if (path.isEmpty())
                    return true;
                if (type != FillClosedCurve) {
                    stroke(path, id);
                } else if (const auto b = brushFor(flags, d.u32(0))) {
                    QPainterPath filled = path;
                    filled.setFillRule(flags & kWinding ? Qt::WindingFill : Qt::OddEvenFill);
                    fill(filled, *b);
                }
                return true;
            }
            case FillEllipse:
            case DrawEllipse:
            case FillPie:
            case DrawPie:
            case DrawArc: {
                const bool filled = type == FillEllipse || type == FillPie;
                const bool angles = type == FillPie || type == DrawPie || type == DrawArc;
                const qint64 at = (filled ? 4 : 0) + (angles ? 8 : 0);
                QRectF rc;
                if (!readRect(d, at, compressed, rc))
                    return false;
                QPainterPath path;
                if (!angles) {
                    path.addEllipse(rc);
                } else {
                    const double start = d.f32(at - 8), sweep = d.f32(at - 4);
                    if (!finite({start, sweep}))
                        return false;
                    // Angles run clockwise from the x axis, y pointing down.
                    if (type != DrawArc)
                        path.moveTo(rc.center());
                    else
                        path.arcMoveTo(rc, -start);
                    path.arcTo(rc, -start, -std::clamp(sweep, -360.0, 360.0));
                    if (type != DrawArc)
                        path.closeSubpath();
                }
                if (!filled) {
                    stroke(path, id);
                } else if (const auto b = brushFor(flags, d.u32(0))) {
                    fill(path, *b);
                }
                return true;
            }
            case FillRegion:
            case FillPath:
            case DrawPath: {
                if (!d.has(0, 4))
                    return false;
                const auto* path = std::get_if<QPainterPath>(&objectAt(id));
                if (!path)
                    return true;
                if (type == DrawPath)
                    stroke(*path, d.u32(0));
                else if (const auto b = brushFor(flags, d.u32(0)))
                    fill(*path, *b);
                return true;
            }
            case DrawImage:
            case DrawImagePoints: {
                if (!d.has(0, 24))
                    return false;
                const auto* image = std::get_if<QImage>(&objectAt(id));
                const auto* picture = std::get_if<PlusMetafile>(&objectAt(id));
                QRectF src;
                if (!readRect(d, 8, false, src))
                    return false;
                std::vector<QPointF> pts;
                if (type == DrawImage) {
                    QRectF dst;
                    if (!readRect(d, 24, compressed, dst))
                        return false;
                    pts = {dst.topLeft(), dst.topRight(), dst.bottomLeft()};
                } else if (!d.has(24, 4) || d.u32(24) != 3 || !readPoints(d, 28, 3, flags, pts)) {
                    return false;
                }
                if ((!image && !picture) || src.width() <= 0 || src.height() <= 0)
                    return true;
                // Source rectangle onto the parallelogram of the three points.
                const QTransform onto((pts[1].x() - pts[0].x()) / src.width(),
                                      (pts[1].y() - pts[0].y()) / src.width(),
                                      (pts[2].x() - pts[0].x()) / src.height(),
                                      (pts[2].y() - pts[0].y()) / src.height(), pts[0].x(),
                                      pts[0].y());
                const QTransform t =
                    QTransform::fromTranslate(-src.x(), -src.y()) * onto * transform();
                gdi_.spendArea(t.mapRect(src));
                if (picture) {
                    // Source coordinates of a metafile are pixels of its frame.
                    const QImage inner = playInside(*picture, t);
                    if (inner.isNull())
                        return true;
                    const double kx = inner.width() / double(picture->frame.width()),
                                 ky = inner.height() / double(picture->frame.height());
                    begin(t);
                    p.drawImage(
                        src, inner,
                        QRectF(src.x() * kx, src.y() * ky, src.width() * kx, src.height() * ky));
                    end();
                    return true;
                }
                gdi_.spend(qint64(image->width()) * image->height());
                begin(t);
                p.drawImage(src, *image, src);
                end();
                return true;
            }
            case DrawString: {
                if (!d.has(0, 28))
                    return false;
                const quint32 length = d.u32(8);
                QRectF layout;
                if (!readRect(d, 12, false, layout) || !d.has(28, qint64(length) * 2))
                    return false;
                const auto* font = std::get_if<PlusFont>(&objectAt(id));
                const auto brush = brushFor(flags, d.u32(0));
                if (!font || !brush)
                    return true;
                QString string(qsizetype(length), Qt::Uninitialized);
                for (quint32 i = 0; i < length; ++i)
                    string[i] = QChar(d.u16(28 + i * 2));
                const auto* format = std::get_if<PlusFormat>(&objectAt(d.u32(4)));
                text(*font, *brush, string, {}, &layout, format ? *format : PlusFormat{});
                return true;
            }
            case DrawDriverString: {
                if (!d.has(0, 16))
                    return false;
                const quint32 options = d.u32(4), count = d.u32(12);
                std::vector<QPointF> at;
                if (count > 1u << 16 || !d.has(16, qint64(count) * 2) ||
                    !readPoints(d, 16 + qint64(count) * 2, count, 0, at))
                    return false;
                const auto* font = std::get_if<PlusFont>(&objectAt(id));
                const auto brush = brushFor(flags, d.u32(0));
                // Without the character-map flag the values are glyph indices of the
                // writer's font: not drawn.
                if (!font || !brush || !(options & 0x1))
                    return true;
                QString string(qsizetype(count), Qt::Uninitialized);
                for (quint32 i = 0; i < count; ++i)
                    string[i] = QChar(d.u16(16 + i * 2));
                text(*font, *brush, string, at, nullptr, {});
                return true;
            }
            case BeginContainer: {
                // The source rectangle maps onto the destination (in the unit of the
                // flags); then the index EndContainer names.
                QRectF dst, src;
                if (!d.has(0, 36) || !readRect(d, 0, false, dst) || !readRect(d, 16, false, src))
                    return false;
                if (s.saved.size() < 4096)
                    s.saved[d.u32(32)] = {s.world, s.container, s.pageUnit, s.pageScale, s.clip};
                const double page = s.unitPx(s.pageUnit, s.dpiX) * s.pageScale;
                const int unit = flags & 0xff;
                const double k = unit == UnitWorld ? 1 : s.unitPx(unit, s.dpiX) / page;
                QTransform onto;
                if (src.width() != 0 && src.height() != 0 && finite({k}))
                    onto = QTransform::fromTranslate(-src.x(), -src.y()) *
                           QTransform::fromScale(dst.width() * k / src.width(),
                                                 dst.height() * k / src.height()) *
                           QTransform::fromTranslate(dst.x() * k, dst.y() * k);
                s.container = onto * s.world * s.container;
                s.world = QTransform();
                return true;
            }
            case Save:
            case Restore:
            case BeginContainerNoParams:
            case EndContainer: {
                if (!d.has(0, 4))
                    return false;
                const quint32 index = d.u32(0);
                if (type == Save || type == BeginContainerNoParams) {
                    if (s.saved.size() < 4096)
                        s.saved[index] = {s.world, s.container, s.pageUnit, s.pageScale, s.clip};
                    // A container's drawing starts from its own identity transform.
                    if (type == BeginContainerNoParams) {
                        s.container = s.world * s.container;
                        s.world = QTransform();
                    }
                } else if (const auto it = s.saved.find(index); it != s.saved.end()) {
                    s.world = it->second.world;
                    s.container = it->second.container;
                    s.pageUnit = it->second.pageUnit;
                    s.pageScale = it->second.pageScale;
                    s.clip = it->second.clip;
                    s.saved.erase(it, s.saved.end());
                }
                return true;
            }
            case SetWorldTransform:
            case MultiplyWorldTransform: {
                QTransform m;
                if (!readMatrix(d, 0, m))
                    return false;
                if (type == SetWorldTransform)
                    s.world = m;
                else
                    s.world = (flags & kAppend) ? s.world * m : m * s.world;
                return true;
            }
            case ResetWorldTransform:
                s.world = QTransform();
                return true;
            case TranslateWorldTransform:
            case ScaleWorldTransform:
            case RotateWorldTransform: {
                if (!d.has(0, type == RotateWorldTransform ? 4 : 8))
                    return false;
                const double a = d.f32(0), b = type == RotateWorldTransform ? 0 : d.f32(4);
                if (!finite({a, b}))
                    return false;
                QTransform m;
                if (type == TranslateWorldTransform)
                    m.translate(a, b);
                else if (type == ScaleWorldTransform)
                    m.scale(a, b);
                else
                    m.rotate(a);
                s.world = (flags & kAppend) ? s.world * m : m * s.world;
                return true;
            }
            case SetPageTransform: {
                if (!d.has(0, 4))
                    return false;
                const double scale = d.f32(0);
                if (!finite({scale}) || scale <= 0)
                    return true;
                s.pageUnit = flags & 0xff;
                s.pageScale = scale;
                return true;
            }
            case ResetClip:
                s.clip.reset();
                return true;
            case SetClipRect: {
                QRectF rc;
                if (!readRect(d, 0, false, rc))
                    return false;
                QPainterPath path;
                path.addRect(rc.normalized());
                combineClip(path, (flags >> 8) & 0xf);
                return true;
            }
            case SetClipPath:
            case SetClipRegion: {
                if (const auto* path = std::get_if<QPainterPath>(&objectAt(id)))
                    combineClip(*path, (flags >> 8) & 0xf);
                return true;
            }
            case OffsetClip: {
                if (!d.has(0, 8))
                    return false;
                const double dx = d.f32(0), dy = d.f32(4);
                if (!finite({dx, dy}))
                    return false;
                if (s.clip) {
                    const QTransform t = transform();
                    const QPointF delta = t.map(QPointF(dx, dy)) - t.map(QPointF(0, 0));
                    s.clip = s.clip->translated(delta);
                }
                return true;
            }
            default:
                return true;  // comments, rendering hints, the end
        }
    });
}

}  // namespace pictrove::metafile
