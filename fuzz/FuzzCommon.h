#pragma once

// Shared by the fuzz targets: read a document and touch every picture a copy would
// give, without decoding pixels (the image decoders are not ours to fuzz).

#include "platform/word/DocumentModel.h"

#include <cstddef>
#include <cstdint>

namespace pictrove::fuzz {

inline void touchModel(const word::ReadResult& result) {
    if (!result.ok())
        return;
    for (const auto* shapes : {&result.model.inlineShapes, &result.model.floatingShapes}) {
        for (const word::Shape& s : *shapes) {
            const picture::Picture p = s.pictureOf();
            (void)p.size();
            for (const word::PlacedPicture& c : s.children)
                (void)c.picture.size();
        }
    }
}

}  // namespace pictrove::fuzz
