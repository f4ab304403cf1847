#pragma once

#include "platform/word/DocumentModel.h"
#include "platform/word/ZipArchive.h"

#include <memory>

namespace pictrove::word {

// Reads an OpenDocument text package (content.xml of an .odt / .ott).
ReadResult readOdtPackage(std::unique_ptr<ZipArchive> archive);

}  // namespace pictrove::word
