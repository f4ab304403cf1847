#pragma once

#include "core/model/DocumentModel.h"

#include <QByteArray>

namespace pictrove::word {

// Reads a Word 2003 XML document (w:wordDocument): VML pictures whose v:imagedata
// names a base64 w:binData part.
ReadResult readWordXml2003(const QByteArray& bytes);

}  // namespace pictrove::word
