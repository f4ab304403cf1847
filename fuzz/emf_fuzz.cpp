// Plays arbitrary bytes as a metafile onto a small image; seeded with EMF files, so
// the fuzzer mostly explores the EMF record reader and the device context behind it.

#include "platform/metafile/Metafile.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstring>

namespace {

void ensureApp() {
    static int argc = 1;
    static char name[] = "emf_fuzz";
    static char* argv[] = {name, nullptr};
    static const bool env = qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
    (void)env;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ensureApp();
    pictrove::metafile::RenderOptions options;
    options.decodeCompressedBitmaps = false;  // Qt's image readers are not ours to fuzz
    options.maxBitmapBytes = 16 * 1024 * 1024;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)pictrove::metafile::frameSizePx(bytes);
    (void)pictrove::metafile::render(bytes, QSize(64, 48), options);
    return 0;
}
