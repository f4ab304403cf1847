#pragma once

#include "core/formats/zip/ZipArchive.h"
#include "core/model/DocumentModel.h"

#include <memory>

namespace pictrove::word {

// Reads an OpenDocument text package (content.xml of an .odt / .ott).
ReadResult readOdtPackage(std::unique_ptr<ZipArchive> archive);

}  // namespace pictrove::word
