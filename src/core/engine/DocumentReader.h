#pragma once

#include "core/model/DocumentModel.h"

#include <QByteArray>
#include <QString>

namespace pictrove::word {

// The document formats the engine tells apart, always from the bytes.
enum class DocumentFormat {
    Unknown,
    OoxmlPackage,  // a zip package with a word-processing main part (.docx .docm .dotx .dotm)
    OdtPackage,    // a zip package of mimetype application/vnd.oasis.opendocument.text(-template)
    FlatOpc,       // one XML file holding the parts of a package (pkg:package)
    WordXml2003,   // Word 2003 XML (w:wordDocument)
    Rtf,           // "{\rtf"
    Compound,      // an OLE2 compound file (binary .doc / .dot)
    Zip,           // a zip that is no package we read
};

// Decides the format from the leading bytes (for zips: from the entry names).
DocumentFormat sniffDocumentFormat(const QByteArray& bytes);

// Reads a whole document from its bytes, whatever its format.
ReadResult readDocument(const QByteArray& bytes);

// Reads the file at `path` and then readDocument(). Files larger than
// kMaxDocumentBytes fail with TooLarge before anything is read.
ReadResult readDocumentFile(const QString& path);

inline constexpr qint64 kMaxDocumentBytes = qint64(1) << 30;

}  // namespace pictrove::word
