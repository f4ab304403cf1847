#include "core/metafile/Gdi.h"

#include "core/metafile/SymbolFonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainterPathStroker>
#include <QRawFont>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>

namespace pictrove::metafile::gdi {

namespace {

constexpr qsizetype kMaxObjects = 0x10000;
constexpr qsizetype kMaxSaveDepth = 4096;
constexpr double kMaxFontPx = 2000;
// Work every playback may do whatever its target size, in pixels touched.
constexpr qint64 kWorkAllowance = qint64(1) << 22;

double len(QPointF v) {
    return std::hypot(v.x(), v.y());
}

bool axisAligned(const QTransform& t) {
    return std::abs(t.m12()) < 1e-9 && std::abs(t.m21()) < 1e-9;
}

// A rectangle in image space snapped the way pixel-aligned GDI shapes land: edges
// round to the nearest pixel boundary.
QRect snap(const QRectF& r) {
    const int l = int(std::lround(std::clamp(r.left(), -1e8, 1e8)));
    const int t = int(std::lround(std::clamp(r.top(), -1e8, 1e8)));
    const int rr = int(std::lround(std::clamp(r.right(), -1e8, 1e8)));
    const int b = int(std::lround(std::clamp(r.bottom(), -1e8, 1e8)));
    return QRect(QPoint(l, t), QPoint(rr - 1, b - 1));
}

// The pixels of `limit` inside a path, as a region. QRegion(QPolygon) rasterises the
// polygon's whole bounding box, which a damaged transform can make astronomically
// large; painting into a mask of the limit's size bounds the work by the image.
QRegion pathRegion(const QPainterPath& path, const QRect& limit) {
    if (limit.isEmpty() || path.isEmpty())
        return {};
    QImage mask(limit.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.translate(-limit.topLeft());
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(path);
    }
    QList<QRect> rects;
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* line = mask.constScanLine(y);
        for (int x = 0; x < mask.width();) {
            if (line[x] < 128) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < mask.width() && line[x] >= 128)
                ++x;
            rects.push_back(QRect(limit.x() + start, limit.y() + y, x - start, 1));
        }
    }
    // One-pixel rows, sorted by y then x and never overlapping: the banded form
    // setRects() requires.
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

QRegion mapRect(const QRectF& r, const QTransform& t, const QRect& limit) {
    if (axisAligned(t))
        return QRegion(snap(t.mapRect(r)).intersected(limit));
    QPainterPath path;
    path.addPolygon(t.map(QPolygonF(r)));
    return pathRegion(path, limit);
}

// Union of many rectangles in O(n log n) unions.
QRegion unite(std::vector<QRegion>& parts) {
    if (parts.empty())
        return {};
    while (parts.size() > 1) {
        std::vector<QRegion> next;
        next.reserve(parts.size() / 2 + 1);
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            next.push_back(parts[i].united(parts[i + 1]));
        if (parts.size() % 2)
            next.push_back(parts.back());
        parts.swap(next);
    }
    return parts.front();
}

quint32 ternary(quint32 code, quint32 p, quint32 s, quint32 d) {
    quint32 r = 0;
    for (int i = 0; i < 8; ++i) {
        if (code & (1u << i))
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r;
}

QFont::StyleHint styleHintFor(const QString& face, quint8 pitchAndFamily) {
    const QString f = face.toLower();
    if (f.contains(u"courier") || f.contains(u"consolas") || f.contains(u"mono") ||
        f.contains(u"lucida console"))
        return QFont::TypeWriter;
    if (f.contains(u"times") || f.contains(u"cambria") || f.contains(u"georgia") ||
        f.contains(u"garamond") || f.contains(u"book") || f.contains(u"roman") ||
        (f.contains(u"serif") && !f.contains(u"sans")))
        return QFont::Serif;
    switch (pitchAndFamily >> 4) {
        case 1:
            return QFont::Serif;
        case 3:
            return QFont::TypeWriter;
        default:
            return QFont::SansSerif;
    }
}

// The UTF-16 units from i that draw as one: a character, its low surrogate and the
// combining marks after it.
qsizetype clusterLength(const QString& s, qsizetype i) {
    qsizetype k = i + 1;
    if (s.at(i).isHighSurrogate() && k < s.size() && s.at(k).isLowSurrogate())
        ++k;
    while (k < s.size() && s.at(k).isMark())
        ++k;
    return k - i;
}

}  // namespace

Player::Player(QImage& target, const RenderOptions& options)
    : image_(target), options_(options), painter_(std::make_unique<QPainter>(&target)) {
    dc_.font.face = QStringLiteral("Arial");
    const double pixels = double(target.width()) * target.height();
    work_ = qint64(std::clamp(pixels * std::max(0.0, options.workPerPixel), 0.0, 1e15)) +
            kWorkAllowance;
    if (options.workLimit >= 0)
        work_ = std::min(work_, options.workLimit);
    workStart_ = work_;
}

void Player::spendArea(const QRectF& imageRect) {
    const QRectF touched = imageRect.intersected(QRectF(image_.rect()));
    spend(qint64(touched.width() * touched.height()) + 1);
}

Player::~Player() = default;

// ---------------------------------------------------------------- coordinates

void Player::setDevice(double pxPerMmX, double pxPerMmY, const QTransform& deviceToImage) {
    if (std::isfinite(pxPerMmX) && pxPerMmX > 0)
        pxPerMmX_ = pxPerMmX;
    if (std::isfinite(pxPerMmY) && pxPerMmY > 0)
        pxPerMmY_ = pxPerMmY;
    deviceToImage_ = deviceToImage;
}

void Player::setMapMode(int mode) {
    if (mode < MmText || mode > MmAnisotropic)
        return;
    if ((mode == MmIsotropic || mode == MmAnisotropic) && dc_.mapMode != MmIsotropic &&
        dc_.mapMode != MmAnisotropic) {
        // Switching to a scalable mode keeps the scale of the mode before it.
        const QPointF s = pageScale();
        dc_.windowExt = {1, 1};
        dc_.viewportExt = s;
    }
    dc_.mapMode = mode;
}

void Player::setWindowExt(QPointF e) {
    if (e.x() == 0 || e.y() == 0)
        return;
    if (wmf_ || dc_.mapMode == MmIsotropic || dc_.mapMode == MmAnisotropic)
        dc_.windowExt = e;
}

void Player::setViewportExt(QPointF e) {
    if (e.x() == 0 || e.y() == 0)
        return;
    if (dc_.mapMode == MmIsotropic || dc_.mapMode == MmAnisotropic)
        dc_.viewportExt = e;
}

void Player::modifyWorldTransform(const QTransform& t, quint32 mode) {
    switch (mode) {
        case 1:
            dc_.world = QTransform();
            break;
        case 2:
            dc_.world = t * dc_.world;
            break;
        case 3:
            dc_.world = dc_.world * t;
            break;
        case 4:
            dc_.world = t;
            break;
        default:
            break;
    }
}

QPointF Player::pageScale() const {
    auto iso = [&](double sx, double sy) {
        if (dc_.mapMode != MmIsotropic)
            return QPointF(sx, sy);
        const double m = std::min(std::abs(sx), std::abs(sy));
        return QPointF(std::copysign(m, sx), std::copysign(m, sy));
    };
    if (wmf_) {
        return iso(image_.width() / dc_.windowExt.x(), image_.height() / dc_.windowExt.y());
    }
    double mm = 0;
    switch (dc_.mapMode) {
        case MmLoMetric:
            mm = 0.1;
            break;
        case MmHiMetric:
            mm = 0.01;
            break;
        case MmLoEnglish:
            mm = 0.254;
            break;
        case MmHiEnglish:
            mm = 0.0254;
            break;
        case MmTwips:
            mm = 25.4 / 1440;
            break;
        case MmIsotropic:
        case MmAnisotropic:
            return iso(dc_.viewportExt.x() / dc_.windowExt.x(),
                       dc_.viewportExt.y() / dc_.windowExt.y());
        default:
            return {1, 1};
    }
    return {pxPerMmX_ * mm, -pxPerMmY_ * mm};
}

QTransform Player::logicalToImage() const {
    const QPointF s = pageScale();
    const QPointF vo = wmf_ ? QPointF(0, 0) : dc_.viewportOrg;
    const QTransform page(s.x(), 0, 0, s.y(), vo.x() - dc_.windowOrg.x() * s.x(),
                          vo.y() - dc_.windowOrg.y() * s.y());
    return dc_.world * page * deviceToImage_;
}

double Player::lengthScale() const {
    const QTransform t = logicalToImage();
    return std::sqrt(std::abs(t.m11() * t.m22() - t.m12() * t.m21()));
}

// ---------------------------------------------------------------- state stack

void Player::saveDc() {
    if (qsizetype(saved_.size()) < kMaxSaveDepth)
        saved_.push_back(dc_);
}

void Player::restoreDc(int n) {
    const qint64 size = qint64(saved_.size());
    const qint64 index = n < 0 ? size + n : qint64(n) - 1;
    if (n == 0 || index < 0 || index >= size)
        return;
    dc_ = saved_[size_t(index)];
    saved_.resize(size_t(index));
}

// ---------------------------------------------------------------- objects

void Player::resetObjects(qsizetype count) {
    objects_.assign(size_t(std::clamp<qsizetype>(count, 0, kMaxObjects)), Object{});
}

void Player::storeObject(quint32 index, Object object) {
    if (index == 0 || index >= kMaxObjects)
        return;
    if (index >= objects_.size())
        objects_.resize(index + 1);
    objects_[index] = std::move(object);
}

void Player::addObject(Object object) {
    for (auto& slot : objects_) {
        if (std::holds_alternative<std::monostate>(slot)) {
            slot = std::move(object);
            return;
        }
    }
    if (qsizetype(objects_.size()) < kMaxObjects)
        objects_.push_back(std::move(object));
}

const Object* Player::object(quint32 index) const {
    return index < objects_.size() ? &objects_[index] : nullptr;
}

void Player::selectObject(quint32 index) {
    const Object* o = object(index);
    if (!o)
        return;
    if (auto* pen = std::get_if<Pen>(o))
        dc_.pen = *pen;
    else if (auto* brush = std::get_if<Brush>(o))
        dc_.brush = *brush;
    else if (auto* font = std::get_if<Font>(o))
        dc_.font = *font;
    else if (auto* palette = std::get_if<Palette>(o))
        dc_.palette = *palette;
    else if (auto* region = std::get_if<Region>(o))
        combineClip(logicalRegionToImage(region->rects), RgnCopy);
}

void Player::selectStockObject(quint32 i) {
    auto solid = [](QColor c) { return Brush{BsSolid, c, 0, {}, false}; };
    switch (i) {
        case 0:
            dc_.brush = solid(Qt::white);
            break;
        case 1:
            dc_.brush = solid(QColor(0xc0, 0xc0, 0xc0));
            break;
        case 2:
            dc_.brush = solid(QColor(0x80, 0x80, 0x80));
            break;
        case 3:
            dc_.brush = solid(QColor(0x40, 0x40, 0x40));
            break;
        case 4:
            dc_.brush = solid(Qt::black);
            break;
        case 5:
            dc_.brush = Brush{BsNull, Qt::black, 0, {}, false};
            break;
        case 6:
            dc_.pen = Pen{PsSolid, 0, true, Qt::white, {}};
            break;
        case 7:
            dc_.pen = Pen{PsSolid, 0, true, Qt::black, {}};
            break;
        case 8:
            dc_.pen = Pen{PsNull, 0, true, Qt::black, {}};
            break;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 16:
        case 17:
            dc_.font = Font{};
            dc_.font.face = (i == 10 || i == 11 || i == 16) ? QStringLiteral("Courier New")
                                                            : QStringLiteral("Arial");
            break;
        case 15:
            dc_.palette.clear();
            break;
        case 18:
            dc_.brush = solid(Qt::white);
            break;
        case 19:
            dc_.pen = Pen{PsSolid, 0, true, Qt::black, {}};
            break;
        default:
            break;
    }
}

void Player::deleteObject(quint32 index) {
    if (index < objects_.size())
        objects_[index] = Object{};
}

// ---------------------------------------------------------------- clipping

QRegion Player::logicalRegionToImage(std::span<const QRect> logical) const {
    return regionToImage(logical, logicalToImage());
}

QRegion Player::regionToImage(std::span<const QRect> source, const QTransform& t) const {
    const QRect limit = image_.rect();
    std::vector<QRegion> parts;
    for (const QRect& r : source)
        parts.push_back(mapRect(QRectF(r), t, limit));
    return unite(parts);
}

void Player::intersectClipRect(const QRectF& logical) {
    const QRegion region = mapRect(logical.normalized(), logicalToImage(), image_.rect());
    dc_.clip = dc_.clip ? dc_.clip->intersected(region) : region;
}

void Player::excludeClipRect(const QRectF& logical) {
    const QRegion region = mapRect(logical.normalized(), logicalToImage(), image_.rect());
    dc_.clip = dc_.clip.value_or(QRegion(image_.rect())).subtracted(region);
}

void Player::offsetClip(QPointF logical) {
    if (!dc_.clip)
        return;
    const QTransform t = logicalToImage();
    const QPointF d = t.map(logical) - t.map(QPointF(0, 0));
    if (std::abs(d.x()) < 1e7 && std::abs(d.y()) < 1e7)
        dc_.clip->translate(int(std::lround(d.x())), int(std::lround(d.y())));
}

void Player::combineClip(const std::optional<QRegion>& region, int mode) {
    if (mode == RgnCopy) {
        dc_.clip = region;
        return;
    }
    if (!region)
        return;
    const QRegion current = dc_.clip.value_or(QRegion(image_.rect()));
    switch (mode) {
        case RgnAnd:
            dc_.clip = current.intersected(*region);
            break;
        case RgnOr:
            dc_.clip = dc_.clip ? current.united(*region) : current;
            break;
        case RgnXor:
            dc_.clip = current.xored(*region);
            break;
        case RgnDiff:
            dc_.clip = current.subtracted(*region);
            break;
        default:
            break;
    }
}

void Player::applyClip(QPainter& p) const {
    p.resetTransform();
    if (dc_.clip)
        p.setClipRegion(*dc_.clip);
    else
        p.setClipping(false);
}

// ---------------------------------------------------------------- pens and brushes

QPen Player::makePen(double scale) const {
    const Pen& pen = dc_.pen;
    const quint32 style = pen.style & PsStyleMask;
    if (style == PsNull)
        return Qt::NoPen;
    double width = pen.cosmetic || pen.width <= 0 ? 1.0 : pen.width * scale;
    width = std::clamp(width, 1.0, 1e5);
    QPen q(pen.color, width);
    if (pen.cosmetic || pen.width <= 1) {
        q.setCapStyle(Qt::FlatCap);
        q.setJoinStyle(Qt::MiterJoin);
    } else {
        const quint32 cap = pen.style & PsEndcapMask, join = pen.style & PsJoinMask;
        q.setCapStyle(cap == PsEndcapSquare ? Qt::SquareCap
                      : cap == PsEndcapFlat ? Qt::FlatCap
                                            : Qt::RoundCap);
        q.setJoinStyle(join == PsJoinBevel   ? Qt::BevelJoin
                       : join == PsJoinMiter ? Qt::MiterJoin
                                             : Qt::RoundJoin);
    }
    // Dash lengths: device pixels for thin pens, multiples of the width for wide ones.
    const bool thin = width <= 1.5;
    QList<qreal> dashes;
    switch (style) {
        case PsDash:
            dashes = thin ? QList<qreal>{18, 6} : QList<qreal>{3, 1};
            break;
        case PsDot:
            dashes = thin ? QList<qreal>{3, 3} : QList<qreal>{1, 1};
            break;
        case PsDashDot:
            dashes = thin ? QList<qreal>{9, 6, 3, 6} : QList<qreal>{3, 1, 1, 1};
            break;
        case PsDashDotDot:
            dashes = thin ? QList<qreal>{9, 3, 3, 3, 3, 3} : QList<qreal>{3, 1, 1, 1, 1, 1};
            break;
        case PsAlternate:
            dashes = {1, 1};
            break;
        case PsUserStyle:
            for (size_t i = 0; i < pen.dashes.size() && i < 32; ++i)
                dashes.push_back(std::clamp(pen.dashes[i] * scale / width, 0.1, 1e4));
            if (dashes.size() % 2)
                dashes.push_back(dashes.back());
            break;
        default:
            break;
    }
    if (!dashes.isEmpty()) {
        if (thin)
            for (auto& d : dashes)
                d /= width;
        q.setDashPattern(dashes);
    }
    return q;
}

QBrush Player::makeBrush(const Brush& b) const {
    switch (b.style) {
        case BsNull:
            return Qt::NoBrush;
        case BsHatched: {
            QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
            tile.fill(dc_.bkMode == Opaque ? dc_.bkColor : QColor(Qt::transparent));
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    bool on = false;
                    switch (b.hatch) {
                        case 0:
                            on = y == 7;
                            break;
                        case 1:
                            on = x == 7;
                            break;
                        case 2:
                            on = x == y;
                            break;
                        case 3:
                            on = x + y == 7;
                            break;
                        case 4:
                            on = x == 7 || y == 7;
                            break;
                        case 5:
                            on = x == y || x + y == 7;
                            break;
                        default:
                            break;
                    }
                    if (on)
                        tile.setPixelColor(x, y, b.color);
                }
            }
            return QBrush(tile);
        }
        case BsPattern:
        case BsDibPattern:
        case BsDibPatternPt: {
            if (b.pattern.isNull())
                return QBrush(b.color);
            QImage tile = b.pattern;
            if (b.mono) {
                tile = tile.convertToFormat(QImage::Format_RGB32);
                for (int y = 0; y < tile.height(); ++y) {
                    QRgb* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
                    for (int x = 0; x < tile.width(); ++x)
                        line[x] = qGray(line[x]) < 128 ? dc_.textColor.rgb() : dc_.bkColor.rgb();
                }
            }
            QBrush brush(tile);
            const double s = std::sqrt(std::abs(deviceToImage_.determinant()));
            if (std::isfinite(s) && s > 0 && std::abs(s - 1) > 0.01)
                brush.setTransform(QTransform::fromScale(s, s));
            return brush;
        }
        default:
            return QBrush(b.color);
    }
}

bool Player::applyRop2(QPainter& p) const {
    QPainter::CompositionMode m = QPainter::CompositionMode_SourceOver;
    switch (dc_.rop2) {
        case 2:
            m = QPainter::RasterOp_NotSourceAndNotDestination;
            break;
        case 3:
            m = QPainter::RasterOp_NotSourceAndDestination;
            break;
        case 4:
            m = QPainter::RasterOp_NotSource;
            break;
        case 5:
            m = QPainter::RasterOp_SourceAndNotDestination;
            break;
        case 6:
            m = QPainter::RasterOp_NotDestination;
            break;
        case 7:
            m = QPainter::RasterOp_SourceXorDestination;
            break;
        case 8:
            m = QPainter::RasterOp_NotSourceOrNotDestination;
            break;
        case 9:
            m = QPainter::RasterOp_SourceAndDestination;
            break;
        case 10:
            m = QPainter::RasterOp_NotSourceXorDestination;
            break;
        case 11:
            return false;
        case 12:
            m = QPainter::RasterOp_NotSourceOrDestination;
            break;
        case 14:
            m = QPainter::RasterOp_SourceOrNotDestination;
            break;
        case 15:
            m = QPainter::RasterOp_SourceOrDestination;
            break;
        default:
            break;
    }
    p.setCompositionMode(m);
    return true;
}

// ---------------------------------------------------------------- drawing core

void Player::drawImagePath(const QPainterPath& path, bool stroke, bool fill) {
    const double penMargin = stroke ? makePen(lengthScale()).widthF() : 0;
    spendArea(path.controlPointRect().adjusted(-penMargin, -penMargin, penMargin, penMargin));
    QPainter& p = *painter_;
    applyClip(p);
    p.setOpacity(1);
    if (!applyRop2(p))
        return;
    const bool plain = dc_.rop2 == 13 || dc_.rop2 == 1 || dc_.rop2 == 16;
    const QColor forced = dc_.rop2 == 1 ? QColor(Qt::black) : QColor(Qt::white);
    if (fill && dc_.brush.style != BsNull) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(plain && dc_.rop2 != 13 ? QBrush(forced) : makeBrush(dc_.brush));
        p.drawPath(path);
    }
    if (stroke && (dc_.pen.style & PsStyleMask) != PsNull) {
        QPen pen = makePen(lengthScale());
        if (plain && dc_.rop2 != 13)
            pen.setColor(forced);
        p.setRenderHint(QPainter::Antialiasing, dc_.rop2 == 13);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
}

void Player::addToPathOrDraw(const QPainterPath& logical, bool stroke, bool fill) {
    const QTransform t = logicalToImage();
    QPainterPath mapped = t.map(logical);
    if (inPath_) {
        path_.addPath(mapped);
        pathNeedsMove_ = true;
        return;
    }
    mapped.setFillRule(dc_.polyFill == Winding ? Qt::WindingFill : Qt::OddEvenFill);
    drawImagePath(mapped, stroke, fill);
}

// ---------------------------------------------------------------- paths

void Player::beginPath() {
    path_ = QPainterPath();
    inPath_ = true;
    pathNeedsMove_ = true;
}

void Player::abortPath() {
    path_ = QPainterPath();
    inPath_ = false;
}

void Player::closeFigure() {
    if (inPath_ && path_.elementCount() > 0) {
        path_.closeSubpath();
        pathNeedsMove_ = true;
    }
}

void Player::finishPath(bool stroke, bool fill) {
    inPath_ = false;
    QPainterPath path;
    path.swap(path_);  // leaves the current path empty
    if (path.isEmpty())
        return;
    path.setFillRule(dc_.polyFill == Winding ? Qt::WindingFill : Qt::OddEvenFill);
    drawImagePath(path, stroke, fill);
}

void Player::selectClipPath(int mode) {
    inPath_ = false;
    QPainterPath path;
    path.swap(path_);  // leaves the current path empty
    path.setFillRule(dc_.polyFill == Winding ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(pathRegion(path, image_.rect()), mode);
}

void Player::flattenPath() {
    QPainterPath flat;
    for (const QPolygonF& poly : path_.toSubpathPolygons())
        flat.addPolygon(poly);
    path_ = flat;
}

void Player::widenPath() {
    QPainterPathStroker stroker(makePen(lengthScale()));
    path_ = stroker.createStroke(path_);
}

// ---------------------------------------------------------------- primitives

void Player::moveTo(QPointF p) {
    dc_.position = p;
    pathNeedsMove_ = true;
}

void Player::lineTo(QPointF p) {
    polylineTo({p});
}

void Player::polylineTo(const std::vector<QPointF>& pts) {
    if (pts.empty())
        return;
    const QTransform t = logicalToImage();
    if (inPath_) {
        if (pathNeedsMove_ || path_.elementCount() == 0)
            path_.moveTo(t.map(dc_.position));
        for (const QPointF& p : pts)
            path_.lineTo(t.map(p));
        pathNeedsMove_ = false;
    } else {
        QPainterPath path(dc_.position);
        for (const QPointF& p : pts)
            path.lineTo(p);
        drawImagePath(t.map(path), true, false);
    }
    dc_.position = pts.back();
}

void Player::polyline(const std::vector<QPointF>& pts) {
    if (pts.size() < 2)
        return;
    QPainterPath path(pts[0]);
    for (size_t i = 1; i < pts.size(); ++i)
        path.lineTo(pts[i]);
    addToPathOrDraw(path, true, false);
}

void Player::polygon(const std::vector<QPointF>& pts) {
    if (pts.size() < 2)
        return;
    polyPolygon({pts});
}

void Player::polyPolygon(const std::vector<std::vector<QPointF>>& polys) {
    QPainterPath path;
    for (const auto& poly : polys) {
        if (poly.size() < 2)
            continue;
        path.moveTo(poly[0]);
        for (size_t i = 1; i < poly.size(); ++i)
            path.lineTo(poly[i]);
        path.closeSubpath();
    }
    if (!path.isEmpty())
        addToPathOrDraw(path, true, true);
}

void Player::polyPolyline(const std::vector<std::vector<QPointF>>& lines) {
    QPainterPath path;
    for (const auto& line : lines) {
        if (line.size() < 2)
            continue;
        path.moveTo(line[0]);
        for (size_t i = 1; i < line.size(); ++i)
            path.lineTo(line[i]);
    }
    if (!path.isEmpty())
        addToPathOrDraw(path, true, false);
}

void Player::polyBezier(const std::vector<QPointF>& pts) {
    if (pts.size() < 4)
        return;
    QPainterPath path(pts[0]);
    for (size_t i = 1; i + 2 < pts.size(); i += 3)
        path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
    addToPathOrDraw(path, true, false);
}

void Player::polyBezierTo(const std::vector<QPointF>& pts) {
    if (pts.size() < 3)
        return;
    const QTransform t = logicalToImage();
    if (inPath_) {
        if (pathNeedsMove_ || path_.elementCount() == 0)
            path_.moveTo(t.map(dc_.position));
        for (size_t i = 0; i + 2 < pts.size(); i += 3)
            path_.cubicTo(t.map(pts[i]), t.map(pts[i + 1]), t.map(pts[i + 2]));
        pathNeedsMove_ = false;
    } else {
        QPainterPath path(dc_.position);
        for (size_t i = 0; i + 2 < pts.size(); i += 3)
            path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
        drawImagePath(t.map(path), true, false);
    }
    dc_.position = pts[(pts.size() / 3) * 3 - 1];
}

void Player::rectangle(const QRectF& r) {
    QPainterPath path;
    path.addRect(r.normalized());
    addToPathOrDraw(path, true, true);
}

void Player::roundRect(const QRectF& r, QSizeF corner) {
    QPainterPath path;
    path.addRoundedRect(r.normalized(), std::abs(corner.width()) / 2,
                        std::abs(corner.height()) / 2);
    addToPathOrDraw(path, true, true);
}

void Player::ellipse(const QRectF& r) {
    QPainterPath path;
    path.addEllipse(r.normalized());
    addToPathOrDraw(path, true, true);
}

QPainterPath Player::arcPath(ArcKind kind, const QRectF& boxIn, QPointF start, QPointF end) const {
    const QRectF box = boxIn.normalized();
    QPainterPath path;
    const QPointF c = box.center();
    const double rx = box.width() / 2, ry = box.height() / 2;
    if (rx <= 0 || ry <= 0)
        return path;
    auto angle = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180 / M_PI;
    };
    const double a1 = angle(start), a2 = angle(end);
    double sweep = a2 - a1;
    if (!dc_.clockwiseArcs) {
        while (sweep <= 1e-9)
            sweep += 360;
    } else {
        while (sweep >= -1e-9)
            sweep -= 360;
    }
    switch (kind) {
        case ArcKind::Arc:
            path.arcMoveTo(box, a1);
            path.arcTo(box, a1, sweep);
            break;
        case ArcKind::ArcTo:
            path.moveTo(dc_.position);
            path.arcTo(box, a1, sweep);
            break;
        case ArcKind::Chord:
            path.arcMoveTo(box, a1);
            path.arcTo(box, a1, sweep);
            path.closeSubpath();
            break;
        case ArcKind::Pie:
            path.moveTo(c);
            path.arcTo(box, a1, sweep);
            path.closeSubpath();
            break;
    }
    return path;
}

void Player::arc(ArcKind kind, const QRectF& box, QPointF start, QPointF end) {
    const QPainterPath path = arcPath(kind, box, start, end);
    if (path.isEmpty())
        return;
    const bool closed = kind == ArcKind::Chord || kind == ArcKind::Pie;
    if (kind == ArcKind::ArcTo && inPath_) {
        const QTransform t = logicalToImage();
        if (pathNeedsMove_ || path_.elementCount() == 0)
            path_.moveTo(t.map(dc_.position));
        path_.connectPath(t.map(path));
        pathNeedsMove_ = false;
    } else {
        addToPathOrDraw(path, true, closed);
    }
    if (kind == ArcKind::ArcTo)
        dc_.position = path.currentPosition();
}

void Player::angleArc(QPointF center, double radius, double startDeg, double sweepDeg) {
    if (!(radius > 0) || !std::isfinite(startDeg) || !std::isfinite(sweepDeg))
        return;
    const QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(dc_.position);
    path.arcTo(box, startDeg, std::clamp(sweepDeg, -3600.0, 3600.0));
    const QTransform t = logicalToImage();
    if (inPath_) {
        if (pathNeedsMove_ || path_.elementCount() == 0)
            path_.moveTo(t.map(dc_.position));
        path_.connectPath(t.map(path));
        pathNeedsMove_ = false;
    } else {
        drawImagePath(t.map(path), true, false);
    }
    dc_.position = path.currentPosition();
}

void Player::setPixel(QPointF p, QColor c) {
    const QPointF q = logicalToImage().map(p);
    const double s = std::max(1.0, std::sqrt(std::abs(deviceToImage_.determinant())));
    QPainter& painter = *painter_;
    applyClip(painter);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.fillRect(QRectF(std::floor(q.x()), std::floor(q.y()), s, s), c);
}

void Player::fillRegion(const QRegion& region, const Brush& brush) {
    if (brush.style == BsNull || region.isEmpty())
        return;
    spendArea(region.boundingRect());
    QPainter& p = *painter_;
    applyClip(p);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    const QBrush b = makeBrush(brush);
    for (const QRect& r : region)
        p.fillRect(r, b);
}

void Player::frameRegion(const QRegion& region, const Brush& brush, QSizeF logicalSize) {
    const QTransform t = logicalToImage();
    const QPointF d = t.map(QPointF(logicalSize.width(), logicalSize.height())) - t.map(QPointF());
    const int w = std::clamp(int(std::lround(std::abs(d.x()))), 1, 1000);
    const int h = std::clamp(int(std::lround(std::abs(d.y()))), 1, 1000);
    // The frame is the region minus the region shrunk by the frame width.
    QRegion inner = region;
    inner = inner.intersected(region.translated(w, 0)).intersected(region.translated(-w, 0));
    inner = inner.intersected(region.translated(0, h)).intersected(region.translated(0, -h));
    fillRegion(region.subtracted(inner), brush);
}

void Player::invertRegion(const QRegion& region) {
    spendArea(region.boundingRect());
    QPainter& p = *painter_;
    applyClip(p);
    p.setCompositionMode(QPainter::RasterOp_NotDestination);
    for (const QRect& r : region)
        p.fillRect(r, Qt::black);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// ---------------------------------------------------------------- text

Font logFontFields(const bytes::ByteReader& r, qint64 at, int intBytes) {
    auto integer = [&](int i) {
        const qint64 o = at + qint64(i) * intBytes;
        return intBytes == 2 ? int(r.i16(o)) : r.i32(o);
    };
    const qint64 styles = at + 5 * qint64(intBytes);
    Font f;
    f.height = integer(0);
    f.width = integer(1);
    f.escapement = integer(2);
    f.weight = integer(4);
    f.italic = r.u8(styles);
    f.underline = r.u8(styles + 1);
    f.strikeOut = r.u8(styles + 2);
    f.charset = r.u8(styles + 3);
    f.pitchAndFamily = r.u8(styles + 7);
    return f;
}

QString Player::decodeAnsi(QByteArrayView bytes, quint8 charset) {
    const char* name = "windows-1252";
    switch (charset) {
        case 77:
            name = "macintosh";
            break;
        case 128:
            name = "Shift_JIS";
            break;
        case 129:
            name = "windows-949";
            break;
        case 130:
            name = "johab";
            break;
        case 134:
            name = "GBK";
            break;
        case 136:
            name = "Big5";
            break;
        case 161:
            name = "windows-1253";
            break;
        case 162:
            name = "windows-1254";
            break;
        case 163:
            name = "windows-1258";
            break;
        case 177:
            name = "windows-1255";
            break;
        case 178:
            name = "windows-1256";
            break;
        case 186:
            name = "windows-1257";
            break;
        case 204:
            name = "windows-1251";
            break;
        case 222:
            name = "windows-874";
            break;
        case 238:
            name = "windows-1250";
            break;
        case 255:
            name = "IBM437";
            break;
        default:
            break;
    }
    QStringDecoder decoder(name);
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QString Player::textOfBytes(QByteArrayView bytes) const {
    // A symbol font's bytes are its code points whatever charset the font claims.
    if (symbolFontOf(dc_.font.face, dc_.font.charset) != SymbolFont::None)
        return QString::fromLatin1(bytes);
    return decodeAnsi(bytes, dc_.font.charset);
}

std::optional<QFont> Player::textFont(double yScale) const {
    QFont font;
    const SymbolFont symbol = symbolFontOf(dc_.font.face, dc_.font.charset);
    font.setFamilies(symbol == SymbolFont::None ? QStringList{dc_.font.face}
                                                : symbolFamilies(symbol));
    font.setStyleHint(styleHintFor(dc_.font.face, dc_.font.pitchAndFamily));
    font.setWeight(
        QFont::Weight(std::clamp(dc_.font.weight == 0 ? 400 : dc_.font.weight, 1, 1000)));
    font.setItalic(dc_.font.italic);
    font.setUnderline(dc_.font.underline);
    font.setStrikeOut(dc_.font.strikeOut);
    font.setKerning(false);
    const double dpi = image_.logicalDpiY() > 0 ? image_.logicalDpiY() : 96;
    double em;
    if (dc_.font.height < 0) {
        em = -dc_.font.height * yScale;
    } else if (dc_.font.height > 0) {
        // A positive height is the cell height: ascent plus descent.
        font.setPointSizeF(100 * 72 / dpi);
        const QFontMetricsF fm(font, &image_);
        em = dc_.font.height * yScale * 100 / std::max(1.0, fm.ascent() + fm.descent());
    } else {
        em = 16 * std::sqrt(std::abs(deviceToImage_.determinant()));
    }
    if (!std::isfinite(em) || em < 0.5)
        return std::nullopt;
    font.setPointSizeF(std::min(em, kMaxFontPx) * 72 / dpi);
    return font;
}

double Player::textPositions(const QString& s, const std::vector<double>& dx, bool pdy,
                             QPointF scale, const QFontMetricsF& fm, const QRawFont* glyphs,
                             std::vector<QPointF>& pos) const {
    const qsizetype n = s.size();
    pos.resize(static_cast<size_t>(n));
    double x = 0;
    if (!dx.empty()) {
        const size_t step = pdy ? 2 : 1;
        double y = 0;
        for (qsizetype i = 0; i < n; ++i) {
            pos[size_t(i)] = {x, y};
            const size_t k = size_t(i) * step;
            if (k < dx.size())
                x += dx[k] * scale.x();
            if (pdy && k + 1 < dx.size())
                y -= dx[k + 1] * scale.y();
        }
    } else {
        const double extra = dc_.charExtra * scale.x();
        for (qsizetype i = 0; i < n;) {
            const qsizetype len = glyphs ? 1 : clusterLength(s, i);
            for (qsizetype k = 0; k < len; ++k)
                pos[size_t(i + k)] = {x, 0};
            x += (glyphs ? glyphs->advancesForGlyphIndexes(QList<quint32>{s.at(i).unicode()})
                               .value(0)
                               .x()
                         : fm.horizontalAdvance(s.mid(i, len))) +
                 extra;
            i += len;
        }
    }
    return x;
}

void Player::drawText(const QTransform& local, const QString& s, const std::vector<QPointF>& pos,
                      bool positioned, double width, const QFont& font, const QFontMetricsF& fm,
                      const QRawFont* glyphs) {
    const quint32 h = dc_.textAlign & TaHorizontalMask, v = dc_.textAlign & TaVerticalMask;
    const double x0 = h == TaCenter ? -width / 2 : h == TaRight ? -width : 0;
    const double baseY = v == TaBaseline ? 0 : v == TaBottom ? -fm.descent() : fm.ascent();
    const qsizetype n = s.size();
    if (glyphs) {
        QList<quint32> indexes;
        QList<QPointF> at;
        for (qsizetype i = 0; i < n; ++i) {
            indexes.push_back(s.at(i).unicode());
            at.push_back(QPointF(x0, baseY) + pos[size_t(i)]);
        }
        if (inPath_) {
            QPainterPath tp;
            for (qsizetype i = 0; i < n; ++i)
                tp.addPath(glyphs->pathForGlyph(indexes[i]).translated(at[i]));
            path_.addPath(local.map(tp));
            pathNeedsMove_ = true;
            return;
        }
        spendArea(local.mapRect(QRectF(x0, baseY - fm.ascent(), width, fm.height())));
        QGlyphRun run;
        run.setRawFont(*glyphs);
        run.setGlyphIndexes(indexes);
        run.setPositions(at);
        QPainter& p = *painter_;
        p.setTransform(local);
        if (dc_.bkMode == Opaque)
            p.fillRect(QRectF(x0, baseY - fm.ascent(), width, fm.ascent() + fm.descent()),
                       dc_.bkColor);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(dc_.textColor);
        p.drawGlyphRun(QPointF(0, 0), run);
        p.resetTransform();
        return;
    }
    if (inPath_) {
        QPainterPath tp;
        for (qsizetype i = 0, len = 0; i < n; i += len) {
            len = clusterLength(s, i);
            tp.addText(QPointF(x0, baseY) + pos[size_t(i)], font, s.mid(i, len));
        }
        path_.addPath(local.map(tp));
        pathNeedsMove_ = true;
        return;
    }
    spendArea(local.mapRect(QRectF(x0, baseY - fm.ascent(), width, fm.height())));
    QPainter& p = *painter_;
    p.setTransform(local);
    if (dc_.bkMode == Opaque)
        p.fillRect(QRectF(x0, baseY - fm.ascent(), width, fm.ascent() + fm.descent()), dc_.bkColor);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.setFont(font);
    p.setPen(dc_.textColor);
    if (!positioned) {
        p.drawText(QPointF(x0, baseY), s);
    } else {
        for (qsizetype i = 0, len = 0; i < n; i += len) {
            len = clusterLength(s, i);
            if (s.at(i) != u' ')
                p.drawText(QPointF(x0, baseY) + pos[size_t(i)], s.mid(i, len));
        }
    }
    p.resetTransform();
}

void Player::text(QPointF ref, const QString& sIn, const std::vector<double>& dx, quint32 options,
                  std::optional<QRectF> rect) {
    const QTransform t = logicalToImage();
    const bool updateCp = dc_.textAlign & TaUpdateCp;
    if (updateCp)
        ref = dc_.position;
    QPainter& p = *painter_;
    applyClip(p);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setOpacity(1);
    if (rect && (options & EtoOpaque) && !inPath_) {
        QPainterPath rp;
        rp.addRect(rect->normalized());
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(dc_.bkColor);
        p.drawPath(t.map(rp));
    }
    if (sIn.isEmpty())
        return;
    if (rect && (options & EtoClipped)) {
        QPainterPath rp;
        rp.addRect(rect->normalized());
        p.setClipPath(t.map(rp), dc_.clip ? Qt::IntersectClip : Qt::ReplaceClip);
    }

    const bool glyphIndices = options & EtoGlyphIndex;
    const SymbolFont symbol =
        glyphIndices ? SymbolFont::None : symbolFontOf(dc_.font.face, dc_.font.charset);
    QString s = sIn;
    std::vector<double> symbolDx;
    if (symbol != SymbolFont::None) {
        // A symbol code may become two UTF-16 units: the second advances nothing.
        s.clear();
        const size_t step = options & EtoPdy ? 2 : 1;
        for (qsizetype j = 0; j < sIn.size(); ++j) {
            const QString shown = symbolText(symbol, sIn.mid(j, 1));
            s += shown;
            for (qsizetype u = 0; u < shown.size() && !dx.empty(); ++u)
                for (size_t k = 0; k < step; ++k) {
                    const size_t at = size_t(j) * step + k;
                    symbolDx.push_back(u == 0 && at < dx.size() ? dx[at] : 0);
                }
        }
    }
    const std::vector<double>& advances = symbol == SymbolFont::None ? dx : symbolDx;

    const QPointF origin = t.map(ref);
    const QPointF ex = t.map(ref + QPointF(1, 0)) - origin;
    const QPointF ey = t.map(ref + QPointF(0, 1)) - origin;
    const double advScale = len(ex), yScale = len(ey);
    if (!std::isfinite(advScale) || !std::isfinite(yScale) || advScale <= 0 || yScale <= 0)
        return;
    const double angle = std::atan2(ex.y(), ex.x()) * 180 / M_PI - dc_.font.escapement / 10.0;

    const std::optional<QFont> font = textFont(yScale);
    if (!font)
        return;
    // Glyph indices number the glyphs of the one font the writer had: drawn only where
    // the face asked for is the face we draw with, else nothing, as they would be wrong.
    std::optional<QRawFont> raw;
    if (glyphIndices) {
        if (QFontInfo(*font).family().compare(dc_.font.face, Qt::CaseInsensitive) != 0)
            return;
        raw = QRawFont::fromFont(*font);
        if (!raw->isValid())
            return;
        if (image_.logicalDpiY() > 0)
            raw->setPixelSize(font->pointSizeF() * image_.logicalDpiY() / 72);
    }
    const QFontMetricsF fm(*font, &image_);
    // Pen positions of each UTF-16 unit along the baseline, in image pixels.
    std::vector<QPointF> pos;
    const double width = textPositions(s, advances, options & EtoPdy, QPointF(advScale, yScale), fm,
                                       raw ? &*raw : nullptr, pos);

    QTransform local;
    local.translate(origin.x(), origin.y());
    local.rotate(angle);
    drawText(local, s, pos, !advances.empty(), width, *font, fm, raw ? &*raw : nullptr);
    if (updateCp)
        dc_.position = ref + QPointF(width / advScale, 0);
}

// ---------------------------------------------------------------- bitmaps

void Player::blit(const Blit& b) {
    const quint32 code = rop3(b.rop);
    const bool usesSrc = ((code >> 2) ^ code) & 0x33;
    const bool usesPat = ((code >> 4) ^ code) & 0x0f;
    if (code == Rop3Dest)
        return;
    if (usesSrc && (!b.image || b.image->isNull()))
        return;
    const QTransform t = logicalToImage();
    const QRectF& d = b.dest;
    const QPointF p0 = t.map(d.topLeft());
    const QPointF p1 = t.map(QPointF(d.x() + d.width(), d.y()));
    const QPointF p2 = t.map(QPointF(d.x(), d.y() + d.height()));
    for (const QPointF& q : {p0, p1, p2})
        if (!std::isfinite(q.x()) || !std::isfinite(q.y()) || std::abs(q.x()) > 1e7 ||
            std::abs(q.y()) > 1e7)
            return;
    spendArea(QPolygonF({p0, p1, p1 + (p2 - p0), p2}).boundingRect());
    if (b.image)
        spend(qint64(b.image->width()) * b.image->height());
    QPainter& p = *painter_;

    const bool aligned = std::abs(p1.y() - p0.y()) < 0.5 && std::abs(p2.x() - p0.x()) < 0.5;
    if ((code == Rop3SrcCopy || code == Rop3NotSrcCopy || b.alphaBlend || !aligned) && usesSrc) {
        QRect src = b.source.toAlignedRect().intersected(b.image->rect());
        if (b.source.isEmpty())
            src = b.image->rect();
        if (src.isEmpty())
            return;
        QImage sub = src == b.image->rect() ? *b.image : b.image->copy(src);
        // Large reductions: shrink first with a box filter, which is both faster and
        // smoother than sampling the full bitmap through the transform.
        const double dw = len(p1 - p0), dh = len(p2 - p0);
        if (aligned && dw >= 1 && dh >= 1 && (sub.width() > 2 * dw || sub.height() > 2 * dh))
            sub = sub.scaled(int(std::ceil(dw)), int(std::ceil(dh)), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
        if (code == Rop3NotSrcCopy)
            sub.invertPixels();
        if (b.alphaBlend && sub.hasAlphaChannel()) {
            // AC_SRC_ALPHA pixels arrive premultiplied; clamp colour to alpha to stay valid.
            sub = sub.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < sub.height(); ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(sub.scanLine(y));
                for (int x = 0; x < sub.width(); ++x) {
                    const int a = qAlpha(line[x]);
                    line[x] = qRgba(std::min(qRed(line[x]), a), std::min(qGreen(line[x]), a),
                                    std::min(qBlue(line[x]), a), a);
                }
            }
            sub.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
        }
        const double sw = sub.width(), sh = sub.height();
        const QTransform m((p1.x() - p0.x()) / sw, (p1.y() - p0.y()) / sw, (p2.x() - p0.x()) / sh,
                           (p2.y() - p0.y()) / sh, p0.x(), p0.y());
        applyClip(p);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setOpacity(b.alphaBlend ? std::clamp(b.constantAlpha, 0, 255) / 255.0 : 1.0);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        // Antialiasing off: with it, Qt 6.4 drops a non-rectangular clip for scaled images.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setTransform(m);
        p.drawImage(QPointF(0, 0), sub);
        p.resetTransform();
        p.setOpacity(1);
        return;
    }
    if (!aligned || code == Rop3PatCopy) {
        // Pattern fills of any shape, and the unaligned remainder, as plain fills.
        if (!usesPat && !(code == Rop3Blackness || code == Rop3Whiteness))
            return;
        QPainterPath path;
        path.addPolygon(QPolygonF({p0, p1, p1 + (p2 - p0), p2}));
        path.closeSubpath();
        applyClip(p);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        if (code == Rop3Blackness)
            p.setBrush(Qt::black);
        else if (code == Rop3Whiteness)
            p.setBrush(Qt::white);
        else if (dc_.brush.style == BsNull)
            return;
        else
            p.setBrush(makeBrush(dc_.brush));
        p.drawPath(path);
        return;
    }
    const QRectF area = QRectF(p0, p1 + (p2 - p0)).normalized();
    const QRect destPx = snap(area).intersected(image_.rect());
    if (destPx.isEmpty())
        return;
    ropBlit(destPx, p0, p1, p2, b);
}

void Player::ropBlit(const QRect& destPx, const QPointF& p0, const QPointF& p1, const QPointF& p2,
                     const Blit& b) {
    const quint32 code = rop3(b.rop);
    QImage dst = image_.copy(destPx).convertToFormat(QImage::Format_RGB32);
    QImage pattern;
    quint32 solid = 0;
    if (dc_.brush.style == BsSolid || dc_.brush.style == BsNull) {
        solid = dc_.brush.color.rgb();
    } else {
        pattern = QImage(destPx.size(), QImage::Format_RGB32);
        pattern.fill(Qt::white);
        QPainter pp(&pattern);
        pp.setBrushOrigin(-destPx.topLeft());
        pp.fillRect(pattern.rect(), makeBrush(dc_.brush));
    }
    const QImage* src = b.image;
    QImage srcRgb;
    QRect srcRect;
    if (src && !src->isNull()) {
        srcRgb = src->convertToFormat(QImage::Format_RGB32);
        srcRect = b.source.isEmpty() ? srcRgb.rect() : b.source.toAlignedRect();
    }
    const double spanX = p1.x() - p0.x(), spanY = p2.y() - p0.y();
    for (int y = 0; y < dst.height(); ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(dst.scanLine(y));
        const QRgb* pat =
            pattern.isNull() ? nullptr : reinterpret_cast<const QRgb*>(pattern.constScanLine(y));
        const QRgb* srcLine = nullptr;
        if (!srcRgb.isNull()) {
            const double v = (destPx.y() + y + 0.5 - p0.y()) / spanY;
            const int sy = std::clamp(int(std::floor(srcRect.y() + v * srcRect.height())), 0,
                                      srcRgb.height() - 1);
            srcLine = reinterpret_cast<const QRgb*>(srcRgb.constScanLine(sy));
        }
        for (int x = 0; x < dst.width(); ++x) {
            quint32 s = 0;
            if (srcLine) {
                const double u = (destPx.x() + x + 0.5 - p0.x()) / spanX;
                const int sx = std::clamp(int(std::floor(srcRect.x() + u * srcRect.width())), 0,
                                          srcRgb.width() - 1);
                s = srcLine[sx];
            }
            const quint32 pv = pat ? pat[x] : solid;
            out[x] = 0xff000000u | (ternary(code, pv, s, out[x]) & 0x00ffffffu);
        }
    }
    QPainter& p = *painter_;
    applyClip(p);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(destPx.topLeft(), dst);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

}  // namespace pictrove::metafile::gdi
