#include "core/save/Gdiplus.h"

#include "core/bytes/Hex.h"
#include "core/platform/ReplaceFile.h"
#include "core/save/OpaqueImage.h"

#include <QString>

#include <turbojpeg.h>

#include <climits>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>

namespace pictrove::gdiplus {

namespace {

using bytes::hexValue;

// What GDI+ keeps between calls: the live start-up tokens and the images it made.
struct Registry {
    std::mutex mutex;
    std::set<ULONG_PTR> tokens;
    ULONG_PTR nextToken = 1;
    std::unordered_map<const GpImage*, std::unique_ptr<GpImage>> images;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool started(Registry& r) {
    return !r.tokens.empty();
}

// Reads `digits` hex digits at text[pos]; false when one of them is not hex (a NUL
// included, so the text is never read past its end).
bool readHex(const char16_t* text, int pos, int digits, std::uint64_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const int v = hexValue(text[pos + i]);
        if (v < 0) {
            return false;
        }
        value = (value << 4) | std::uint64_t(v);
    }
    return true;
}

// The two identifiers the encoder compares with, parsed once for the process.
CLSID parsed(const char16_t* text) {
    CLSID id;
    CLSIDFromString(text, &id);
    return id;
}
const CLSID& jpegEncoderClsid() {
    static const CLSID id = parsed(kJpegEncoderClsidText);
    return id;
}
const CLSID& encoderQualityGuid() {
    static const CLSID id = parsed(kEncoderQualityText);
    return id;
}

struct TjCompressor {
    tjhandle handle = tjInitCompress();
    ~TjCompressor() {
        if (handle) {
            tjDestroy(handle);
        }
    }
};

struct TjBuffer {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    ~TjBuffer() { tjFree(data); }
};

// Reads the encoder parameters as the JPEG encoder understands them: none, or one
// EncoderQuality of one 32-bit value not above 100.
Status readQuality(const EncoderParameters* params, std::uint32_t& quality) {
    quality = 75;  // GDI+'s JPEG default
    if (!params || params->Count == 0) {
        return Status::Ok;
    }
    if (params->Count > 1) {
        return Status::InvalidParameter;  // the only parameter kept is the quality
    }
    const EncoderParameter& p = params->Parameter[0];
    if (!(p.Guid == encoderQualityGuid()) || p.NumberOfValues != 1 ||
        p.Type != EncoderParameterValueTypeLong || !p.Value) {
        return Status::InvalidParameter;
    }
    quality = *static_cast<const std::uint32_t*>(p.Value);
    return quality <= 100 ? Status::Ok : Status::InvalidParameter;
}

Status encodeJpeg(const QImage& pixels, std::uint32_t quality, TjBuffer& out) {
    if (pixels.width() > kMaxJpegSide || pixels.height() > kMaxJpegSide) {
        return Status::ValueOverflow;
    }
    const QImage rgb = opaqueOnWhite(pixels);
    if (rgb.isNull()) {
        return Status::OutOfMemory;
    }
    TjCompressor compressor;
    if (!compressor.handle) {
        return Status::OutOfMemory;
    }
    // RGB32 keeps 0xffRRGGBB per 32-bit word: B, G, R, X in memory on little-endian.
    const int pixelFormat = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TJPF_BGRX : TJPF_XRGB;
    // libjpeg's quality scale is 1..100 and treats anything lower as 1; TurboJPEG
    // refuses 0, so it is mapped here to what libjpeg would make of it.
    const int jpegQuality = quality < 1 ? 1 : int(quality);
    // One buffer of the worst-case size up front: letting TurboJPEG grow its own
    // buffer reallocates and copies several times and costs a third of the encode.
    // Beyond what tjAlloc can take, TurboJPEG grows the buffer after all.
    int flags = 0;
    const unsigned long worstCase = tjBufSize(rgb.width(), rgb.height(), TJSAMP_420);
    if (worstCase <= static_cast<unsigned long>(INT_MAX)) {
        out.data = tjAlloc(int(worstCase));
        if (!out.data) {
            return Status::OutOfMemory;
        }
        out.size = worstCase;
        flags = TJFLAG_NOREALLOC;
    }
    const int rc = tjCompress2(compressor.handle, rgb.constBits(), rgb.width(),
                               int(rgb.bytesPerLine()), rgb.height(), pixelFormat, &out.data,
                               &out.size, TJSAMP_420, jpegQuality, flags);
    return rc == 0 ? Status::Ok : Status::GenericError;
}

Status writeFile(const QString& path, const TjBuffer& bytes) {
    const QByteArrayView view(reinterpret_cast<const char*>(bytes.data), qsizetype(bytes.size));
    return platform::replaceFile(path, {view}) ? Status::Ok : Status::Win32Error;
}

}  // namespace

HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid) {
    if (!clsid) {
        return CO_E_CLASSSTRING;
    }
    *clsid = CLSID{};
    if (!text) {
        return CO_E_CLASSSTRING;
    }
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: 38 characters, then the terminator.
    // Each check stops at the first character that does not fit, so a short text is
    // never read beyond its NUL.
    static constexpr int kDashes[] = {9, 14, 19, 24};
    if (text[0] != u'{') {
        return CO_E_CLASSSTRING;
    }
    CLSID parsed;
    std::uint64_t v = 0;
    if (!readHex(text, 1, 8, v)) {
        return CO_E_CLASSSTRING;
    }
    parsed.Data1 = std::uint32_t(v);
    if (text[kDashes[0]] != u'-' || !readHex(text, 10, 4, v)) {
        return CO_E_CLASSSTRING;
    }
    parsed.Data2 = std::uint16_t(v);
    if (text[kDashes[1]] != u'-' || !readHex(text, 15, 4, v)) {
        return CO_E_CLASSSTRING;
    }
    parsed.Data3 = std::uint16_t(v);
    if (text[kDashes[2]] != u'-') {
        return CO_E_CLASSSTRING;
    }
    for (int i = 0; i < 2; ++i) {
        if (!readHex(text, 20 + 2 * i, 2, v)) {
            return CO_E_CLASSSTRING;
        }
        parsed.Data4[i] = std::uint8_t(v);
    }
    if (text[kDashes[3]] != u'-') {
        return CO_E_CLASSSTRING;
    }
    for (int i = 0; i < 6; ++i) {
        if (!readHex(text, 25 + 2 * i, 2, v)) {
            return CO_E_CLASSSTRING;
        }
        parsed.Data4[2 + i] = std::uint8_t(v);
    }
    if (text[37] != u'}' || text[38] != u'\0') {
        return CO_E_CLASSSTRING;
    }
    *clsid = parsed;
    return S_OK;
}

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output) {
    Q_UNUSED(output);  // only needed when the background thread is suppressed
    if (!token || !input) {
        return Status::InvalidParameter;
    }
    if (input->GdiplusVersion != 1) {
        return Status::UnsupportedGdiplusVersion;
    }
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    *token = r.nextToken++;
    r.tokens.insert(*token);
    return Status::Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    r.tokens.erase(token);
}

Status GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE hpal, GpBitmap** bitmap) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    if (!started(r)) {
        return Status::GdiplusNotInitialized;
    }
    if (!bitmap || !hbm || hbm->isNull() || hpal) {
        return Status::InvalidParameter;
    }
    auto made = std::make_unique<GpBitmap>(*hbm);  // QImage copies on the caller's next write
    *bitmap = made.get();
    r.images.emplace(made.get(), std::move(made));
    return Status::Ok;
}

namespace {

// Encodes the image as GdipSaveImageToFile and GdipSaveImageToStream promise.
Status encodeImage(GpImage* image, const CLSID* clsidEncoder,
                   const EncoderParameters* encoderParams, TjBuffer& jpeg) {
    QImage pixels;
    {
        Registry& r = registry();
        const std::lock_guard lock(r.mutex);
        if (!started(r)) {
            return Status::GdiplusNotInitialized;
        }
        const auto it = r.images.find(image);
        if (!image || it == r.images.end() || !clsidEncoder) {
            return Status::InvalidParameter;
        }
        pixels = static_cast<const GpBitmap&>(*it->second).pixels();
    }
    if (!(*clsidEncoder == jpegEncoderClsid())) {
        return Status::UnknownImageFormat;
    }
    std::uint32_t quality = 0;
    if (const Status s = readQuality(encoderParams, quality); s != Status::Ok) {
        return s;
    }
    return encodeJpeg(pixels, quality, jpeg);
}

}  // namespace

Status GdipSaveImageToFile(GpImage* image, const char16_t* filename, const CLSID* clsidEncoder,
                           const EncoderParameters* encoderParams) {
    if (!filename) {
        return Status::InvalidParameter;
    }
    TjBuffer jpeg;
    if (const Status s = encodeImage(image, clsidEncoder, encoderParams, jpeg); s != Status::Ok) {
        return s;
    }
    return writeFile(QString::fromUtf16(filename), jpeg);
}

Status GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* clsidEncoder,
                             const EncoderParameters* encoderParams) {
    if (!stream) {
        return Status::InvalidParameter;
    }
    TjBuffer jpeg;
    if (const Status s = encodeImage(image, clsidEncoder, encoderParams, jpeg); s != Status::Ok) {
        return s;
    }
    stream->append(reinterpret_cast<const char*>(jpeg.data), qsizetype(jpeg.size));
    return Status::Ok;
}

Status GdipDisposeImage(GpImage* image) {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    return r.images.erase(image) == 1 ? Status::Ok : Status::InvalidParameter;
}

int liveImageCount() {
    Registry& r = registry();
    const std::lock_guard lock(r.mutex);
    return int(r.images.size());
}

}  // namespace pictrove::gdiplus
