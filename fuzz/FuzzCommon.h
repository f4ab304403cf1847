#pragma once

// Shared by the fuzz targets: read a document and touch every picture a copy would
// give, without decoding pixels (the image decoders are not ours to fuzz).

#include "core/metafile/Metafile.h"
#include "core/model/DocumentModel.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

namespace pictrove::fuzz {

inline void touchModel(const word::ReadResult& result) {
    if (!result.ok())
        return;
    for (const auto* shapes : {&result.model.inlineShapes, &result.model.floatingShapes}) {
        for (const word::Shape& s : *shapes) {
            // A group's picture is composed from decoded pixels; its children are enough.
            if (s.kind != word::Shape::Kind::Group)
                (void)s.picture().size();
            for (const word::PlacedPicture& c : s.children)
                (void)c.picture.size();
        }
    }
}

// Plays the bytes as a metafile onto a small image, as the EMF and WMF targets do (their
// seeds decide which reader the fuzzer mostly explores). Painting needs a GUI
// application; the offscreen platform gives one without a display.
inline void playMetafile(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "metafile_fuzz";
    static char* argv[] = {name, nullptr};
    static const bool env = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    (void)env;
    metafile::RenderOptions options;
    options.decodeCompressedBitmaps = false;  // Qt's image readers are not ours to fuzz
    options.maxBitmapBytes = 16 * 1024 * 1024;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)metafile::pictureSizePx(bytes, 1 << 20);
    (void)metafile::render(bytes, QSize(64, 48), options);
}

}  // namespace pictrove::fuzz
