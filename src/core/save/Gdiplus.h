#pragma once

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <utility>

// The part of the GDI+ flat interface that the JPEG writer calls, with GDI+'s call
// sequence, records and status numbers, backed by libjpeg-turbo. Code written against
// GDI+ reads the same here: start GDI+, wrap a bitmap handle, save through an encoder
// named by CLSID with encoder parameters, dispose the image, shut down.
//
// Every function may be called from any thread; tokens and images are process-wide.
namespace pictrove::gdiplus {

using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using ULONG_PTR = std::uintptr_t;
using HRESULT = std::int32_t;

// GDI+'s status values, numbered as GDI+ numbers them.
enum class Status : std::int32_t {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
    ProfileNotFound = 21,
};

// COM's 16-byte identifier, laid out as GUID is.
struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};

    bool operator==(const GUID&) const = default;
};
using CLSID = GUID;

inline constexpr HRESULT S_OK = 0;
// CLSIDFromString's answer for text that is not a GUID in braces.
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of either case, NUL
// terminated) into *clsid. Returns S_OK, or CO_E_CLASSSTRING and a zeroed *clsid for
// any other text.
HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid);

// The identifiers GDI+ publishes for its JPEG encoder and the quality parameter.
inline constexpr char16_t kJpegEncoderClsidText[] = u"{557CF401-1A04-11D3-9A73-0000F81EF32E}";
inline constexpr char16_t kEncoderQualityText[] = u"{1D5BE4B5-FA4A-452D-9CDD-5DB35105E7EB}";

// GDI+'s start-up record. Only version 1 is understood; the callback is never called.
struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    bool SuppressBackgroundThread = false;
    bool SuppressExternalCodecs = false;
};

// Our bitmap handle: it names pixels the caller owns, as an HBITMAP names a GDI bitmap.
// The handle must stay valid until GdipCreateBitmapFromHBITMAP returns, which copies.
using HBITMAP = const QImage*;
using HPALETTE = const void*;

// GDI+ images. A GpBitmap, the only kind this stand-in creates, holds its own copy
// of the pixels; it is made and released only through the functions below.
class GpImage {
  public:
    virtual ~GpImage() = default;
    GpImage(const GpImage&) = delete;
    GpImage& operator=(const GpImage&) = delete;

  protected:
    GpImage() = default;
};

class GpBitmap final : public GpImage {
  public:
    explicit GpBitmap(QImage pixels) : pixels_(std::move(pixels)) {}
    const QImage& pixels() const { return pixels_; }

  private:
    QImage pixels_;
};

// Our stream: the bytes an encoder appends to, as it writes to an IStream.
using IStream = QByteArray;

// The largest side of a JPEG image in pixels (libjpeg's limit; the format's own is 65535).
inline constexpr int kMaxJpegSide = 65500;

// Value types of an encoder parameter, numbered as GDI+ numbers them.
enum EncoderParameterValueType : ULONG {
    EncoderParameterValueTypeByte = 1,
    EncoderParameterValueTypeASCII = 2,
    EncoderParameterValueTypeShort = 3,
    EncoderParameterValueTypeLong = 4,  // 32-bit unsigned
};

struct EncoderParameter {
    GUID Guid;
    ULONG NumberOfValues = 0;
    ULONG Type = 0;
    void* Value = nullptr;
};

// GDI+'s variable-length list; callers with one parameter use it as declared.
struct EncoderParameters {
    UINT Count = 0;
    EncoderParameter Parameter[1];
};

// Starts GDI+ and hands out a token for GdiplusShutdown. Starts may nest; images can
// be created and saved while at least one token is live.
// InvalidParameter for a null token or input, UnsupportedGdiplusVersion for a version
// other than 1.
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);

// Ends the start that gave the token. An unknown token is ignored.
void GdiplusShutdown(ULONG_PTR token);

// Copies the pixels the handle names into a new GDI+ bitmap; the palette must be null.
// GdiplusNotInitialized without a live start; InvalidParameter for a null or empty
// handle or a null result address.
Status GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE hpal, GpBitmap** bitmap);

// Encodes the image with the encoder the CLSID names and writes it to the file
// (NUL-terminated UTF-16 path). Only the JPEG encoder exists; its one parameter is
// EncoderQuality, one EncoderParameterValueTypeLong from 0 to 100 (default 75 when no
// parameters are given). Quality 0 asks for the smallest file: libjpeg's scale starts
// at 1, which is what 0 is encoded with. Pixels with alpha are composed onto white,
// since JPEG keeps no alpha and dropping it would turn transparent pixels black.
//
// The file is written under a temporary name in the target folder and renamed, so a
// failed save leaves neither a partial file nor a damaged older file of that name.
//
// Statuses: GdiplusNotInitialized without a live start; InvalidParameter for a null
// or unknown image, a null file name or encoder, a malformed or unknown parameter or a
// quality above 100; UnknownImageFormat for a CLSID that names no encoder; ValueOverflow for a
// bitmap larger than JPEG can hold (kMaxJpegSide pixels a side); GenericError when the encoder
// fails; Win32Error when the file cannot be created, written or renamed into place (a missing
// folder among them).
Status GdipSaveImageToFile(GpImage* image, const char16_t* filename, const CLSID* clsidEncoder,
                           const EncoderParameters* encoderParams);

// The same encoding, appended to the stream instead of written to a file. Statuses as
// above, without Win32Error; InvalidParameter for a null stream.
Status GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* clsidEncoder,
                             const EncoderParameters* encoderParams);

// Releases an image made by GdipCreateBitmapFromHBITMAP. InvalidParameter for an
// unknown image.
Status GdipDisposeImage(GpImage* image);

// Number of images created and not yet disposed; lets tests see that nothing leaks.
int liveImageCount();

}  // namespace pictrove::gdiplus
