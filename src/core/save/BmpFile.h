#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace pictrove::results {

// Outcome of writing or reading a BMP file.
enum class BmpStatus {
    Ok,           // written, or read into an image
    NullImage,    // nothing to write: the image is null
    CannotWrite,  // the file could not be created, written or renamed into place
    CannotRead,   // the file could not be opened or read
    NotBmp,       // no "BM" signature, or fewer bytes than the two headers need
    Unsupported,  // a BMP this reader does not decode: not 24 or 32 bits, compressed, OS/2
    Damaged,      // header values no BMP can have (zero size, pixels inside the header)
    Truncated,    // the pixel rows run past the end of the bytes
    TooLarge,     // more pixels than we agree to hold in memory
};

struct BmpWriteResult {
    BmpStatus status = BmpStatus::Ok;
    QString message;  // for people; empty on success

    bool ok() const { return status == BmpStatus::Ok; }
};

struct BmpReadResult {
    QImage image;  // RGB32, opaque; null unless status is Ok
    BmpStatus status = BmpStatus::Ok;
    QString message;  // for people; empty on success

    bool ok() const { return status == BmpStatus::Ok; }
};

// Writes the image as an uncompressed 24-bit bottom-up BMP (BITMAPINFOHEADER, rows
// padded to four bytes, the image's resolution). Pixels with alpha are composed onto
// white first: BMP keeps no alpha here and transparent pixels must not come out black.
// An existing file is replaced; the file is written under a temporary name and renamed,
// so a failure leaves no partial file.
BmpWriteResult writeBmp(const QImage& image, const QString& path);

// The same file's bytes in memory, in `bytes` (untouched unless the result is Ok).
BmpWriteResult encodeBmp(const QImage& image, QByteArray& bytes);

// Reads an uncompressed 24- or 32-bit BMP with a BITMAPINFOHEADER or a later header,
// bottom-up or top-down (the unused fourth byte of 32-bit pixels is ignored). Other
// BMP kinds give Unsupported, so that a caller may hand them to a general decoder.
BmpReadResult readBmp(const QString& path);

// The same over bytes in memory. Never reads outside `bytes`; every size in the
// headers is checked against the bytes that are there before anything is allocated.
BmpReadResult decodeBmp(QByteArrayView bytes);

}  // namespace pictrove::results
