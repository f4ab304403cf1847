#include "MetafileBuilder.h"

#include "core/bytes/ByteReader.h"
#include "core/metafile/Metafile.h"
#include "core/metafile/RecordTypes.h"

#include <QtEndian>

#include <cstring>
#include <map>

namespace pictrove::test {

namespace emr = metafile::emr;
namespace meta = metafile::meta;

Bytes& Bytes::u8(quint8 v) {
    d_.append(char(v));
    return *this;
}
Bytes& Bytes::u16(quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    d_.append(b, 2);
    return *this;
}
Bytes& Bytes::u32(quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    d_.append(b, 4);
    return *this;
}
Bytes& Bytes::f32(float v) {
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
}
Bytes& Bytes::color(QColor c) {
    return u8(quint8(c.red())).u8(quint8(c.green())).u8(quint8(c.blue())).u8(0);
}
Bytes& Bytes::raw(const QByteArray& b) {
    d_.append(b);
    return *this;
}

// ------------------------------------------------------------------ DIB

QImage renderAtFrame(const QByteArray& bytes) {
    const auto size = metafile::frameSizePx(bytes);
    return size ? metafile::render(bytes, *size) : QImage();
}

int inkIn(const QImage& img, QRect r) {
    int n = 0;
    r = r.intersected(img.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += qGray(img.pixel(x, y)) < 160;
    return n;
}

QRect inkBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 160)
                box |= QRect(x, y, 1, 1);
    return box;
}

QByteArray packedDib(const QImage& in, int bpp, bool topDown) {
    const QImage image = in.convertToFormat(QImage::Format_RGB32);
    const int w = image.width(), h = image.height();
    std::vector<QRgb> palette;
    std::map<QRgb, int> index;
    if (bpp == 8) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = image.pixel(x, y) | 0xff000000u;
                if (!index.count(c) && palette.size() < 256) {
                    index[c] = int(palette.size());
                    palette.push_back(c);
                }
            }
    }
    const int stride = ((w * bpp + 31) / 32) * 4;
    Bytes b;
    b.u32(40).i32(w).i32(topDown ? -h : h).u16(1).u16(quint16(bpp)).u32(0);
    b.u32(quint32(stride * h)).i32(3780).i32(3780).u32(quint32(palette.size())).u32(0);
    for (QRgb c : palette)
        b.u8(quint8(qBlue(c))).u8(quint8(qGreen(c))).u8(quint8(qRed(c))).u8(0);
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        QByteArray line(stride, '\0');
        for (int x = 0; x < w; ++x) {
            const QRgb c = image.pixel(x, y);
            if (bpp == 24) {
                line[3 * x] = char(qBlue(c));
                line[3 * x + 1] = char(qGreen(c));
                line[3 * x + 2] = char(qRed(c));
            } else if (bpp == 32) {
                line[4 * x] = char(qBlue(c));
                line[4 * x + 1] = char(qGreen(c));
                line[4 * x + 2] = char(qRed(c));
            } else {
                line[x] = char(index[c | 0xff000000u]);
            }
        }
        b.raw(line);
    }
    return b.data();
}

static qsizetype infoSize(const QByteArray& packed) {
    const bytes::ByteReader header(packed);
    const quint32 clr = header.u32(32);
    const quint16 bpp = header.u16(14);
    const qsizetype entries = bpp <= 8 ? (clr ? clr : (1u << bpp)) : 0;
    return 40 + entries * 4;
}

QByteArray dibInfo(const QByteArray& packed) {
    return packed.left(infoSize(packed));
}

QByteArray dibBits(const QByteArray& packed) {
    return packed.mid(infoSize(packed));
}

// ------------------------------------------------------------------ EMF

namespace {
Bytes rectL(QRect r) {
    Bytes b;
    b.i32(r.left()).i32(r.top()).i32(r.left() + r.width()).i32(r.top() + r.height());
    return b;
}
}  // namespace

EmfBuilder::EmfBuilder(int widthPx, int heightPx) {
    head_.bounds = QRect(0, 0, widthPx, heightPx);
    head_.frame = QRect(QPoint(0, 0),
                        QPoint(qRound(widthPx * 2540.0 / 96.0), qRound(heightPx * 2540.0 / 96.0)));
}

EmfBuilder& EmfBuilder::header(const EmfHeaderFields& fields) {
    head_ = fields;
    return *this;
}

EmfBuilder& EmfBuilder::record(quint32 type, const QByteArray& fields) {
    Bytes b;
    QByteArray f = fields;
    while (f.size() % 4)
        f.append('\0');
    b.u32(type).u32(quint32(8 + f.size())).raw(f);
    records_.push_back(b.data());
    return *this;
}

EmfBuilder& EmfBuilder::rectangle(QRect r) {
    return record(emr::Rectangle, rectL(r).data());
}
EmfBuilder& EmfBuilder::ellipse(QRect r) {
    return record(emr::Ellipse, rectL(r).data());
}
EmfBuilder& EmfBuilder::createBrush(quint32 ih, quint32 style, QColor c, quint32 hatch) {
    return record(emr::CreateBrushIndirect, Bytes().u32(ih).u32(style).color(c).u32(hatch).data());
}
EmfBuilder& EmfBuilder::createPen(quint32 ih, quint32 style, int width, QColor c) {
    return record(emr::CreatePen, Bytes().u32(ih).u32(style).i32(width).i32(0).color(c).data());
}
EmfBuilder& EmfBuilder::selectObject(quint32 ih) {
    return record(emr::SelectObject, Bytes().u32(ih).data());
}
EmfBuilder& EmfBuilder::deleteObject(quint32 ih) {
    return record(emr::DeleteObject, Bytes().u32(ih).data());
}
EmfBuilder& EmfBuilder::intersectClipRect(QRect r) {
    return record(emr::IntersectClipRect, rectL(r).data());
}
EmfBuilder& EmfBuilder::excludeClipRect(QRect r) {
    return record(emr::ExcludeClipRect, rectL(r).data());
}
EmfBuilder& EmfBuilder::setMapMode(quint32 mode) {
    return record(emr::SetMapMode, Bytes().u32(mode).data());
}
EmfBuilder& EmfBuilder::setWindowOrg(int x, int y) {
    return record(emr::SetWindowOrgEx, Bytes().i32(x).i32(y).data());
}
EmfBuilder& EmfBuilder::setWindowExt(int x, int y) {
    return record(emr::SetWindowExtEx, Bytes().i32(x).i32(y).data());
}
EmfBuilder& EmfBuilder::setViewportOrg(int x, int y) {
    return record(emr::SetViewportOrgEx, Bytes().i32(x).i32(y).data());
}
EmfBuilder& EmfBuilder::setViewportExt(int x, int y) {
    return record(emr::SetViewportExtEx, Bytes().i32(x).i32(y).data());
}
EmfBuilder& EmfBuilder::setWorldTransform(float m11, float m12, float m21, float m22, float dx,
                                          float dy) {
    return record(emr::SetWorldTransform,
                  Bytes().f32(m11).f32(m12).f32(m21).f32(m22).f32(dx).f32(dy).data());
}
EmfBuilder& EmfBuilder::saveDc() {
    return record(emr::SaveDc, {});
}
EmfBuilder& EmfBuilder::restoreDc(int n) {
    return record(emr::RestoreDc, Bytes().i32(n).data());
}
EmfBuilder& EmfBuilder::setTextColor(QColor c) {
    return record(emr::SetTextColor, Bytes().color(c).data());
}
EmfBuilder& EmfBuilder::setBkMode(quint32 mode) {
    return record(emr::SetBkMode, Bytes().u32(mode).data());
}
EmfBuilder& EmfBuilder::setTextAlign(quint32 align) {
    return record(emr::SetTextAlign, Bytes().u32(align).data());
}
EmfBuilder& EmfBuilder::setPolyFillMode(quint32 mode) {
    return record(emr::SetPolyFillMode, Bytes().u32(mode).data());
}
EmfBuilder& EmfBuilder::setRop2(quint32 rop) {
    return record(emr::SetRop2, Bytes().u32(rop).data());
}
EmfBuilder& EmfBuilder::polygon16(const std::vector<QPoint>& pts) {
    Bytes b;
    b.raw(rectL(QRect()).data()).u32(quint32(pts.size()));
    for (QPoint p : pts)
        b.i16(qint16(p.x())).i16(qint16(p.y()));
    return record(emr::Polygon16, b.data());
}
EmfBuilder& EmfBuilder::polyline16(const std::vector<QPoint>& pts) {
    Bytes b;
    b.raw(rectL(QRect()).data()).u32(quint32(pts.size()));
    for (QPoint p : pts)
        b.i16(qint16(p.x())).i16(qint16(p.y()));
    return record(emr::Polyline16, b.data());
}
EmfBuilder& EmfBuilder::moveTo(int x, int y) {
    return record(emr::MoveToEx, Bytes().i32(x).i32(y).data());
}
EmfBuilder& EmfBuilder::lineTo(int x, int y) {
    return record(emr::LineTo, Bytes().i32(x).i32(y).data());
}
EmfBuilder& EmfBuilder::beginPath() {
    return record(emr::BeginPath, {});
}
EmfBuilder& EmfBuilder::endPath() {
    return record(emr::EndPath, {});
}
EmfBuilder& EmfBuilder::fillPath() {
    return record(emr::FillPath, rectL(QRect()).data());
}
EmfBuilder& EmfBuilder::selectClipPath(quint32 mode) {
    return record(emr::SelectClipPath, Bytes().u32(mode).data());
}
EmfBuilder& EmfBuilder::extSelectClipRgn(quint32 mode, const std::vector<QRect>& rects) {
    Bytes rgn;
    QRect bound;
    for (const QRect& r : rects)
        bound |= r;
    rgn.u32(32).u32(1).u32(quint32(rects.size())).u32(quint32(rects.size() * 16));
    rgn.raw(rectL(bound).data());
    for (const QRect& r : rects)
        rgn.raw(rectL(r).data());
    return record(emr::ExtSelectClipRgn,
                  Bytes().u32(quint32(rgn.size())).u32(mode).raw(rgn.data()).data());
}
EmfBuilder& EmfBuilder::createFont(quint32 ih, int height, const QString& face, int weight,
                                   int escapement) {
    Bytes b;
    b.u32(ih).i32(height).i32(0).i32(escapement).i32(escapement).i32(weight);
    b.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0);
    for (int i = 0; i < 32; ++i)
        b.u16(i < face.size() ? face.at(i).unicode() : 0);
    return record(emr::ExtCreateFontIndirectW, b.data());
}
EmfBuilder& EmfBuilder::createFont(quint32 ih, int height, const QString& face, int weight,
                                   bool italic, bool underline, bool strikeOut, quint8 charset) {
    Bytes b;
    b.u32(ih).i32(height).i32(0).i32(0).i32(0).i32(weight);
    b.u8(italic).u8(underline).u8(strikeOut).u8(charset).u8(0).u8(0).u8(0).u8(0);
    for (int i = 0; i < 32; ++i)
        b.u16(i < face.size() ? face.at(i).unicode() : 0);
    return record(emr::ExtCreateFontIndirectW, b.data());
}
EmfBuilder& EmfBuilder::extTextOutW(int x, int y, const QString& text, bool withDx, int dx,
                                    quint32 options) {
    const quint32 n = quint32(text.size());
    const quint32 offString = 76;
    const quint32 stringBytes = (n * 2 + 3) & ~3u;
    const quint32 offDx = withDx ? offString + stringBytes : 0;
    Bytes b;
    b.raw(rectL(QRect()).data()).u32(1).f32(1).f32(1);
    b.i32(x).i32(y).u32(n).u32(offString).u32(options).raw(rectL(QRect()).data()).u32(offDx);
    QByteArray s;
    for (QChar c : text)
        s.append(Bytes().u16(c.unicode()).data());
    while (s.size() % 4)
        s.append('\0');
    b.raw(s);
    if (withDx)
        for (quint32 i = 0; i < n; ++i)
            b.i32(dx);
    return record(emr::ExtTextOutW, b.data());
}
EmfBuilder& EmfBuilder::stretchDiBits(QRect dest, const QByteArray& packed, quint32 rop) {
    const QByteArray info = dibInfo(packed), bits = dibBits(packed);
    const bytes::ByteReader header(packed);
    const qint32 w = header.i32(4);
    const qint32 h = std::abs(header.i32(8));
    Bytes b;
    b.raw(rectL(dest).data()).i32(dest.x()).i32(dest.y()).i32(0).i32(0).i32(w).i32(h);
    b.u32(80).u32(quint32(info.size())).u32(quint32(80 + info.size())).u32(quint32(bits.size()));
    b.u32(0).u32(rop).i32(dest.width()).i32(dest.height()).raw(info).raw(bits);
    return record(emr::StretchDiBits, b.data());
}
EmfBuilder& EmfBuilder::bitBlt(QRect dest, const QByteArray& packed, quint32 rop) {
    const QByteArray info = dibInfo(packed), bits = dibBits(packed);
    Bytes b;
    b.raw(rectL(dest).data()).i32(dest.x()).i32(dest.y()).i32(dest.width()).i32(dest.height());
    b.u32(rop).i32(0).i32(0).f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).color(Qt::white).u32(0);
    b.u32(100).u32(quint32(info.size())).u32(quint32(100 + info.size())).u32(quint32(bits.size()));
    b.raw(info).raw(bits);
    return record(emr::BitBlt, b.data());
}
EmfBuilder& EmfBuilder::emfPlus(const QByteArray& records) {
    return comment(Bytes().u32(0x2B464D45u).raw(records).data());
}
QByteArray EmfBuilder::plusRectF(QRectF r) {
    return Bytes()
        .f32(float(r.x()))
        .f32(float(r.y()))
        .f32(float(r.width()))
        .f32(float(r.height()))
        .data();
}

QByteArray EmfBuilder::plusRecord(quint16 type, quint16 flags, const QByteArray& data) {
    return Bytes()
        .u16(type)
        .u16(flags)
        .u32(quint32(12 + data.size()))
        .u32(quint32(data.size()))
        .raw(data)
        .data();
}
EmfBuilder& EmfBuilder::comment(const QByteArray& payload) {
    return record(emr::GdiComment, Bytes().u32(quint32(payload.size())).raw(payload).data());
}

QByteArray EmfBuilder::finish(quint16 handles) const {
    QByteArray body;
    for (const QByteArray& r : records_)
        body.append(r);
    const QByteArray eof = Bytes().u32(emr::Eof).u32(20).u32(0).u32(16).u32(20).data();
    QByteArray description;
    for (QChar c : head_.description)
        description.append(Bytes().u16(c.unicode()).data());
    if (!head_.description.isEmpty())
        description.append(2, '\0');
    while (description.size() % 4)
        description.append('\0');
    const bool afterBase = !description.isEmpty() && head_.descriptionAt < 108;
    const quint32 headSize =
        quint32(afterBase ? 88 + description.size() : 108 + description.size());
    const QRect& b = head_.bounds;
    const QRect& f = head_.frame;
    Bytes head;
    head.u32(emr::Header).u32(headSize);
    head.i32(b.left()).i32(b.top()).i32(b.right()).i32(b.bottom());
    head.i32(f.left()).i32(f.top()).i32(f.right()).i32(f.bottom());
    head.u32(emr::Signature).u32(0x10000);
    head.u32(quint32(headSize + body.size() + eof.size()));
    head.u32(quint32(records_.size() + 2)).u16(handles).u16(0);
    head.u32(quint32(head_.description.isEmpty() ? 0 : head_.description.size() + 1))
        .u32(description.isEmpty() ? 0
             : afterBase           ? 88
                                   : 108)
        .u32(0);
    head.i32(head_.devicePx.width()).i32(head_.devicePx.height());
    head.i32(head_.deviceMm.width()).i32(head_.deviceMm.height());
    if (afterBase) {
        head.raw(description);
    } else {
        head.u32(0).u32(0).u32(0);  // pixel format, OpenGL
        head.i32(head_.deviceUm.width()).i32(head_.deviceUm.height());
        head.raw(description);
    }
    return head.data() + body + eof;
}

std::vector<qsizetype> EmfBuilder::recordOffsets() const {
    std::vector<qsizetype> out{0};
    qsizetype off = qsizetype(finish().size()) - 20;
    for (const QByteArray& r : records_)
        off -= r.size();
    for (const QByteArray& r : records_) {
        out.push_back(off);
        off += r.size();
    }
    out.push_back(off);
    return out;
}

// ------------------------------------------------------------------ WMF

WmfBuilder::WmfBuilder(QRect bounds, quint16 unitsPerInch, bool placeable)
    : bounds_(bounds), inch_(unitsPerInch), placeable_(placeable) {}

WmfBuilder& WmfBuilder::record(quint16 function, std::initializer_list<qint16> words) {
    Bytes b;
    for (qint16 w : words)
        b.i16(w);
    return recordBytes(function, b.data());
}

WmfBuilder& WmfBuilder::recordBytes(quint16 function, const QByteArray& params) {
    QByteArray p = params;
    if (p.size() % 2)
        p.append('\0');
    records_.push_back(Bytes().u32(quint32(3 + p.size() / 2)).u16(function).raw(p).data());
    return *this;
}

WmfBuilder& WmfBuilder::rectangle(QRect r) {
    return record(meta::Rectangle, {qint16(r.top() + r.height()), qint16(r.left() + r.width()),
                                    qint16(r.top()), qint16(r.left())});
}
WmfBuilder& WmfBuilder::ellipse(QRect r) {
    return record(meta::Ellipse, {qint16(r.top() + r.height()), qint16(r.left() + r.width()),
                                  qint16(r.top()), qint16(r.left())});
}
WmfBuilder& WmfBuilder::intersectClipRect(QRect r) {
    return record(meta::IntersectClipRect,
                  {qint16(r.top() + r.height()), qint16(r.left() + r.width()), qint16(r.top()),
                   qint16(r.left())});
}
WmfBuilder& WmfBuilder::excludeClipRect(QRect r) {
    return record(meta::ExcludeClipRect,
                  {qint16(r.top() + r.height()), qint16(r.left() + r.width()), qint16(r.top()),
                   qint16(r.left())});
}
WmfBuilder& WmfBuilder::createBrush(quint16 style, QColor c, quint16 hatch) {
    return recordBytes(meta::CreateBrushIndirect, Bytes().u16(style).color(c).u16(hatch).data());
}
WmfBuilder& WmfBuilder::createPen(quint16 style, int width, QColor c) {
    return recordBytes(meta::CreatePenIndirect,
                       Bytes().u16(style).i16(qint16(width)).i16(0).color(c).data());
}
WmfBuilder& WmfBuilder::createFont(int height, const QByteArray& face, int weight, bool italic,
                                   quint8 charset) {
    Bytes b;
    b.i16(qint16(height)).i16(0).i16(0).i16(0).i16(qint16(weight));
    b.u8(italic).u8(0).u8(0).u8(charset).u8(0).u8(0).u8(0).u8(0);
    QByteArray f = face.left(31);
    f.append('\0');
    b.raw(f);
    return recordBytes(meta::CreateFontIndirect, b.data());
}
WmfBuilder& WmfBuilder::polygon(const std::vector<QPoint>& pts) {
    Bytes b;
    b.i16(qint16(pts.size()));
    for (QPoint p : pts)
        b.i16(qint16(p.x())).i16(qint16(p.y()));
    return recordBytes(meta::Polygon, b.data());
}
WmfBuilder& WmfBuilder::setTextColor(QColor c) {
    return recordBytes(meta::SetTextColor, Bytes().color(c).data());
}
WmfBuilder& WmfBuilder::textOut(int x, int y, const QByteArray& text) {
    QByteArray t = text;
    if (t.size() % 2)
        t.append('\0');
    return recordBytes(
        meta::TextOut,
        Bytes().i16(qint16(text.size())).raw(t).i16(qint16(y)).i16(qint16(x)).data());
}
WmfBuilder& WmfBuilder::extTextOut(int x, int y, const QByteArray& text,
                                   const std::vector<qint16>& dx) {
    QByteArray t = text;
    if (t.size() % 2)
        t.append('\0');
    Bytes b;
    b.i16(qint16(y)).i16(qint16(x)).i16(qint16(text.size())).u16(0).raw(t);
    for (qint16 d : dx)
        b.i16(d);
    return recordBytes(meta::ExtTextOut, b.data());
}
WmfBuilder& WmfBuilder::stretchDib(QRect dest, const QByteArray& packed, quint32 rop) {
    const bytes::ByteReader header(packed);
    const qint32 w = header.i32(4);
    const qint32 h = std::abs(header.i32(8));
    Bytes b;
    b.u32(rop).u16(0).i16(qint16(h)).i16(qint16(w)).i16(0).i16(0);
    b.i16(qint16(dest.height())).i16(qint16(dest.width())).i16(qint16(dest.y()));
    b.i16(qint16(dest.x())).raw(packed);
    return recordBytes(meta::StretchDib, b.data());
}
WmfBuilder& WmfBuilder::patBlt(QRect dest, quint32 rop) {
    return recordBytes(meta::PatBlt, Bytes()
                                         .u32(rop)
                                         .i16(qint16(dest.height()))
                                         .i16(qint16(dest.width()))
                                         .i16(qint16(dest.y()))
                                         .i16(qint16(dest.x()))
                                         .data());
}

QByteArray WmfBuilder::finish(quint16 objects) const {
    QByteArray body;
    quint32 maxRecord = 3;
    for (const QByteArray& r : records_) {
        body.append(r);
        maxRecord = std::max<quint32>(maxRecord, quint32(r.size() / 2));
    }
    body.append(Bytes().u32(3).u16(meta::Eof).data());
    Bytes out;
    if (placeable_) {
        Bytes ph;
        ph.u32(meta::PlaceableKey).u16(0).i16(qint16(bounds_.left())).i16(qint16(bounds_.top()));
        ph.i16(qint16(bounds_.left() + bounds_.width()))
            .i16(qint16(bounds_.top() + bounds_.height()));
        ph.u16(inch_).u32(0);
        quint16 sum = 0;
        for (int i = 0; i < 20; i += 2)
            sum ^= bytes::ByteReader(ph.data()).u16(i);
        ph.u16(sum);
        out.raw(ph.data());
    }
    out.u16(1)
        .u16(9)
        .u16(0x0300)
        .u32(quint32(9 + body.size() / 2))
        .u16(objects)
        .u32(maxRecord)
        .u16(0);
    out.raw(body);
    return out.data();
}

std::vector<qsizetype> WmfBuilder::recordOffsets() const {
    std::vector<qsizetype> out{0};
    qsizetype off = (placeable_ ? 22 : 0) + 18;
    for (const QByteArray& r : records_) {
        out.push_back(off);
        off += r.size();
    }
    out.push_back(off);
    return out;
}

}  // namespace pictrove::test
