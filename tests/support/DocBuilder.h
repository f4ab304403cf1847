#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>
#include <vector>

// Writers for the pieces of a binary Word document (Word 97 format): OfficeArt
// records and BLIPs, picture descriptors, and a whole .doc with main text, inline
// pictures, floating shapes and a blip store.
namespace pictrove::test {

// ---- OfficeArt ----

QByteArray artRecord(quint16 version, quint16 instance, quint16 type, const QByteArray& body);

// A bitmap BLIP (PNG 0xF01E, JPEG 0xF01D, DIB 0xF01F, TIFF 0xF029) with one UID, or
// two when twoUids.
QByteArray bitmapBlip(quint16 type, const QByteArray& data, bool twoUids = false);

// A metafile BLIP (EMF 0xF01A, WMF 0xF01B) with its 34-byte header; deflated when
// compress. frameEmu is the picture's size in EMUs (914400 to the inch).
QByteArray metafileBlip(quint16 type, const QByteArray& metafile, bool compress, QSize frameEmu,
                        QRect bounds = QRect(0, 0, 100, 100));

// A blip store entry holding blip (embedded), or pointing at delayOffset when blip is
// empty.
QByteArray fbse(const QByteArray& blip, quint32 delayOffset = 0, quint32 delaySize = 0);

struct ArtShapeParams {
    quint32 spid = 0;
    quint16 shapeType = 75;  // picture frame
    quint32 flags = 0xA00;   // has anchor, has shape type
    QList<QPair<quint16, qint32>> properties;
    std::optional<QRect> childAnchor;
    bool clientTextbox = false;
};
QByteArray spContainer(const ArtShapeParams& shape);
// A group: its own shape (with FSPGR bounds) followed by member records.
QByteArray spgrContainer(const ArtShapeParams& groupShape, QRect bounds,
                         const QList<QByteArray>& members);

// ---- Picture descriptors (Data stream) ----

// PICF with mm 0x64 and the inline shape container plus its blip entries.
QByteArray picfWithShape(const QByteArray& spContainer, const QList<QByteArray>& blipEntries,
                         QSize goalTwips = QSize(1440, 1440));
// PICF of older style holding the picture itself.
QByteArray picfWithData(qint16 mm, const QByteArray& data, QSize goalTwips = QSize(1440, 1440),
                        QRect cropTwips = QRect());

// ---- Small pictures ----

QByteArray pngBytes(QSize size, quint32 rgb = 0xFF2060A0u);
QByteArray minimalEmf(QSize frameHundredthsMm);
QByteArray minimalBareWmf(QSize windowExt);
QByteArray dibBytes(QSize size);  // 24-bit BITMAPINFOHEADER DIB without file header

// ---- Whole documents ----

// Character property modifiers of an inline picture character.
struct InlineFlags {
    bool ole2 = false;
    bool data = false;       // form-field data: not a picture
    bool objectChar = true;  // without the object-character flag the 0x01 is plain text
};

class DocBuilder {
  public:
    DocBuilder& text(const QString& text);
    // A 0x01 character whose properties point at picf in the Data stream.
    DocBuilder& inlinePicture(const QByteArray& picf, InlineFlags flags = {});
    // An embedded object as Word writes it: a field whose code holds a 0x01 naming the
    // object's storage and whose result holds the preview picture picf.
    DocBuilder& oleObject(const QByteArray& picf, quint32 storageId = 0x0A0B0C0D);
    // A 0x08 character anchoring the drawing shape spid.
    DocBuilder& floating(quint32 spid);
    // A top-level record (shape or group container) of the main drawing.
    DocBuilder& drawingShape(const QByteArray& record);
    // A blip store entry whose BLIP lies in the WordDocument stream (delayed) or inside
    // the entry; returns its blip id (1-based).
    quint32 storeBlip(const QByteArray& blip, bool delayed = true);

    DocBuilder& unicode(bool on);    // UTF-16 piece instead of a compressed one
    DocBuilder& useTable0(bool on);  // "0Table" instead of "1Table"
    DocBuilder& encrypted(bool on);
    DocBuilder& nFib(quint16 value);

    // The three streams and where the structures lie in them.
    struct Streams {
        QByteArray wordDocument;
        QByteArray table;
        QByteArray data;
        QString tableName;
        qsizetype textOffset = 0;
        std::vector<qsizetype> fkpOffsets;   // in wordDocument
        qsizetype clxOffset = 0;             // in table
        qsizetype dggOffset = 0;             // in table
        std::vector<qsizetype> picfOffsets;  // in data
    };
    Streams streams() const;
    static QByteArray pack(const Streams& streams);
    QByteArray build() const { return pack(streams()); }

  private:
    struct MarkedChar {
        int index;  // in text_
        QByteArray picf;
        InlineFlags flags;
        quint32 spid = 0;
        quint32 storageId = 0;  // an object reference: its location names a storage
    };
    QString text_;
    std::vector<MarkedChar> objectChars_;
    QList<QByteArray> drawing_;
    struct Stored {
        QByteArray blip;
        bool delayed;
    };
    std::vector<Stored> store_;
    bool unicode_ = false;
    bool table0_ = false;
    bool encrypted_ = false;
    quint16 nFib_ = 0xC1;
};

}  // namespace pictrove::test
