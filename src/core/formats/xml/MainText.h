#pragma once

#include "core/model/DocumentModel.h"

#include <pugixml.hpp>

#include <string_view>

namespace pictrove::word {

// Where the pictures of a WordprocessingML body come from: a package's relationships
// (r:embed, r:id, o:relid) or, in Word 2003 XML, w:binData parts named by v:imagedata's
// src. `key` is whichever the markup gives.
class PictureSource {
  public:
    virtual ~PictureSource() = default;
    // Gives `shape` its picture (Shape::setPicture or Shape::setPictureLoader); leaves it null
    // for a linked (external) picture or a key that leads nowhere.
    virtual void attach(Shape& shape, std::string_view key, const picture::Crop& crop) = 0;
    // The picture now, for group children.
    virtual picture::Picture load(std::string_view key, const picture::Crop& crop) = 0;
};

// Walks the main text of a WordprocessingML body (w:body: paragraphs, tables, content
// controls, ...) in document order and collects its shapes: DrawingML inline/anchor
// objects, VML pictures and shapes, OLE objects; mc:AlternateContent counted once
// (the first Choice the reader understands, else the Fallback). Text-box content,
// headers, footers and notes found on the way are not part of the main text and are
// skipped. Returns false (with `why`) when the markup nests beyond our depth limit.
bool collectMainTextShapes(const pugi::xml_node& body, PictureSource& pictures,
                           DocumentModel& model, QString& why);

inline constexpr int kMaxXmlDepth = 256;

}  // namespace pictrove::word
