#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include <optional>

namespace pictrove::metafile {

enum class Format {
    None,          // not a metafile we play
    Emf,           // enhanced metafile (EMF, also EMF+ dual files)
    PlaceableWmf,  // WMF with the 22-byte placeable header
    BareWmf,       // WMF without placeable header: no physical size of its own
};

// Which kind of metafile the bytes hold, from their signatures alone.
Format sniff(QByteArrayView bytes);

// Frame size at 96 dpi of an EMF (from its header frame, in 0.01 mm) or of a WMF
// (placeable header bounds and units per inch; a bare WMF has none and gives nullopt).
std::optional<QSize> frameSizePx(QByteArrayView bytes);

struct RenderOptions {
    // Bitmaps stored as JPEG or PNG inside the metafile go through Qt's image readers.
    bool decodeCompressedBitmaps = true;
    // Bitmaps inside the metafile whose decoded pixels exceed this are skipped.
    qint64 maxBitmapBytes = qint64(512) * 1024 * 1024;
    // Target images larger than this (4 bytes a pixel) are refused with a null image.
    qint64 maxImageBytes = qint64(512) * 1024 * 1024;
};

// Plays an EMF or WMF onto a white image of the given size. A damaged metafile renders
// what came before the damage; bytes that are no metafile at all, an empty size or a
// size above the options' limit give a null image.
QImage render(QByteArrayView bytes, QSize sizePx, const RenderOptions& options);
QImage render(QByteArrayView bytes, QSize sizePx);

}  // namespace pictrove::metafile
