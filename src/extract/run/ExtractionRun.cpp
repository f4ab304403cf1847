#include "extract/run/ExtractionRun.h"

#include "shell/Form1.h"

namespace pictrove::extract {

void StartExtractingImages(shell::Form1&) {}

}  // namespace pictrove::extract
