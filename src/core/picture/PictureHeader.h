#pragma once

#include "core/picture/Picture.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>

#include <optional>

// Reading picture headers without decoding: these functions look at untrusted bytes
// and never read past them.
namespace pictrove::picture {

// Pixel size stated by the header of a PNG, JPEG, GIF, BMP or TIFF (`format` as
// sniffed). nullopt when the header is damaged or states a zero size.
std::optional<QSize> rasterHeaderSize(QByteArrayView bytes, Format format);

// Whether the bytes are a device-independent bitmap without its file header (a
// BITMAPINFOHEADER or BITMAPCOREHEADER with plausible fields), as clipboards, RTF
// and OLE previews store bitmaps.
bool looksLikeDib(QByteArrayView bytes);

// The DIB with a BITMAPFILEHEADER in front, so that it is a BMP file; "" when the
// bytes are no DIB.
QByteArray bmpFromDib(QByteArrayView dib);

// Where a placeable WMF puts its drawing: the box in the metafile's logical units and
// how many of those units make an inch.
struct PlaceableFrame {
    qint16 left = 0;
    qint16 top = 0;
    qint16 right = 0;
    qint16 bottom = 0;
    quint16 unitsPerInch = 1440;
};

// A bare WMF (one that starts with its standard header, as documents store it) made a
// placeable one: the 22-byte placeable header of frame (key, handle 0, box, inch,
// reserved 0, checksum of the ten words before it), then the metafile's bytes.
QByteArray withPlaceableHeader(QByteArrayView bareWmf, const PlaceableFrame& frame);

}  // namespace pictrove::picture
