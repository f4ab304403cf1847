#pragma once

#include "core/save/SaveError.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace pictrove::results {

// The number of every error SaveJPGFile reports.
inline constexpr int kSaveJpgErrorNumber = 5;

// Writes the bitmap to fileName as a JPEG file of the given quality (0 to 100; the
// value reaches the encoder unchanged), through GDI+: start-up, a GDI+ bitmap made from
// the picture's handle, a save with the JPEG encoder and one EncoderQuality parameter,
// release of the bitmap, shut-down. Nothing is kept between calls.
//
// Returns no error on success. Otherwise the error has the number 5 and the
// description "Cannot save the image. GDI+ Error:" followed directly by the GDI+ status
// of the first step that failed (start-up, bitmap or save), in decimal. A failed save
// leaves no file behind. The picture stays the caller's.
[[nodiscard]] std::optional<SaveError> SaveJPGFile(const QImage& picture, const QString& fileName,
                                                   std::uint8_t quality);

// The same JPEG, by the same sequence, into `bytes` instead of a file (untouched on an
// error); errors as above.
[[nodiscard]] std::optional<SaveError> EncodeJPG(const QImage& picture, std::uint8_t quality,
                                                 QByteArray& bytes);

}  // namespace pictrove::results
