// Zip packages and the OOXML reader. The first byte chooses how the rest is used:
// even: the bytes are a whole package (zip damage, relationships, content types);
// odd: the bytes are word/document.xml inside a valid package with two images, so
// that mutations reach the markup rather than dying on the zip's checksums.
#include "FuzzCommon.h"
#include "support/ZipBuilder.h"

#include "core/engine/DocumentReader.h"

namespace {

QByteArray wrap(const QByteArray& documentXml) {
    static const QByteArray png =
        QByteArray::fromHex("89504e470d0a1a0a0000000d4948445200000002000000030806000000");
    pictrove::test::ZipBuilder zip;
    zip.add(QStringLiteral("[Content_Types].xml"),
            "<Types><Override PartName=\"/word/document.xml\" ContentType=\"application/"
            "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>")
        .add(QStringLiteral("_rels/.rels"),
             "<Relationships><Relationship Id=\"rId1\" Type=\"x/officeDocument\" "
             "Target=\"word/document.xml\"/></Relationships>")
        .add(QStringLiteral("word/_rels/document.xml.rels"),
             "<Relationships><Relationship Id=\"rId1\" Type=\"x/image\" Target=\"media/a.png\"/>"
             "<Relationship Id=\"rId2\" Type=\"x/image\" Target=\"../word/media/b.png\"/>"
             "<Relationship Id=\"rId3\" Type=\"x/image\" Target=\"http://x/\" "
             "TargetMode=\"External\"/></Relationships>")
        .add(QStringLiteral("word/media/a.png"), png)
        .add(QStringLiteral("word/media/b.png"), png)
        .add(QStringLiteral("word/document.xml"), documentXml);
    return zip.build();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    const QByteArray bytes = (data[0] & 1) ? wrap(rest) : rest;
    pictrove::fuzz::touchModel(pictrove::word::readDocument(bytes));
    return 0;
}
