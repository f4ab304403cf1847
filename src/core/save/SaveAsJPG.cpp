#include "core/save/SaveAsJPG.h"

#include "core/save/Gdiplus.h"

namespace pictrove::results {

namespace gp = pictrove::gdiplus;

std::optional<SaveError> SaveJPGFile(const QImage& picture, const QString& fileName,
                                     std::uint8_t quality) {
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
            const std::u16string path = fileName.toStdU16String();
            status = gp::GdipSaveImageToFile(bitmap, path.c_str(), &encoder, &params);
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

}  // namespace pictrove::results
