#include "core/platform/CursorFile.h"

#include "core/bytes/ByteReader.h"

namespace pictrove::platform {

std::optional<CursorHeader> readCursorHeader(QByteArrayView bytes, QString* error) {
    auto fail = [error](const char* why) {
        if (error) {
            *error = QString::fromLatin1(why);
        }
        return std::nullopt;
    };
    constexpr qsizetype kHeader = 6, kEntry = 16;
    if (bytes.size() < kHeader + kEntry) {
        return fail("file is shorter than a cursor header");
    }
    const bytes::ByteReader r(bytes);
    if (r.u16(0) != 0 || r.u16(2) != 2) {
        return fail("not a cursor file");
    }
    if (r.u16(4) == 0) {
        return fail("cursor file holds no image");
    }
    const qint64 e = kHeader;
    CursorHeader h;
    h.size = QSize(r.u8(e) == 0 ? 256 : r.u8(e), r.u8(e + 1) == 0 ? 256 : r.u8(e + 1));
    h.hotspot = QPoint(qMin<int>(r.u16(e + 4), h.size.width() - 1),
                       qMin<int>(r.u16(e + 6), h.size.height() - 1));
    h.imageBytes = r.u32(e + 8);
    h.imageOffset = r.u32(e + 12);
    const quint64 end = quint64(h.imageOffset) + h.imageBytes;
    if (h.imageBytes == 0 || h.imageOffset < kHeader + kEntry || end > quint64(bytes.size())) {
        return fail("cursor image lies outside the file");
    }
    return h;
}

}  // namespace pictrove::platform
