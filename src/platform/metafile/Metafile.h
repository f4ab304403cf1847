#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include <optional>

namespace pictrove::metafile {

// Frame size at 96 dpi of an EMF (from its header frame, in 0.01 mm) or of a WMF
// (placeable header bounds and units per inch; a bare WMF has none and gives nullopt).
std::optional<QSize> frameSizePx(QByteArrayView bytes);

// Plays an EMF or WMF onto a white image of the given size. A damaged metafile renders
// what came before the damage; bytes that are no metafile at all give a null image.
QImage render(QByteArrayView bytes, QSize sizePx);

}  // namespace pictrove::metafile
