#include "core/save/SaveAsJPG.h"

#include "core/save/Gdiplus.h"

namespace pictrove::results {

namespace gp = pictrove::gdiplus;

namespace {

// GDI+'s sequence around one save: start-up, a bitmap from the picture's handle, the
// JPEG encoder with one quality parameter handed to `save`, release, shut-down.
template <typename Save>
std::optional<SaveError> throughGdiplus(const QImage& picture, std::uint8_t quality, Save save) {
    gp::Status status = gp::Status::Ok;

    gp::GdiplusStartupInput startup;  // version 1, no callback, nothing suppressed
    gp::ULONG_PTR token = 0;
    status = gp::GdiplusStartup(&token, &startup, nullptr);
    if (status == gp::Status::Ok) {
        gp::GpBitmap* bitmap = nullptr;
        status = gp::GdipCreateBitmapFromHBITMAP(&picture, nullptr, &bitmap);
        if (status == gp::Status::Ok) {
            gp::CLSID encoder;
            gp::CLSIDFromString(gp::kJpegEncoderClsidText, &encoder);
            // The encoder reads the quality through the parameter's pointer as a
            // 32-bit unsigned value, so it is widened here and must outlive the call.
            std::uint32_t quality32 = quality;
            gp::EncoderParameters params;
            params.Count = 1;
            gp::CLSIDFromString(gp::kEncoderQualityText, &params.Parameter[0].Guid);
            params.Parameter[0].NumberOfValues = 1;
            params.Parameter[0].Type = gp::EncoderParameterValueTypeLong;
            params.Parameter[0].Value = &quality32;
            status = save(bitmap, encoder, params);
            gp::GdipDisposeImage(bitmap);
        }
        gp::GdiplusShutdown(token);
    }
    if (status == gp::Status::Ok) {
        return std::nullopt;
    }
    return SaveError{kSaveJpgErrorNumber, QStringLiteral("Cannot save the image. GDI+ Error:") +
                                              QString::number(static_cast<int>(status))};
}

}  // namespace

std::optional<SaveError> SaveJPGFile(const QImage& picture, const QString& fileName,
                                     std::uint8_t quality) {
    const std::u16string path = fileName.toStdU16String();
    return throughGdiplus(
        picture, quality,
        [&](gp::GpBitmap* bitmap, const gp::CLSID& encoder, const gp::EncoderParameters& params) {
            return gp::GdipSaveImageToFile(bitmap, path.c_str(), &encoder, &params);
        });
}

std::optional<SaveError> EncodeJPG(const QImage& picture, std::uint8_t quality, QByteArray& bytes) {
    QByteArray stream;
    std::optional<SaveError> error = throughGdiplus(
        picture, quality,
        [&](gp::GpBitmap* bitmap, const gp::CLSID& encoder, const gp::EncoderParameters& params) {
            return gp::GdipSaveImageToStream(bitmap, &stream, &encoder, &params);
        });
    if (!error) {
        bytes = std::move(stream);
    }
    return error;
}

}  // namespace pictrove::results
