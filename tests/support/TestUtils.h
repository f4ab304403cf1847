#pragma once

#include <QString>

namespace pictrove::test {

// The shared corpus of real documents, or "" when this checkout has none beside it.
QString corpusDir();

}  // namespace pictrove::test
