#pragma once

#include "core/model/DocumentModel.h"

#include <QByteArray>
#include <QString>

#include <span>

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

// The bytes of one document and what telling its format apart learnt from them (the
// opened zip, its mimetype, the XML root), so that the reader need not learn it again.
class FormatProbe;

// A format the engine reads: how its bytes are told apart, and how they are read. No two
// entries accept the same bytes.
struct ReadableFormat {
    DocumentFormat format;
    bool (*detect)(FormatProbe& probe);
    ReadResult (*read)(FormatProbe& probe);
};

// Every format the engine reads, each once.
std::span<const ReadableFormat> readableFormats();

// Decides the format from the leading bytes (for zips: from the entry names): the entry
// of readableFormats() that accepts the bytes, else Zip or Unknown.
DocumentFormat sniffDocumentFormat(const QByteArray& bytes);

// Reads a whole document from its bytes with the reader of the format
// sniffDocumentFormat() finds; other bytes fail with the reason they are no document.
ReadResult readDocument(const QByteArray& bytes);

// Reads the file at `path` and then readDocument(). Files larger than
// kMaxDocumentBytes fail with TooLarge before anything is read.
ReadResult readDocumentFile(const QString& path);

inline constexpr qint64 kMaxDocumentBytes = qint64(1) << 30;

}  // namespace pictrove::word
