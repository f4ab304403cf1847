#pragma once

#include <QByteArrayView>
#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

namespace pictrove::platform {

// The header of a Windows cursor file (.cur): the first image's size, hotspot and
// where its bitmap lies. Qt's ico reader decodes the image but drops the hotspot.
struct CursorHeader {
    QSize size;      // 256 where the directory says 0
    QPoint hotspot;  // clamped into the image
    quint32 imageOffset = 0;
    quint32 imageBytes = 0;
};

// Reads and checks the header: type 2 (cursor), at least one entry, the first entry's
// image inside the file. nullopt (with the reason in *error) for anything else.
std::optional<CursorHeader> readCursorHeader(QByteArrayView bytes, QString* error = nullptr);

}  // namespace pictrove::platform
