#include "core/formats/rtf/RtfPicture.h"

#include "core/picture/PictureHeader.h"

#include <QtEndian>

#include <cmath>

namespace pictrove::word::rtf {

using picture::Crop;
using picture::FileForm;
using picture::Format;
using picture::Picture;

namespace {

void putU16(QByteArray& out, quint16 v) {
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void putU32(QByteArray& out, quint32 v) {
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

bool isMetafile(PictType t) {
    return t == PictType::Wmf || t == PictType::Emf;
}

// The picture's uncropped size in twips along one axis, which the crop values refer
// to: the goal size when written, else picw/pich in their own unit.
double goalTwips(int goal, int pic, PictType type) {
    if (goal > 0)
        return goal;
    if (pic <= 0)
        return 0;
    return isMetafile(type) ? pic * 1440.0 / 2540.0 : pic * 15.0;
}

double cropFraction(int twips, double goal) {
    if (twips <= 0 || goal <= 0)
        return 0;  // negative crops are padding around the picture: nothing is cut
    return twips / goal;
}

bool isBareWmf(QByteArrayView b) {
    return b.size() >= 18 && (b[0] == 1 || b[0] == 2) && b[1] == 0 && b[2] == 9 && b[3] == 0;
}

}  // namespace

QByteArray bmpFromDdb(QByteArrayView bits, int width, int height, int bitsPerPixel,
                      int widthBytes) {
    if (width <= 0 || height <= 0)
        return {};
    if (bitsPerPixel != 1 && bitsPerPixel != 24 && bitsPerPixel != 32)
        return {};
    const qint64 rowBits = qint64(width) * bitsPerPixel;
    // DDB rows are padded to 16 bits unless the document says otherwise.
    const qint64 srcStride = widthBytes > 0 ? widthBytes : (rowBits + 15) / 16 * 2;
    const qint64 rowBytes = (rowBits + 7) / 8;
    if (srcStride < rowBytes || srcStride * height > bits.size())
        return {};
    const qint64 dstStride = (rowBits + 31) / 32 * 4;
    const qint64 paletteBytes = bitsPerPixel == 1 ? 8 : 0;
    const qint64 offset = 14 + 40 + paletteBytes;
    const qint64 total = offset + dstStride * height;
    if (total > picture::kMaxDecodedBytes)
        return {};

    QByteArray out;
    out.reserve(qsizetype(total));
    out.append("BM", 2);
    putU32(out, quint32(total));
    putU32(out, 0);
    putU32(out, quint32(offset));
    putU32(out, 40);
    putU32(out, quint32(width));
    putU32(out, quint32(height));  // positive: rows stored bottom-up
    putU16(out, 1);
    putU16(out, quint16(bitsPerPixel));
    putU32(out, 0);  // BI_RGB
    putU32(out, quint32(dstStride * height));
    putU32(out, 2835);  // 72 dpi
    putU32(out, 2835);
    putU32(out, bitsPerPixel == 1 ? 2 : 0);
    putU32(out, 0);
    if (bitsPerPixel == 1) {
        putU32(out, 0x00000000);  // 0: black
        putU32(out, 0x00FFFFFF);  // 1: white
    }
    const QByteArray padding(qsizetype(dstStride - rowBytes), '\0');
    for (qint64 y = height - 1; y >= 0; --y) {
        out.append(bits.data() + y * srcStride, qsizetype(rowBytes));
        out.append(padding);
    }
    return out;
}

QByteArray placeableWmf(QByteArrayView bareWmf, qint64 widthTwips, qint64 heightTwips) {
    if (widthTwips <= 0 || heightTwips <= 0)
        return {};
    // The frame is written in twips (1440 to the inch); a frame beyond the 16-bit
    // coordinates of the header is expressed in coarser units instead.
    const qint64 largest = qMax(widthTwips, heightTwips);
    const qint64 factor = (largest + 32766) / 32767;
    if (factor > 1440)
        return {};
    picture::PlaceableFrame frame;
    frame.right = qint16(qMax<qint64>(1, widthTwips / factor));
    frame.bottom = qint16(qMax<qint64>(1, heightTwips / factor));
    frame.unitsPerInch = quint16(1440 / factor);
    return picture::withPlaceableHeader(bareWmf, frame);
}

PictResult makePicture(const PictData& pict, std::optional<Crop> crop) {
    PictResult result;
    if (pict.type == PictType::Unsupported)
        return result;

    const double goalW = goalTwips(pict.goalw, pict.picw, pict.type);
    const double goalH = goalTwips(pict.goalh, pict.pich, pict.type);
    const Crop cut =
        crop.value_or(Crop{cropFraction(pict.cropl, goalW), cropFraction(pict.cropt, goalH),
                           cropFraction(pict.cropr, goalW), cropFraction(pict.cropb, goalH)});

    QByteArray bytes;
    FileForm form = FileForm::Given;
    switch (pict.type) {
        case PictType::Dib:
            if (pict.data.startsWith("BM")) {
                bytes = pict.data;
            } else {
                bytes = picture::bmpFromDib(pict.data);
                form = FileForm::Made;
            }
            break;
        case PictType::Ddb:
            bytes = bmpFromDdb(pict.data, pict.picw, pict.pich,
                               pict.bitsPixel * qMax(1, pict.planes), pict.widthBytes);
            form = FileForm::Made;
            break;
        case PictType::Unknown:
        case PictType::Wmf:
        case PictType::Png:
        case PictType::Jpeg:
        case PictType::Emf:
            if (isBareWmf(pict.data)) {
                bytes =
                    placeableWmf(pict.data, qint64(std::lround(goalW)), qint64(std::lround(goalH)));
            } else {
                bytes = pict.data;
            }
            break;
        case PictType::Unsupported:
            return result;
    }
    if (pict.type == PictType::Unknown && picture::sniffFormat(bytes) == Format::None &&
        !picture::looksLikeDib(bytes))
        return result;  // no type word and no signature: nothing we know

    result.picture = Picture::fromEncoded(std::move(bytes), cut, &result.reason, form);
    result.outcome =
        result.picture.isNull() ? PictResult::Outcome::Undecodable : PictResult::Outcome::Decoded;
    return result;
}

}  // namespace pictrove::word::rtf
