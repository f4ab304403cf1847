// The ODT reader. First byte even: the bytes are a whole package; odd: they are
// content.xml inside a valid package that holds two pictures.
#include "FuzzCommon.h"
#include "support/ZipBuilder.h"

#include "core/engine/DocumentReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    QByteArray bytes = rest;
    if (data[0] & 1) {
        static const QByteArray gif = QByteArray::fromHex("47494638396102000300");
        pictrove::test::ZipBuilder zip;
        zip.add(QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text",
                pictrove::test::ZipBuilder::Method::Store)
            .add(QStringLiteral("content.xml"), rest)
            .add(QStringLiteral("Pictures/a.gif"), gif)
            .add(QStringLiteral("Pictures/b.svg"), "<svg/>");
        bytes = zip.build();
    }
    pictrove::fuzz::touchModel(pictrove::word::readDocument(bytes));
    return 0;
}
