#include "platform/word/RtfReader.h"

namespace pictrove::word {

ReadResult readRtf(QByteArrayView) {
    return ReadResult::failure(OpenStatus::NotAWordDocument,
                               QStringLiteral("RTF documents are not read yet"));
}

}  // namespace pictrove::word
