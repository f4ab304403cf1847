#pragma once

#include "platform/word/DocumentModel.h"

#include <QByteArray>

namespace pictrove::doc {

// Reads a binary Word document (.doc, .dot: an OLE2 compound file).
word::ReadResult readBinaryDocument(const QByteArray& bytes);

}  // namespace pictrove::doc
