#pragma once

#include "core/model/DocumentModel.h"

#include <QByteArrayView>

namespace pictrove::word {

// Reads an RTF document (bytes starting with "{\rtf").
ReadResult readRtf(QByteArrayView bytes);

}  // namespace pictrove::word
