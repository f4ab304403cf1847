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

}  // namespace pictrove::picture
