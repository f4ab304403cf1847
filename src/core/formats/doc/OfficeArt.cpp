#include "core/formats/doc/OfficeArt.h"

#include "core/bytes/ByteReader.h"
#include "core/metafile/RecordTypes.h"
#include "core/picture/PictureHeader.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

namespace pictrove::doc {

using bytes::ByteReader;
using bytes::fits;
namespace meta = metafile::meta;

namespace {

enum RecordType : quint16 {
    kDggContainer = 0xF000,
    kBStoreContainer = 0xF001,
    kDgContainer = 0xF002,
    kSpgrContainer = 0xF003,
    kSpContainer = 0xF004,
    kFbse = 0xF007,
    kFspgr = 0xF009,
    kFsp = 0xF00A,
    kFopt = 0xF00B,
    kClientTextbox = 0xF00D,
    kChildAnchor = 0xF00F,
    kBlipFirst = 0xF018,
    kBlipEmf = 0xF01A,
    kBlipWmf = 0xF01B,
    kBlipPict = 0xF01C,
    kBlipJpeg = 0xF01D,
    kBlipPng = 0xF01E,
    kBlipDib = 0xF01F,
    kBlipTiff = 0xF029,
    kBlipJpegCmyk = 0xF02A,
    kBlipLast = 0xF117,
    kSecondaryFopt = 0xF121,
    kTertiaryFopt = 0xF122,
};

// A record header's first word: version in the low 4 bits, instance above them.
constexpr quint16 kRecVerMask = 0x000F;
constexpr int kRecInstanceShift = 4;

// A property's opid: the property id, whether the value is a BLIP id, and whether the
// value is the size of data that follows the property table.
constexpr quint16 kOpidIdMask = 0x3FFF;
constexpr quint16 kOpidComplex = 0x8000;

enum PropertyId : quint16 {
    kLTxid = 0x0080,
    kCropFromTop = 0x0100,
    kCropFromBottom = 0x0101,
    kCropFromLeft = 0x0102,
    kCropFromRight = 0x0103,
    kPib = 0x0104,
    kFillType = 0x0180,
    kFillBlip = 0x0186,
};

// Groups inside groups inside a drawing: real documents nest a handful of levels.
constexpr int kMaxDepth = 32;
constexpr qsizetype kFbseHeaderSize = 36;
constexpr qsizetype kMetafileHeaderSize = 34;

bool isBlipType(quint16 type) {
    return type >= kBlipFirst && type <= kBlipLast;
}

// Walks the records of a container body in order. A record that does not fit in
// what is left of the body is damage: the walk stops and error() says where.
class RecordWalker {
  public:
    RecordWalker(QByteArrayView body, const char* origin) : body_(body), origin_(origin) {}

    // The next record, or nullopt at the end of the body or on damage.
    std::optional<ArtRecord> next() {
        if (pos_ >= body_.size() || failed_)
            return std::nullopt;
        auto r = readArtRecord(body_, pos_);
        if (!r) {
            failed_ = true;
            const qint64 at = (body_.data() - origin_) + pos_;
            const quint16 type = fits(body_, pos_, 4) ? ByteReader(body_).u16(pos_ + 2) : 0;
            error_ = QStringLiteral("OfficeArt record %1 at offset %2 is longer than its container")
                         .arg(hex(type))
                         .arg(at);
            return std::nullopt;
        }
        pos_ += r->size;
        return r;
    }
    bool failed() const { return failed_; }
    const QString& error() const { return error_; }

  private:
    QByteArrayView body_;
    const char* origin_;
    qsizetype pos_ = 0;
    bool failed_ = false;
    QString error_;
};

class ArtParser {
  public:
    explicit ArtParser(QByteArrayView root) : origin_(root.data()) {}

    bool failed() const { return !error_.isEmpty(); }
    const QString& error() const { return error_; }
    void fail(QString why) {
        if (error_.isEmpty())
            error_ = std::move(why);
    }
    qint64 offsetOf(QByteArrayView v) const { return v.data() - origin_; }

    bool enter(int depth, QByteArrayView at) {
        if (depth <= kMaxDepth)
            return true;
        fail(QStringLiteral("OfficeArt records at offset %1 nest deeper than %2 levels")
                 .arg(offsetOf(at))
                 .arg(kMaxDepth));
        return false;
    }

    // Reads the properties of one FOPT record into shape.
    void readProperties(const ArtRecord& r, ArtShape& shape) {
        const qsizetype count = std::min<qsizetype>(r.instance, r.body.size() / 6);
        const ByteReader in(r.body);
        for (qsizetype i = 0; i < count; ++i) {
            const quint16 opid = in.u16(i * 6);
            const qint32 op = in.i32(i * 6 + 2);
            if (opid & kOpidComplex)  // complex values are not needed here
                continue;
            switch (opid & kOpidIdMask) {
                case kLTxid:
                    shape.hasText = true;
                    break;
                case kCropFromTop:
                    shape.crop.top = op / 65536.0;
                    break;
                case kCropFromBottom:
                    shape.crop.bottom = op / 65536.0;
                    break;
                case kCropFromLeft:
                    shape.crop.left = op / 65536.0;
                    break;
                case kCropFromRight:
                    shape.crop.right = op / 65536.0;
                    break;
                case kPib:
                    shape.pib = quint32(op);
                    break;
                case kFillType:
                    shape.fillType = op;
                    break;
                case kFillBlip:
                    shape.fillBlip = quint32(op);
                    break;
                default:
                    break;
            }
        }
    }

    static QRectF rectOf(QByteArrayView b) {
        const ByteReader in(b);
        const double l = in.i32(0), t = in.i32(4), r = in.i32(8), bt = in.i32(12);
        return QRectF(QPointF(l, t), QPointF(r, bt)).normalized();
    }

    // One shape container's own records.
    void readShape(const ArtRecord& container, ArtShape& shape) {
        RecordWalker w(container.body, origin_);
        while (auto r = w.next()) {
            switch (r->type) {
                case kFsp:
                    shape.shapeType = r->instance;
                    if (r->body.size() >= 8) {
                        const ByteReader in(r->body);
                        shape.spid = in.u32(0);
                        shape.fspFlags = in.u32(4);
                    }
                    break;
                case kFspgr:
                    if (r->body.size() >= 16)
                        shape.groupBounds = rectOf(r->body);
                    break;
                case kChildAnchor:
                    if (r->body.size() >= 16)
                        shape.childAnchor = rectOf(r->body);
                    break;
                case kFopt:
                case kSecondaryFopt:
                case kTertiaryFopt:
                    readProperties(*r, shape);
                    break;
                case kClientTextbox:
                    shape.hasText = true;
                    break;
                default:
                    break;
            }
        }
        if (w.failed())
            fail(w.error());
    }

    // A group container: its first shape container describes the group, the rest are
    // its members.
    void readGroup(const ArtRecord& container, ArtShape& group, int depth) {
        if (!enter(depth, container.body))
            return;
        group.isGroup = true;
        RecordWalker w(container.body, origin_);
        bool first = true;
        while (auto r = w.next()) {
            if (r->type == kSpContainer) {
                if (first) {
                    readShape(*r, group);
                    group.isGroup = true;
                } else {
                    ArtShape child;
                    readShape(*r, child);
                    group.children.push_back(std::move(child));
                }
                first = false;
            } else if (r->type == kSpgrContainer) {
                ArtShape child;
                readGroup(*r, child, depth + 1);
                group.children.push_back(std::move(child));
                first = false;
            }
            if (failed())
                return;
        }
        if (w.failed())
            fail(w.error());
    }

    // One blip store entry: an FBSE (BLIP embedded or delayed) or a bare BLIP, whose
    // whole record (header included) is `whole`.
    void readBlipEntry(const ArtRecord& r, QByteArrayView whole, std::vector<BlipEntry>& out) {
        BlipEntry entry;
        if (r.type == kFbse) {
            if (r.body.size() >= kFbseHeaderSize) {
                const ByteReader in(r.body);
                const quint32 foDelay = in.u32(28);
                const qsizetype cbName = in.u8(33);
                const qsizetype blipAt = kFbseHeaderSize + cbName;
                if (blipAt < r.body.size()) {
                    if (auto blip = readArtRecord(r.body, blipAt); blip && isBlipType(blip->type))
                        entry.embedded = r.body.sliced(blipAt, blip->size);
                } else if (in.u32(24) != 0 && foDelay != 0xFFFFFFFFu) {
                    entry.delayOffset = foDelay;  // cRef > 0: the slot is in use
                }
            }
        } else if (isBlipType(r.type)) {
            entry.embedded = whole;
        }
        out.push_back(entry);
    }

    void readBlipStore(const ArtRecord& container, std::vector<BlipEntry>& out) {
        RecordWalker w(container.body, origin_);
        qsizetype pos = 0;
        while (auto r = w.next()) {
            readBlipEntry(*r, container.body.sliced(pos, r->size), out);
            pos += r->size;
        }
        if (w.failed())
            fail(w.error());
    }

    void readDrawing(const ArtRecord& dg, std::vector<ArtShape>& shapes) {
        RecordWalker w(dg.body, origin_);
        while (auto r = w.next()) {
            if (r->type == kSpgrContainer) {
                // The patriarch: its first shape is the drawing itself, its members are
                // the drawing's top-level shapes.
                ArtShape patriarch;
                readGroup(*r, patriarch, 1);
                for (auto& s : patriarch.children)
                    shapes.push_back(std::move(s));
            } else if (r->type == kSpContainer) {
                ArtShape s;  // the background shape
                readShape(*r, s);
                shapes.push_back(std::move(s));
            }
            if (failed())
                return;
        }
        if (w.failed())
            fail(w.error());
    }

  private:
    const char* origin_;
    QString error_;
};

}  // namespace

std::optional<ArtRecord> readArtRecord(QByteArrayView bytes, qsizetype offset) {
    if (!fits(bytes, offset, 8))
        return std::nullopt;
    ArtRecord r;
    const ByteReader in(bytes);
    const quint16 verInst = in.u16(offset);
    r.version = verInst & kRecVerMask;
    r.instance = verInst >> kRecInstanceShift;
    r.type = in.u16(offset + 2);
    const quint32 length = in.u32(offset + 4);
    if (!fits(bytes, offset + 8, length))
        return std::nullopt;
    r.body = bytes.sliced(offset + 8, qsizetype(length));
    r.size = 8 + qsizetype(length);
    return r;
}

Parsed<ArtContent> parseArtContent(QByteArrayView dggInfo) {
    using P = Parsed<ArtContent>;
    P result;
    ArtParser parser(dggInfo);
    auto dgg = readArtRecord(dggInfo, 0);
    if (!dgg || dgg->type != kDggContainer)
        return P::damaged(
            dgg ? QStringLiteral("OfficeArt content does not start with a drawing group")
                : QStringLiteral("OfficeArt drawing group is longer than its data"));
    {
        RecordWalker w(dgg->body, dggInfo.data());
        while (auto r = w.next()) {
            if (r->type == kBStoreContainer)
                parser.readBlipStore(*r, result.value.blipStore);
        }
        if (w.failed())
            parser.fail(w.error());
    }
    // The drawings follow: a one-byte label (0 main document, 1 headers) and a
    // drawing container each.
    qsizetype pos = dgg->size;
    while (!parser.failed() && pos < dggInfo.size()) {
        const quint8 label = ByteReader(dggInfo).u8(pos);
        auto dg = readArtRecord(dggInfo, pos + 1);
        if (!dg) {
            parser.fail(QStringLiteral("OfficeArt drawing at offset %1 is longer than its data")
                            .arg(pos + 1));
            break;
        }
        if (dg->type != kDgContainer) {
            parser.fail(QStringLiteral("OfficeArt drawing at offset %1 is a record %2")
                            .arg(pos + 1)
                            .arg(hex(dg->type)));
            break;
        }
        if (label == 0)
            parser.readDrawing(*dg, result.value.shapes);
        pos += 1 + dg->size;
    }
    if (parser.failed())
        return P::damaged(parser.error());
    return result;
}

const ArtShape* findShape(const std::vector<ArtShape>& shapes, quint32 spid) {
    for (const ArtShape& s : shapes) {
        if (s.spid == spid)
            return &s;
    }
    for (const ArtShape& s : shapes) {
        if (const ArtShape* found = findShape(s.children, spid))
            return found;
    }
    return nullptr;
}

Parsed<InlineArt> parseInlineArt(QByteArrayView bytes) {
    using P = Parsed<InlineArt>;
    P result;
    ArtParser parser(bytes);
    auto sp = readArtRecord(bytes, 0);
    if (!sp)
        return P::damaged(QStringLiteral("inline shape container is longer than its picture data"));
    if (sp->type == kSpContainer) {
        parser.readShape(*sp, result.value.shape);
    } else if (sp->type == kSpgrContainer) {
        parser.readGroup(*sp, result.value.shape, 1);
    } else {
        return P::damaged(
            QStringLiteral("inline picture holds a record %1, not a shape").arg(hex(sp->type)));
    }
    // What follows are the BLIPs of the shape, up to the end of the picture data;
    // trailing bytes that are no record end the list.
    qsizetype pos = sp->size;
    while (!parser.failed() && pos < bytes.size()) {
        auto r = readArtRecord(bytes, pos);
        if (!r || (r->type != kFbse && !isBlipType(r->type)))
            break;
        parser.readBlipEntry(*r, bytes.sliced(pos, r->size), result.value.blips);
        pos += r->size;
    }
    if (parser.failed())
        return P::damaged(parser.error());
    return result;
}

namespace {

// Inflates a zlib stream into at most limit bytes. nullopt when the stream is
// damaged or would grow past the limit.
std::optional<QByteArray> inflateBounded(QByteArrayView in, qint64 limit) {
    // Deflate cannot expand by more than about 1032:1; a larger claim is a lie.
    limit = std::min<qint64>(limit, qint64(in.size()) * 1032 + 1024);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return std::nullopt;
    QByteArray out;
    qint64 capacity = std::min<qint64>(limit, std::max<qint64>(qint64(in.size()) * 4, 64 * 1024));
    out.resize(qsizetype(capacity));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    zs.avail_in = uInt(in.size());
    int rc = Z_OK;
    while (true) {
        zs.next_out = reinterpret_cast<Bytef*>(out.data()) + zs.total_out;
        zs.avail_out = uInt(capacity - qint64(zs.total_out));
        rc = inflate(&zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            break;
        if (zs.avail_out > 0)  // input ran out before the stream ended
            break;
        if (capacity >= limit) {
            rc = Z_MEM_ERROR;
            break;
        }
        capacity = std::min<qint64>(limit, capacity * 2);
        out.resize(qsizetype(capacity));
    }
    const qint64 produced = qint64(zs.total_out);
    inflateEnd(&zs);
    if (rc != Z_STREAM_END)
        return std::nullopt;
    out.truncate(qsizetype(produced));
    return out;
}

void putU16(QByteArray& b, quint16 v) {
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}
void putU32(QByteArray& b, quint32 v) {
    putU16(b, quint16(v & 0xFFFF));
    putU16(b, quint16(v >> 16));
}

}  // namespace

QByteArray dibToBmp(QByteArrayView dib, QString* problem) {
    if (dib.size() < 12) {
        *problem = QStringLiteral("DIB is too short for its header");
        return {};
    }
    const ByteReader in(dib);
    const quint32 headerSize = in.u32(0);
    qint64 palette = 0;
    if (headerSize == 12) {
        const quint16 bpp = in.u16(10);
        palette = bpp <= 8 ? (qint64(1) << bpp) * 3 : 0;
    } else if (headerSize >= 40 && headerSize <= quint32(dib.size())) {
        const quint16 bpp = in.u16(14);
        const quint32 compression = in.u32(16);
        const quint32 clrUsed = in.u32(32);
        const qint64 colors = clrUsed ? qint64(clrUsed) : (bpp <= 8 ? qint64(1) << bpp : 0);
        palette = colors * 4;
        if (headerSize == 40 && compression == 3)
            palette += 12;  // BI_BITFIELDS masks
        else if (headerSize == 40 && compression == 6)
            palette += 16;  // BI_ALPHABITFIELDS masks
    } else {
        *problem = QStringLiteral("DIB header size %1 is not one of a bitmap").arg(headerSize);
        return {};
    }
    const qint64 offBits = 14 + qint64(headerSize) + palette;
    if (offBits > 14 + qint64(dib.size())) {
        *problem = QStringLiteral("DIB palette runs past its data");
        return {};
    }
    QByteArray bmp;
    bmp.reserve(14 + dib.size());
    bmp.append("BM", 2);
    putU32(bmp, quint32(14 + dib.size()));
    putU32(bmp, 0);
    putU32(bmp, quint32(offBits));
    bmp.append(dib.data(), dib.size());
    return bmp;
}

QByteArray withPlaceableHeader(QByteArrayView wmf, QRect fallback, double widthInches) {
    // The window origin and extent give the logical bounds of the drawing.
    std::optional<QPoint> org, ext;
    const ByteReader in(wmf);
    if (in.has(0, 18)) {
        qint64 pos = qint64(in.u16(2)) * 2;
        for (int n = 0; n < 4096 && in.has(pos, 6) && !(org && ext); ++n) {
            const qint64 words = in.u32(qsizetype(pos));
            const quint16 function = in.u16(qsizetype(pos) + 4);
            if (words < 3 || function == 0)
                break;
            if ((function == meta::SetWindowOrg || function == meta::SetWindowExt) &&
                in.has(pos + 6, 4)) {
                const QPoint p(in.i16(qsizetype(pos) + 8), in.i16(qsizetype(pos) + 6));
                (function == meta::SetWindowOrg ? org : ext) = p;
            }
            pos += words * 2;
        }
    }
    QRect bounds = fallback;
    if (ext && ext->x() != 0 && ext->y() != 0) {
        const QPoint o = org.value_or(QPoint());
        bounds = QRect(QPoint(std::min(o.x(), o.x() + ext->x()), std::min(o.y(), o.y() + ext->y())),
                       QSize(std::abs(ext->x()), std::abs(ext->y())));
    }
    double inch = 1440;
    if (widthInches > 0 && bounds.width() > 0)
        inch = bounds.width() / widthInches;
    auto clamp16 = [](qint64 v) { return qint16(std::clamp<qint64>(v, -32768, 32767)); };
    return picture::withPlaceableHeader(wmf,
                                        {clamp16(bounds.left()), clamp16(bounds.top()),
                                         clamp16(qint64(bounds.left()) + bounds.width()),
                                         clamp16(qint64(bounds.top()) + bounds.height()),
                                         quint16(std::lround(std::clamp(inch, 1.0, 65535.0)))});
}

QByteArray decodeBlip(QByteArrayView record, QString* problem, picture::FileForm* form) {
    auto r = readArtRecord(record, 0);
    if (!r || !isBlipType(r->type)) {
        *problem = QStringLiteral("picture record is damaged");
        return {};
    }
    const qsizetype uids = (r->instance & 1) ? 2 : 1;
    const QByteArrayView body = r->body;
    switch (r->type) {
        case kBlipEmf:
        case kBlipWmf:
        case kBlipPict: {
            const qsizetype headerAt = uids * 16;
            if (!fits(body, headerAt, kMetafileHeaderSize)) {
                *problem = QStringLiteral("metafile picture is too short for its header");
                return {};
            }
            if (r->type == kBlipPict) {
                *problem = QStringLiteral("PICT pictures are not supported");
                return {};
            }
            const ByteReader header(body);
            const quint32 cbSize = header.u32(headerAt);
            auto clampInt = [](qint64 v) { return int(std::clamp<qint64>(v, -32768, 32767)); };
            const qint64 left = header.i32(headerAt + 4), top = header.i32(headerAt + 8);
            const QRect bounds(clampInt(left), clampInt(top),
                               clampInt(header.i32(headerAt + 12) - left),
                               clampInt(header.i32(headerAt + 16) - top));
            const qint32 emuWidth = header.i32(headerAt + 20);
            const quint32 cbSave = header.u32(headerAt + 28);
            const quint8 compression = header.u8(headerAt + 32);
            QByteArrayView data = body.sliced(headerAt + kMetafileHeaderSize);
            if (cbSave < quint64(data.size()))
                data = data.first(qsizetype(cbSave));
            QByteArray metafile;
            if (compression == 0) {
                const qint64 limit =
                    cbSize ? std::min<qint64>(cbSize, kMaxInflatedBytes) : kMaxInflatedBytes;
                auto inflated = inflateBounded(data, limit);
                if (!inflated) {
                    *problem =
                        QStringLiteral("compressed metafile is damaged or larger than stated");
                    return {};
                }
                metafile = std::move(*inflated);
            } else {
                metafile = data.toByteArray();
            }
            if (r->type == kBlipWmf &&
                !(metafile.size() >= 4 && ByteReader(metafile).u32(0) == meta::PlaceableKey))
                metafile = withPlaceableHeader(metafile, bounds, emuWidth / 914400.0);
            return metafile;
        }
        case kBlipJpeg:
        case kBlipPng:
        case kBlipDib:
        case kBlipTiff:
        case kBlipJpegCmyk: {
            const qsizetype dataAt = uids * 16 + 1;
            if (dataAt > body.size()) {
                *problem = QStringLiteral("bitmap picture is too short for its header");
                return {};
            }
            const QByteArrayView data = body.sliced(dataAt);
            if (r->type == kBlipDib) {
                if (form)
                    *form = picture::FileForm::Made;
                return dibToBmp(data, problem);
            }
            return data.toByteArray();
        }
        default:
            *problem = QStringLiteral("picture record %1 has an unknown type").arg(hex(r->type));
            return {};
    }
}

QByteArray decodeBlipEntry(const BlipEntry& entry, QByteArrayView delayStream, QString* problem,
                           picture::FileForm* form) {
    if (!entry.embedded.isEmpty())
        return decodeBlip(entry.embedded, problem, form);
    if (!entry.delayOffset) {
        *problem = QStringLiteral("blip store entry is empty");
        return {};
    }
    auto r = readArtRecord(
        delayStream, qsizetype(std::min<quint64>(*entry.delayOffset, quint64(delayStream.size()))));
    if (!r || qint64(*entry.delayOffset) > delayStream.size()) {
        *problem = QStringLiteral("picture at offset %1 lies past the end of its stream")
                       .arg(*entry.delayOffset);
        return {};
    }
    return decodeBlip(delayStream.sliced(qsizetype(*entry.delayOffset), r->size), problem, form);
}

}  // namespace pictrove::doc
