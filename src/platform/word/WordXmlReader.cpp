#include "platform/word/WordXmlReader.h"

namespace pictrove::word {

ReadResult readWordXml2003(const QByteArray&) {
    return ReadResult::failure(OpenStatus::NotAWordDocument,
                               QStringLiteral("Word 2003 XML is not read yet"));
}

}  // namespace pictrove::word
