#pragma once

#include "core/formats/zip/ZipArchive.h"
#include "core/model/DocumentModel.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace pictrove::word {

// The parts of an Open Packaging Conventions package, wherever they are kept: a zip
// archive, or the pkg:part elements of a Flat OPC file. Part names are given without
// the leading "/" and match without regard to case.
class PartSource {
  public:
    virtual ~PartSource() = default;
    virtual bool contains(const QString& partName) const = 0;
    // Reads a part whole; on failure sets `status` and `why`.
    virtual bool read(const QString& partName, QByteArray& out, OpenStatus& status,
                      QString& why) = 0;
    // The part's content type ("" when the package does not say).
    virtual QString contentType(const QString& partName) = 0;
};

// A package kept in a zip archive; content types come from [Content_Types].xml.
std::shared_ptr<PartSource> zipPartSource(std::unique_ptr<ZipArchive> archive);

// Reads a word-processing package: the main document part (found through the package
// relationships) and the pictures of its main text.
ReadResult readOpcPackage(const std::shared_ptr<PartSource>& parts);

// A Flat OPC document (pkg:package): the same reader over its pkg:part elements.
ReadResult readFlatOpc(const QByteArray& bytes);

// Resolves a relationship target against the part that holds the relationship
// ("word/document.xml" + "media/a.png" -> "word/media/a.png"; "/x" is absolute).
QString resolvePartName(const QString& sourcePart, const QString& target);

}  // namespace pictrove::word
