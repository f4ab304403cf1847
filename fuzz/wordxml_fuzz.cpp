// The single-file XML forms: Word 2003 XML and Flat OPC (and the sniffing of both).
#include "FuzzCommon.h"

#include "core/engine/DocumentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)pictrove::word::sniffDocumentFormat(bytes);
    pictrove::fuzz::touchModel(pictrove::word::readDocument(bytes));
    return 0;
}
