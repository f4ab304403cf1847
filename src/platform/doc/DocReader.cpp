#include "platform/doc/DocReader.h"

namespace pictrove::doc {

word::ReadResult readBinaryDocument(const QByteArray&) {
    return word::ReadResult::failure(word::OpenStatus::NotAWordDocument,
                                     QStringLiteral("binary Word documents are not read yet"));
}

}  // namespace pictrove::doc
