#pragma once

#include "core/picture/PictureStore.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>

#include <functional>
#include <memory>

namespace pictrove::picture {

// The encodings a picture can arrive in. Always decided from the bytes.
enum class Format {
    None,  // no picture
    Png,
    Jpeg,
    Gif,
    Bmp,
    Tiff,
    Emf,
    Wmf,
};

// Lower-case short name as printed by the tools ("png", "jpeg", "emf", ...); "" for None.
QString formatName(Format format);

// Decides the format from the leading bytes (signatures only, nothing decoded).
Format sniffFormat(QByteArrayView bytes);

// Fractions of the stored picture cut away on each side, as a document stores a crop.
// Negative values (padding) count as 0; a crop that leaves nothing is ignored.
struct Crop {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;

    bool isNull() const { return left <= 0 && top <= 0 && right <= 0 && bottom <= 0; }
    bool operator==(const Crop&) const = default;
};

// Whose file form a picture's encoded bytes are in.
enum class FileForm {
    Given,  // as they were handed over: a document's part or BLIP, a file, a picture made
            // in memory
    Made,   // a BMP only by the file header we put in front of a bitmap stored without one
            // (a bare device-independent bitmap, a device-dependent bitmap): that file
            // form is ours, not the document's
};

// Largest picture we agree to decode: width x height x 4 bytes.
inline constexpr qint64 kMaxDecodedBytes = qint64(512) * 1024 * 1024;

// A picture as the clipboard, the picture holders and the picture files know it: a
// raster bitmap or a metafile, kept as its encoded bytes and decoded on demand, so
// that memory grows with the compressed size. The bytes are in the heap or in a
// PictureStore. A default-constructed Picture is null.
class Picture {
  public:
    Picture() = default;

    // Takes encoded bytes (PNG, JPEG, GIF, BMP, TIFF, EMF, WMF). The header is read at
    // once to learn the size; bytes that are no known picture, or whose header is
    // damaged or gives an absurd size, give a null Picture. A device-independent bitmap
    // without its file header (as RTF and OLE previews store one) gets that header and
    // becomes a BMP of FileForm::Made; `form` says whether a reader made the file
    // header itself.
    // *why (when given) receives the reason for a null Picture.
    static Picture fromEncoded(QByteArray bytes, Crop crop = {}, QString* why = nullptr,
                               FileForm form = FileForm::Given);

    // Takes bytes kept in a PictureStore, whose header is read from `head`, their
    // first bytes. A head too short for the header, or bytes that are no picture as
    // they stand (a bare bitmap without file header), give a null Picture. `form` is
    // the one the picture had when its bytes were first taken.
    static Picture fromStored(std::shared_ptr<const PictureStore::Bytes> bytes, QByteArrayView head,
                              Crop crop = {}, FileForm form = FileForm::Given);

    // A picture made in memory (a composed group); stored PNG-encoded.
    static Picture fromImage(const QImage& image);

    // A PNG picture of the given size that is made only when its bytes or its image are
    // first asked for (by `make`, once for all copies); format and size are known at
    // once. `make` gives a null image when there is nothing to draw: the bytes are then
    // empty and the image null.
    static Picture deferred(QSize size, std::function<QImage()> make);

    bool isNull() const { return format_ == Format::None; }
    Format format() const { return format_; }
    bool isMetafile() const { return format_ == Format::Emf || format_ == Format::Wmf; }
    // The encoded bytes (read back from the store for a stored picture; empty when
    // that fails).
    QByteArray encoded() const;
    qint64 encodedSize() const;
    const Crop& crop() const { return crop_; }
    FileForm fileForm() const { return form_; }

    // Size in pixels as previewed and saved: the stored pixel size with the crop
    // applied; for a metafile its frame at 96 dpi.
    QSize size() const;

    // Decodes to an opaque RGB32 image of size(): crop applied, transparency composed
    // onto white, metafiles played. Returns a null image when the bytes cannot be
    // decoded (the reason goes to *error when given).
    QImage toImage(QString* error = nullptr) const;

  private:
    struct Deferred;

    // Format, size and crop from the header at the start of `header`; no bytes yet.
    static Picture fromHeader(QByteArrayView header, Crop crop, QString* why = nullptr);

    QByteArray bytes_;
    std::shared_ptr<const PictureStore::Bytes> stored_;  // instead of bytes_ when set
    std::shared_ptr<Deferred> deferred_;                 // instead of bytes_ when set
    Format format_ = Format::None;
    QSize storedSize_;  // pixel size of the stored picture before the crop
    Crop crop_;
    FileForm form_ = FileForm::Given;
};

}  // namespace pictrove::picture
