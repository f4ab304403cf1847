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

// Frame size at 96 dpi of an EMF (from its header frame, in 0.01 mm; the bounds where
// the frame is empty) or of a WMF (placeable header bounds and units per inch). Where a
// WMF's header gives no area (a bare WMF, or a placeable box of zero width or height),
// the window extent its records set gives the size; nullopt when nothing does.
std::optional<QSize> frameSizePx(QByteArrayView bytes);

// The size a picture of this metafile is drawn at: the frame size, or, for a frame of
// more than maxPixels, the largest size of the same aspect within maxPixels.
std::optional<QSize> pictureSizePx(QByteArrayView bytes, qint64 maxPixels);

struct RenderOptions {
    // Bitmaps stored as JPEG or PNG inside the metafile go through Qt's image readers.
    bool decodeCompressedBitmaps = true;
    // Bitmaps inside the metafile whose decoded pixels exceed this are skipped.
    qint64 maxBitmapBytes = qint64(512) * 1024 * 1024;
    // Target images larger than this (4 bytes a pixel) are refused with a null image.
    qint64 maxImageBytes = qint64(512) * 1024 * 1024;
    // Playback work in target pixels: drawing counts the pixels it touches (bitmaps and
    // source pixels too), each record a few more. Past this many per target pixel, plus a
    // fixed allowance for small targets, playback stops and keeps what it drew, as at a
    // damaged record: a small file cannot keep the player busy for long.
    double workPerPixel = 32;
    // How deep inside other metafiles this one is drawn (EMF+ images may be metafiles),
    // and the work its playback may spend at most (-1: as workPerPixel allows): what is
    // left of the outer one's budget.
    int nesting = 0;
    qint64 workLimit = -1;
};

// Plays an EMF or WMF onto a white image of the given size. A damaged metafile renders
// what came before the damage, one that needs more work than the options allow what
// came before that; bytes that are no metafile at all, an empty size or a
// size above the options' limit give a null image.
QImage render(QByteArrayView bytes, QSize sizePx, const RenderOptions& options);
QImage render(QByteArrayView bytes, QSize sizePx);

}  // namespace pictrove::metafile
