#pragma once

#include "core/picture/Picture.h"

#include <QString>

namespace pictrove::picture {

// Outcome of writing or reading a picture file.
enum class PictureFileStatus {
    Ok,
    NoPicture,    // save: the picture is null, nothing was written
    WriteFailed,  // save: the file cannot be created or written (no file is left behind)
    NotFound,     // load: nothing at the path
    ReadFailed,   // load: the file exists but cannot be read
    NotAPicture,  // load: the bytes are no picture we know, or its header is damaged
    TooLarge,     // load: the file or the picture it holds is beyond our limits
};

// Writes the picture so that loadPicture() gives back the same picture: the same
// encoded bytes, the same crop and the same file form. The encoded bytes are written
// as they are (a bitmap stays a BMP, a PNG stays a PNG, a metafile stays a metafile);
// a crop or a file form of our making is kept in a short trailer after them that
// decoders ignore. The file is written
// whole or not at all. `error`, when given, receives a sentence for people.
PictureFileStatus savePicture(const Picture& picture, const QString& path,
                              QString* error = nullptr);

// Loads a picture written by savePicture(), or any PNG, JPEG, GIF, BMP, TIFF, EMF or
// WMF file (the format is sniffed from the bytes). `out` is set only on Ok.
//
// With a store, the bytes go from the file into the store, copied by the system, and
// `out` keeps them there; a file the store cannot take is read into the heap as
// without one.
PictureFileStatus loadPicture(const QString& path, Picture& out, QString* error = nullptr,
                              PictureStore* store = nullptr);

// Largest picture file loadPicture() reads.
inline constexpr qint64 kMaxPictureFileBytes = qint64(512) * 1024 * 1024;

}  // namespace pictrove::picture
