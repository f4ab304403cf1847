#include "platform/word/OdtReader.h"

namespace pictrove::word {

ReadResult readOdtPackage(std::unique_ptr<ZipArchive>) {
    return ReadResult::failure(OpenStatus::NotAWordDocument, QStringLiteral("ODT is not read yet"));
}

}  // namespace pictrove::word
