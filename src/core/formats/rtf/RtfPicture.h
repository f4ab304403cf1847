#pragma once

#include "core/picture/Picture.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace pictrove::word::rtf {

// How the data of a \pict group is encoded, from its type control word.
enum class PictType {
    Unknown,      // no type word: the bytes are sniffed
    Png,          // \pngblip
    Jpeg,         // \jpegblip
    Emf,          // \emfblip
    Wmf,          // \wmetafileN: a WMF without placeable header
    Dib,          // \dibitmapN: a device-independent bitmap without file header
    Ddb,          // \wbitmapN: raw device-dependent bitmap bits
    Unsupported,  // \macpict, \pmmetafileN, ...: formats this program does not read
};

// Everything a \pict group says about its picture. Sizes are the RTF parameters as
// written: picw/pich are pixels for bitmaps and 0.01 mm for metafiles, goals are twips.
struct PictData {
    PictType type = PictType::Unknown;
    QByteArray data;  // decoded hex or \bin bytes
    int picw = 0, pich = 0;
    int goalw = 0, goalh = 0;
    int cropl = 0, cropt = 0, cropr = 0, cropb = 0;  // twips of the goal size
    int bitsPixel = 0, planes = 0, widthBytes = 0;   // \wbitmap only
};

// What became of a \pict.
struct PictResult {
    enum class Outcome {
        Decoded,      // a picture with a known size
        Undecodable,  // a format we read, but its bytes give no picture
        Unsupported,  // a format we do not read
    };
    Outcome outcome = Outcome::Unsupported;
    picture::Picture picture;
    QString reason;  // Undecodable: why
};

// Turns the data of one \pict into a picture: metafiles and bitmaps that RTF stores
// without their file headers get one, so that the result stands alone as a file.
// `crop`, when given, replaces the \piccrop values (a shape's own crop properties).
PictResult makePicture(const PictData& pict, std::optional<picture::Crop> crop = std::nullopt);

// A bottom-up BMP file from the top-down rows of a Windows DDB (1, 24 or 32 bits per
// pixel; 1 bit is black on white); "" when the rows do not fit the bytes.
QByteArray bmpFromDdb(QByteArrayView bits, int width, int height, int bitsPerPixel, int widthBytes);

// A placeable WMF: a 22-byte header giving a frame of the given size in twips, then the
// bare metafile. "" when the size is not positive or too large to express.
QByteArray placeableWmf(QByteArrayView bareWmf, qint64 widthTwips, qint64 heightTwips);

}  // namespace pictrove::word::rtf
