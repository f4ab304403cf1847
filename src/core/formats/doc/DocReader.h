#pragma once

#include "core/formats/doc/WordStructures.h"
#include "core/model/DocumentModel.h"

#include <QByteArray>
#include <QRectF>

#include <vector>

namespace pictrove::doc {

// Reads a binary Word document (.doc, .dot: an OLE2 compound file).
word::ReadResult readBinaryDocument(const QByteArray& bytes);

// A picture as the document stores it, before anything is decoded: encoded bytes
// (PNG, JPEG, BMP, TIFF, EMF, WMF with placeable header; empty when there is none)
// and the crop that the document applies. A DIB's file header is the reader's: its
// form is then FileForm::Made.
struct StoredPicture {
    QByteArray bytes;
    picture::Crop crop;
    picture::FileForm form = picture::FileForm::Given;
};

// A shape of one of the two collections, its pictures still encoded.
struct StoredShape {
    word::Shape::Kind kind = word::Shape::Kind::Other;
    StoredPicture picture;  // Picture, OleObject
    struct Child {
        StoredPicture picture;
        QRectF rect;  // in groupExtent coordinates
    };
    std::vector<Child> children;  // Group: its picture members, nested groups flattened
    QRectF groupExtent;
};

struct StoredDocument {
    std::vector<StoredShape> inlineShapes;    // in CP order
    std::vector<StoredShape> floatingShapes;  // in anchor (CP) order
};

// The structural half of readBinaryDocument: everything except reading the pictures'
// own headers. Failures carry the same status and reason readBinaryDocument gives.
Parsed<StoredDocument> scanBinaryDocument(const QByteArray& bytes);

// The inline shape whose picture descriptor sits at location in the Data stream.
StoredShape readInlineShape(QByteArrayView dataStream, quint32 location, const CharProps& props);

}  // namespace pictrove::doc
