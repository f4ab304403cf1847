#include "core/formats/doc/DocReader.h"

#include "core/bytes/ByteReader.h"
#include "core/formats/doc/CompoundFile.h"
#include "core/formats/doc/OfficeArt.h"
#include "core/metafile/RecordTypes.h"

#include <functional>

namespace pictrove::doc {

using bytes::ByteReader;
using bytes::fits;
namespace meta = metafile::meta;

using word::OpenStatus;
using Kind = word::Shape::Kind;

namespace {

constexpr qsizetype kPicfSize = 0x44;
constexpr qint16 kMmShape = 0x64;
constexpr qint16 kMmShapeFile = 0x66;
constexpr qint16 kMmAnisotropic = 8;
constexpr qint64 kSpaSize = 26;

// The part of the table stream a FIB entry names, or a reason why it is not there.
bool tablePart(QByteArrayView table, const FcLcb& where, const char* what, QByteArrayView* out,
               QString* reason) {
    if (!fits(table, where.fc, where.lcb)) {
        *reason = QStringLiteral(
                      "FIB points past the table stream (%1 at offset %2, %3 bytes; the "
                      "stream has %4)")
                      .arg(QLatin1String(what))
                      .arg(where.fc)
                      .arg(where.lcb)
                      .arg(table.size());
        return false;
    }
    *out = table.sliced(qsizetype(where.fc), qsizetype(where.lcb));
    return true;
}

bool usesFillBlip(const ArtShape& s) {
    return s.fillBlip != 0 && (s.fillType == 2 || s.fillType == 3);
}

// The blip store index of the picture a shape shows; 0 when it shows none.
quint32 pictureIndexOf(const ArtShape& s) {
    if (s.pib != 0)
        return s.pib;
    return usesFillBlip(s) ? s.fillBlip : 0;
}

StoredPicture pictureOf(const std::vector<BlipEntry>& store, quint32 index,
                        QByteArrayView delayStream, const picture::Crop& crop) {
    StoredPicture p;
    if (index == 0 || index > store.size())
        return p;
    QString problem;
    p.bytes = decodeBlipEntry(store[index - 1], delayStream, &problem, &p.form);
    p.crop = crop;
    return p;
}

Kind kindOf(const ArtShape& s, bool hasPicture) {
    if (s.isOleShape())
        return Kind::OleObject;
    if (hasPicture)
        return Kind::Picture;
    return s.hasText || s.shapeType == 202 ? Kind::TextBox : Kind::Other;
}

// Maps a rect of a nested group's own space into its parent's space.
QRectF mapRect(const QRectF& r, const QRectF& from, const QRectF& to) {
    const double sx = from.width() > 0 ? to.width() / from.width() : 1.0;
    const double sy = from.height() > 0 ? to.height() / from.height() : 1.0;
    return QRectF(to.left() + (r.left() - from.left()) * sx, to.top() + (r.top() - from.top()) * sy,
                  r.width() * sx, r.height() * sy);
}

StoredShape floatingShape(const ArtShape& s, const std::vector<BlipEntry>& store,
                          QByteArrayView delayStream) {
    StoredShape out;
    if (!s.isGroup) {
        const quint32 index = pictureIndexOf(s);
        out.picture = pictureOf(store, index, delayStream, s.pib ? s.crop : picture::Crop{});
        out.kind = kindOf(s, index != 0);
        return out;
    }
    out.kind = Kind::Group;
    out.groupExtent = s.groupBounds;
    // Members of nested groups are placed through each group's anchor.
    std::function<void(const ArtShape&, const std::function<QRectF(const QRectF&)>&)> collect =
        [&](const ArtShape& group, const std::function<QRectF(const QRectF&)>& toTop) {
            for (const ArtShape& child : group.children) {
                const QRectF anchor = child.childAnchor.value_or(QRectF());
                if (child.isGroup) {
                    collect(child, [&, anchor, bounds = child.groupBounds](const QRectF& r) {
                        return toTop(mapRect(r, bounds, anchor));
                    });
                    continue;
                }
                const quint32 index = pictureIndexOf(child);
                if (index == 0)
                    continue;
                StoredPicture p =
                    pictureOf(store, index, delayStream, child.pib ? child.crop : picture::Crop{});
                if (!p.bytes.isEmpty())
                    out.children.push_back({std::move(p), toTop(anchor)});
            }
        };
    collect(s, [](const QRectF& r) { return r; });
    return out;
}

// Whether a picture descriptor of the current kind plausibly sits at location.
bool hasPictureDescriptor(QByteArrayView data, quint32 location) {
    if (!fits(data, location, kPicfSize))
        return false;
    const ByteReader in(data);
    const qint32 lcb = in.i32(location);
    return in.u16(qint64(location) + 4) == kPicfSize && lcb >= kPicfSize &&
           fits(data, location, lcb);
}

}  // namespace

StoredShape readInlineShape(QByteArrayView data, quint32 location, const CharProps& props) {
    StoredShape out;
    out.kind = props.ole2 || props.object ? Kind::OleObject : Kind::Picture;
    if (!fits(data, location, kPicfSize))
        return out;
    const ByteReader picf(data.sliced(qsizetype(location)));
    const qint32 lcb = picf.i32(0);
    const quint16 cbHeader = picf.u16(4);
    const qint16 mm = picf.i16(6);
    const qint16 dxaGoal = picf.i16(28), dyaGoal = picf.i16(30);
    if (cbHeader < kPicfSize || lcb < cbHeader)
        return out;
    // A descriptor that claims more than the stream holds keeps what is there.
    QByteArrayView body =
        picf.bytes()
            .first(std::min<qsizetype>(lcb, picf.size()))
            .sliced(std::min<qsizetype>(cbHeader, std::min<qsizetype>(lcb, picf.size())));

    picture::Crop picfCrop;
    if (dxaGoal > 0) {
        picfCrop.left = picf.i16(36) / double(dxaGoal);
        picfCrop.right = picf.i16(40) / double(dxaGoal);
    }
    if (dyaGoal > 0) {
        picfCrop.top = picf.i16(38) / double(dyaGoal);
        picfCrop.bottom = picf.i16(42) / double(dyaGoal);
    }

    if (mm == kMmShape || mm == kMmShapeFile) {
        if (mm == kMmShapeFile) {
            const qsizetype skip = body.isEmpty() ? 0 : 1 + ByteReader(body).u8(0);
            body = body.sliced(std::min(skip, body.size()));
        }
        const Parsed<InlineArt> art = parseInlineArt(body);
        if (!art.ok())
            return out;
        const ArtShape& shape = art.value.shape;
        // The shape's blip id counts in the document's blip store; the descriptor
        // carries only the BLIPs this shape uses, the picture's first.
        quint32 index = pictureIndexOf(shape) != 0 && !art.value.blips.empty() ? 1 : 0;
        if (index == 0 && !art.value.blips.empty() && !shape.isGroup && shape.shapeType == 75)
            index = 1;  // a picture frame without a blip id shows its one BLIP
        if (index != 0) {
            const picture::Crop crop = shape.crop.isNull() ? picfCrop : shape.crop;
            out.picture = pictureOf(art.value.blips, index, data, crop);
        }
        if (out.kind != Kind::OleObject)
            out.kind = kindOf(shape, index != 0);
        return out;
    }
    // Descriptors of older style hold the picture itself: a metafile in one of the
    // mapping modes (without placeable header), or a bitmap.
    const quint32 firstWord = ByteReader(body).u32(0);  // 0 when body is shorter
    const bool placeable = fits(body, 0, 4) && firstWord == meta::PlaceableKey;
    if (mm >= 1 && mm <= kMmAnisotropic && !placeable && dxaGoal > 0 && dyaGoal > 0) {
        out.picture = {withPlaceableHeader(body, QRect(0, 0, dxaGoal, dyaGoal), dxaGoal / 1440.0),
                       picfCrop};
    } else if (picture::sniffFormat(body) != picture::Format::None) {
        out.picture = {body.toByteArray(), picfCrop};
    } else if (fits(body, 0, 4) && (firstWord == 40 || firstWord == 12)) {
        QString problem;
        out.picture = {dibToBmp(body, &problem), picfCrop, picture::FileForm::Made};
    }
    return out;
}

Parsed<StoredDocument> scanBinaryDocument(const QByteArray& bytes) {
    using P = Parsed<StoredDocument>;
    CompoundFile::Status cfbStatus;
    QString reason;
    auto cfb = CompoundFile::open(bytes, &cfbStatus, &reason);
    if (!cfb) {
        return P::fail(cfbStatus == CompoundFile::Status::NotCompoundFile
                           ? OpenStatus::NotAWordDocument
                           : OpenStatus::Damaged,
                       reason);
    }
    // A password-protected package (.docx and the other zip forms) is kept encrypted in
    // a compound file of its own.
    if (!cfb->hasStream("WordDocument") && cfb->hasStream("EncryptedPackage"))
        return P::fail(OpenStatus::Encrypted, QStringLiteral("the document is password-protected"));
    if (!cfb->hasStream("WordDocument"))
        return P::fail(OpenStatus::NotAWordDocument,
                       QStringLiteral("compound file has no WordDocument stream"));
    auto wordDocument = cfb->readStream("WordDocument", &reason);
    if (!wordDocument)
        return P::damaged(reason);
    const QByteArrayView wd = wordDocument->bytes();

    const Parsed<Fib> fibResult = parseFib(wd);
    if (!fibResult.ok())
        return P::fail(fibResult.status, fibResult.reason);
    const Fib& fib = fibResult.value;

    const char* tableName = fib.useTable1 ? "1Table" : "0Table";
    auto tableStream = cfb->readStream(tableName, &reason);
    if (!tableStream)
        return P::damaged(
            cfb->hasStream(tableName)
                ? reason
                : QStringLiteral("table stream %1 is missing").arg(QLatin1String(tableName)));
    const QByteArrayView table = tableStream->bytes();

    QByteArrayView clx;
    if (!tablePart(table, fib.clx, "piece table", &clx, &reason))
        return P::damaged(reason);
    const Parsed<PieceTable> pieces = parsePieceTable(clx);
    if (!pieces.ok())
        return P::fail(pieces.status, pieces.reason);
    const Parsed<std::vector<ObjectChar>> objectChars =
        findObjectChars(pieces.value, wd, fib.ccpText);
    if (!objectChars.ok())
        return P::fail(objectChars.status, objectChars.reason);

    P result;
    const bool hasPictureChars = std::any_of(objectChars.value.begin(), objectChars.value.end(),
                                             [](const ObjectChar& c) { return c.ch == 0x01; });
    if (hasPictureChars) {
        QByteArrayView bte;
        if (!tablePart(table, fib.plcfBteChpx, "character property bin table", &bte, &reason))
            return P::damaged(reason);
        Parsed<std::vector<ChpxRun>> runs;
        if (!bte.isEmpty()) {
            runs = parseChpxRuns(bte, wd);
            if (!runs.ok())
                return P::fail(runs.status, runs.reason);
        }
        std::optional<CompoundFile::Stream> data;
        if (cfb->hasStream("Data")) {
            data = cfb->readStream("Data", &reason);
            if (!data)
                return P::damaged(reason);
        }
        const QByteArrayView dataStream = data ? data->bytes() : QByteArrayView();
        // An embedded object's field holds a 0x01 whose location names the object's
        // storage rather than a picture descriptor; the preview picture follows in the
        // field result and stands for the object.
        bool objectPending = false;
        for (const ObjectChar& c : objectChars.value) {
            if (c.ch != 0x01)
                continue;
            const CharProps props = charPropsOf(c, runs.value, pieces.value);
            if (!props.objectChar || props.data || !props.pictureLocation)
                continue;
            const bool isObject = props.ole2 || props.object;
            if (isObject && !hasPictureDescriptor(dataStream, *props.pictureLocation)) {
                objectPending = true;
                continue;
            }
            StoredShape shape = readInlineShape(dataStream, *props.pictureLocation, props);
            if (objectPending)
                shape.kind = Kind::OleObject;
            objectPending = false;
            result.value.inlineShapes.push_back(std::move(shape));
        }
    }

    if (fib.plcSpaMom.lcb > 0) {
        QByteArrayView plcSpa, dggInfo;
        if (!tablePart(table, fib.plcSpaMom, "shape anchors", &plcSpa, &reason) ||
            !tablePart(table, fib.dggInfo, "drawing group", &dggInfo, &reason))
            return P::damaged(reason);
        if (plcSpa.size() < 4 || (plcSpa.size() - 4) % (4 + kSpaSize) != 0)
            return P::damaged(
                QStringLiteral("shape anchor list has a bad size (%1)").arg(plcSpa.size()));
        const qsizetype n = (plcSpa.size() - 4) / (4 + kSpaSize);
        ArtContent art;
        if (n > 0 && !dggInfo.isEmpty()) {
            Parsed<ArtContent> parsed = parseArtContent(dggInfo);
            if (!parsed.ok())
                return P::fail(parsed.status, parsed.reason);
            art = std::move(parsed.value);
        }
        const ByteReader anchors(plcSpa);
        for (qsizetype i = 0; i < n; ++i) {
            const quint32 cp = anchors.u32(i * 4);
            if (cp >= fib.ccpText)
                continue;
            const quint32 spid = anchors.u32((n + 1) * 4 + i * kSpaSize);
            // An anchor whose shape is not in the drawing shows nothing and is no shape.
            if (const ArtShape* shape = findShape(art.shapes, spid))
                result.value.floatingShapes.push_back(floatingShape(*shape, art.blipStore, wd));
        }
    }
    return result;
}

word::ReadResult readBinaryDocument(const QByteArray& bytes) {
    const Parsed<StoredDocument> scanned = scanBinaryDocument(bytes);
    if (!scanned.ok())
        return word::ReadResult::failure(scanned.status, scanned.reason);
    auto toShape = [](const StoredShape& s) {
        word::Shape shape;
        shape.kind = s.kind;
        if (!s.picture.bytes.isEmpty()) {
            QString why;
            picture::Picture p = picture::Picture::fromEncoded(s.picture.bytes, s.picture.crop,
                                                               &why, s.picture.form);
            shape.setPicture(std::move(p), why);
        }
        for (const StoredShape::Child& c : s.children) {
            picture::Picture p = picture::Picture::fromEncoded(c.picture.bytes, c.picture.crop,
                                                               nullptr, c.picture.form);
            if (!p.isNull())
                shape.children.push_back({std::move(p), c.rect});
        }
        shape.groupExtent = s.groupExtent;
        return shape;
    };
    word::ReadResult result;
    for (const StoredShape& s : scanned.value.inlineShapes)
        result.model.inlineShapes.push_back(toShape(s));
    for (const StoredShape& s : scanned.value.floatingShapes)
        result.model.floatingShapes.push_back(toShape(s));
    return result;
}

}  // namespace pictrove::doc
