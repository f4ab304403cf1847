#pragma once

#include <QByteArrayView>
#include <QImage>

#include <span>

namespace pictrove::metafile {

// Largest decoded bitmap we accept from a metafile: 512 MiB of 32-bit pixels.
inline constexpr qint64 kMaxDecodedBytes = qint64(512) * 1024 * 1024;

struct DibOptions {
    // 32-bit BI_RGB pixels carry alpha only for AlphaBlend; every other blit ignores it.
    bool keepAlpha = false;
    // BI_JPEG / BI_PNG payloads go through Qt's image readers when set.
    bool decodeCompressed = true;
    // DIB_PAL_COLORS: the colour table holds 16-bit indices into this palette.
    bool paletteIndices = false;
    std::span<const QRgb> logicalPalette;
    // Bitmaps whose decoded pixels would take more than this are refused.
    qint64 maxDecodedBytes = kMaxDecodedBytes;
};

// Decodes a device-independent bitmap given its BITMAPINFO (header and colour table)
// and its pixel bits, both taken from the record that carries them. Every size is
// checked against the bytes present and the decoded size against kMaxDecodedBytes; a
// bitmap that fails a check gives a null image. The result is top-down, RGB32 (or
// ARGB32 with keepAlpha).
QImage decodeDib(QByteArrayView info, QByteArrayView bits, const DibOptions& options = {});

// The same for a packed DIB (header, colour table and bits in one run, as WMF records
// and pattern brushes hold them).
QImage decodePackedDib(QByteArrayView packed, const DibOptions& options = {});

}  // namespace pictrove::metafile
