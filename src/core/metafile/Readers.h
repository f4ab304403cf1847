#pragma once

// The two record readers behind render(); both drive one gdi::Player.

#include "core/metafile/Metafile.h"

#include <QRect>

#include <optional>

namespace pictrove::metafile {

struct EmfHeader {
    QRect bounds;  // device pixels, inclusive
    QRect frame;   // 0.01 mm, inclusive
    QSize devicePx;
    QSizeF deviceMm;
    QSizeF deviceUm;  // empty when the header has no micrometres
    quint16 handles = 0;
    quint32 size = 0;
};

std::optional<EmfHeader> readEmfHeader(QByteArrayView bytes);

// Play every record onto `target` (already white). Damage stops playback where it is
// found; what was drawn stays. Both return the work they spent.
qint64 playEmf(QByteArrayView bytes, QImage& target, const RenderOptions& options);
qint64 playWmf(QByteArrayView bytes, QImage& target, const RenderOptions& options);

// A metafile that is an image inside another, played onto `target` (transparent) one
// level deeper than `outer` and within `workLeft`: nothing past kMaxNesting levels.
// Returns the work spent.
constexpr int kMaxNesting = 2;
qint64 playInner(QByteArrayView bytes, QImage& target, const RenderOptions& outer, qint64 workLeft);

}  // namespace pictrove::metafile
