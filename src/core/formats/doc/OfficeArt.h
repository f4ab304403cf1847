#pragma once

#include "core/formats/doc/WordStructures.h"
#include "core/picture/Picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRectF>

#include <optional>
#include <vector>

// Readers for the OfficeArt records of a binary Word document: the drawing group with
// its blip store, the drawing of the main document, inline shape containers and BLIPs.
namespace pictrove::doc {

// One record: its 8-byte header and its body.
struct ArtRecord {
    quint16 version = 0;
    quint16 instance = 0;
    quint16 type = 0;
    QByteArrayView body;
    qsizetype size = 0;  // header and body

    bool isContainer() const { return version == 0xF; }
};

// The record at offset; nullopt when the header or the body does not fit in bytes.
std::optional<ArtRecord> readArtRecord(QByteArrayView bytes, qsizetype offset);

// A shape or a group as the drawing describes it.
struct ArtShape {
    quint32 spid = 0;
    quint16 shapeType = 0;  // FSP instance: 75 picture frame, 202 text box, ...
    quint32 fspFlags = 0;   // FSP grfPersistent
    bool isGroup = false;
    QRectF groupBounds;                 // a group's own coordinate space (FSPGR)
    std::optional<QRectF> childAnchor;  // place inside the parent group
    quint32 pib = 0;                    // 1-based blip store index of the picture; 0 = none
    quint32 fillBlip = 0;               // 1-based blip store index of the fill picture; 0 = none
    qint32 fillType = 0;                // 2 texture, 3 picture use the fill blip
    bool hasText = false;               // a text box: text id or client text box
    picture::Crop crop;
    std::vector<ArtShape> children;  // a group's members in drawing order

    bool isOleShape() const { return fspFlags & 0x10; }
};

// An entry of a blip store: the BLIP itself when embedded, otherwise its offset in
// the delay stream (the WordDocument stream for the drawing group).
struct BlipEntry {
    QByteArrayView embedded;  // a whole BLIP record, header included
    std::optional<quint32> delayOffset;
};

// The drawing group's blip store and the shapes of the main document's drawing.
struct ArtContent {
    std::vector<BlipEntry> blipStore;  // index i holds blip id i + 1
    std::vector<ArtShape> shapes;      // top-level shapes and groups of the main drawing
};

// Reads the OfficeArt content at the FIB's fcDggInfo (drawing group, then drawings).
// Records longer than their container, nesting deeper than a sane cap and a
// missing drawing group give Damaged.
Parsed<ArtContent> parseArtContent(QByteArrayView dggInfo);

// The top-level shape of a drawing with that id (searched depth first); nullptr when
// none has it.
const ArtShape* findShape(const std::vector<ArtShape>& shapes, quint32 spid);

// An inline shape as the Data stream stores it after its picture descriptor: one
// shape container, then the BLIPs it references (blip entries or bare BLIPs).
struct InlineArt {
    ArtShape shape;
    std::vector<BlipEntry> blips;
};
Parsed<InlineArt> parseInlineArt(QByteArrayView bytes);

// Bytes ready for Picture::fromEncoded from one BLIP record: metafiles inflated
// (bounded by their stated size and a global cap), a WMF given a placeable header
// that carries its frame, a DIB given a file header (then *form, when given, is
// FileForm::Made; otherwise it is left alone). Empty with *problem set when the BLIP
// cannot be used.
QByteArray decodeBlip(QByteArrayView blipRecord, QString* problem,
                      picture::FileForm* form = nullptr);

// The BLIP of a blip store entry: embedded, or read at its offset in delayStream.
QByteArray decodeBlipEntry(const BlipEntry& entry, QByteArrayView delayStream, QString* problem,
                           picture::FileForm* form = nullptr);

// A DIB (bitmap header, palette, bits) as a BMP file; empty with *problem set when its
// header is damaged.
QByteArray dibToBmp(QByteArrayView dib, QString* problem);

// A bare WMF (no placeable header) given one whose bounds come from the metafile's
// window origin and extent (or fallback when it has none) and whose units per inch
// make its frame widthInches wide.
QByteArray withPlaceableHeader(QByteArrayView wmf, QRect fallback, double widthInches);

// Largest metafile we inflate.
inline constexpr qint64 kMaxInflatedBytes = qint64(256) * 1024 * 1024;

}  // namespace pictrove::doc
