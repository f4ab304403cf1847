#pragma once

#include "core/model/DocumentModel.h"

namespace pictrove::word {

// One picture made of a group's picture children, each drawn at its place in the
// group, on white. The scale keeps the sharpest child at its stored resolution, within
// kMaxComposedPixels. Nothing is drawn until the picture's bytes or image are asked
// for; a group with no drawable child then gives empty bytes (see Picture::deferred()).
picture::Picture composeGroup(const std::vector<PlacedPicture>& children, const QRectF& extent);

inline constexpr qint64 kMaxComposedPixels = qint64(16) * 1024 * 1024;

}  // namespace pictrove::word
