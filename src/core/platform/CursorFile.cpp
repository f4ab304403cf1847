#include "core/platform/CursorFile.h"

#include <QtEndian>

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
    const uchar* d = reinterpret_cast<const uchar*>(bytes.data());
    if (qFromLittleEndian<quint16>(d) != 0 || qFromLittleEndian<quint16>(d + 2) != 2) {
        return fail("not a cursor file");
    }
    if (qFromLittleEndian<quint16>(d + 4) == 0) {
        return fail("cursor file holds no image");
    }
    const uchar* e = d + kHeader;
    CursorHeader h;
    h.size = QSize(e[0] == 0 ? 256 : e[0], e[1] == 0 ? 256 : e[1]);
    h.hotspot = QPoint(qMin<int>(qFromLittleEndian<quint16>(e + 4), h.size.width() - 1),
                       qMin<int>(qFromLittleEndian<quint16>(e + 6), h.size.height() - 1));
    h.imageBytes = qFromLittleEndian<quint32>(e + 8);
    h.imageOffset = qFromLittleEndian<quint32>(e + 12);
    const quint64 end = quint64(h.imageOffset) + h.imageBytes;
    if (h.imageBytes == 0 || h.imageOffset < kHeader + kEntry || end > quint64(bytes.size())) {
        return fail("cursor image lies outside the file");
    }
    return h;
}

}  // namespace pictrove::platform
