#pragma once

#include <QByteArrayView>
#include <QImage>

namespace pictrove::picture {

// Decodes the PNGs that documents hold most (8-bit grey, RGB or RGBA, not interlaced,
// no transparent colour) with the whole zlib stream inflated at once, a few times faster
// than the generic reader, which inflates row by row. The image is the one Qt's PNG reader
// gives for the same file: same format, pixels and resolution (its colour space is not
// read: nothing here draws through one). Null for every other PNG, for any damage and
// above `maxBytes` of pixels: the generic reader then decides.
QImage decodeCommonPng(QByteArrayView bytes, qint64 maxBytes);

}  // namespace pictrove::picture
