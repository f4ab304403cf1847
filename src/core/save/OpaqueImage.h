#pragma once

#include <QImage>

namespace pictrove::gdiplus {

// The image as an opaque RGB32 image: pixels with alpha are composed onto white, as
// a viewer shows them on a white page. An image without alpha is only converted
// (shared, not copied, when it is RGB32 already). A null image stays null.
QImage opaqueOnWhite(const QImage& image);

}  // namespace pictrove::gdiplus
