#include "support/TestDocuments.h"

#include "support/ZipBuilder.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>

namespace pictrove::test {

QByteArray encodeImage(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

namespace {

const char kTransitionalW[] = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char kStrictW[] = "http://purl.oclc.org/ooxml/wordprocessingml/main";
const char kTransitionalRel[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char kStrictRel[] = "http://purl.oclc.org/ooxml/officeDocument/relationships";

QString relationshipsXml(const DocxPackage& pkg) {
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">");
    const QString base = QLatin1String(pkg.strict ? kStrictRel : kTransitionalRel);
    for (const PackagePart& p : pkg.parts) {
        xml += QStringLiteral("<Relationship Id=\"%1\" Type=\"%2/%3\" Target=\"%4\"%5/>")
                   .arg(p.relId, base, p.type, p.target.toHtmlEscaped(),
                        p.external ? QStringLiteral(" TargetMode=\"External\"") : QString());
    }
    return xml + QStringLiteral("</Relationships>");
}

QString packageRelsXml(const DocxPackage& pkg) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<Relationships "
               "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
               "<Relationship Id=\"rId1\" Type=\"%1/officeDocument\" Target=\"word/document.xml\"/>"
               "</Relationships>")
        .arg(QLatin1String(pkg.strict ? kStrictRel : kTransitionalRel));
}

QString contentTypesXml(const DocxPackage& pkg) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
               "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
               "<Default Extension=\"rels\" "
               "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
               "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
               "<Default Extension=\"png\" ContentType=\"image/png\"/>"
               "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
               "<Override PartName=\"/word/document.xml\" ContentType=\"%1\"/>"
               "</Types>")
        .arg(pkg.mainContentType);
}

}  // namespace

QByteArray pngBytes(QSize size, QColor color, bool withAlpha) {
    QImage image(size, withAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(color);
    return encodeImage(image, "PNG");
}

QByteArray jpegBytes(QSize size, QColor color) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return encodeImage(image, "JPEG");
}

QString inlinePictureXml(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:drawing><wp:inline><a:graphic><a:graphicData><pic:pic><pic:blipFill>"
               "<a:blip r:embed=\"%1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
               "</wp:inline></w:drawing></w:r></w:p>")
        .arg(rel);
}

QString pictureGroupXml(const std::vector<GroupMember>& members, QSize extent) {
    QString pictures;
    for (const GroupMember& m : members) {
        pictures += QStringLiteral(
                        "<pic:pic><pic:blipFill><a:blip r:embed=\"%1\"/></pic:blipFill><pic:spPr>"
                        "<a:xfrm><a:off x=\"%2\" y=\"%3\"/><a:ext cx=\"%4\" cy=\"%5\"/></a:xfrm>"
                        "</pic:spPr></pic:pic>")
                        .arg(m.relId)
                        .arg(m.place.x())
                        .arg(m.place.y())
                        .arg(m.place.width())
                        .arg(m.place.height());
    }
    return QStringLiteral(
               "<w:p><w:r><w:drawing><wp:anchor><wp:extent cx=\"%1\" cy=\"%2\"/><a:graphic>"
               "<a:graphicData "
               "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\">"
               "<wpg:wgp><wpg:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"%1\" "
               "cy=\"%2\"/><a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"%1\" cy=\"%2\"/></a:xfrm>"
               "</wpg:grpSpPr>%3</wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing>"
               "</w:r></w:p>")
        .arg(extent.width())
        .arg(extent.height())
        .arg(pictures);
}

QString documentXml(const DocxPackage& pkg) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
               "<w:document xmlns:w=\"%1\" xmlns:r=\"%2\""
               " xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/"
               "wordprocessingDrawing\""
               " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\""
               " xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\""
               " xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\""
               " xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\""
               " xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\""
               " xmlns:v=\"urn:schemas-microsoft-com:vml\" "
               "xmlns:o=\"urn:schemas-microsoft-com:office:office\""
               " xmlns:x=\"urn:example:unknown\">"
               "<w:body>%3</w:body></w:document>")
        .arg(QLatin1String(pkg.strict ? kStrictW : kTransitionalW),
             QLatin1String(pkg.strict ? kStrictRel : kTransitionalRel), pkg.body);
}

QByteArray makeDocx(const DocxPackage& pkg) {
    ZipBuilder zip;
    zip.add(QStringLiteral("[Content_Types].xml"), contentTypesXml(pkg).toUtf8())
        .add(QStringLiteral("_rels/.rels"), packageRelsXml(pkg).toUtf8())
        .add(QStringLiteral("word/document.xml"), documentXml(pkg).toUtf8())
        .add(QStringLiteral("word/_rels/document.xml.rels"), relationshipsXml(pkg).toUtf8());
    for (const PackagePart& p : pkg.parts) {
        if (!p.external && !p.bytes.isNull())
            zip.add(QStringLiteral("word/") + p.target, p.bytes, ZipBuilder::Method::Store);
    }
    return zip.build();
}

QByteArray makeFlatOpc(const DocxPackage& pkg) {
    auto xmlPart = [](const QString& name, const QString& type, QString xml) {
        xml.remove(QRegularExpression(QStringLiteral("^<\\?xml[^>]*\\?>")));
        return QStringLiteral(
                   "<pkg:part pkg:name=\"%1\" "
                   "pkg:contentType=\"%2\"><pkg:xmlData>%3</pkg:xmlData></pkg:part>")
            .arg(name, type, xml);
    };
    QString out = QStringLiteral(
        "<?xml version=\"1.0\" standalone=\"yes\"?><?mso-application progid=\"Word.Document\"?>"
        "<pkg:package xmlns:pkg=\"http://schemas.microsoft.com/office/2006/xmlPackage\">");
    const QString relsType =
        QStringLiteral("application/vnd.openxmlformats-package.relationships+xml");
    out += xmlPart(QStringLiteral("/_rels/.rels"), relsType, packageRelsXml(pkg));
    out += xmlPart(QStringLiteral("/word/document.xml"), pkg.mainContentType, documentXml(pkg));
    out +=
        xmlPart(QStringLiteral("/word/_rels/document.xml.rels"), relsType, relationshipsXml(pkg));
    for (const PackagePart& p : pkg.parts) {
        if (p.external || p.bytes.isNull())
            continue;
        out += QStringLiteral(
                   "<pkg:part pkg:name=\"/word/%1\" pkg:contentType=\"image/png\" "
                   "pkg:compression=\"store\"><pkg:binaryData>%2</pkg:binaryData></pkg:part>")
                   .arg(p.target, QString::fromLatin1(p.bytes.toBase64()));
    }
    return (out + QStringLiteral("</pkg:package>")).toUtf8();
}

QString binData(const QString& name, const QByteArray& bytes) {
    return QStringLiteral("<w:binData w:name=\"%1\">%2</w:binData>")
        .arg(name, QString::fromLatin1(bytes.toBase64()));
}

QByteArray makeWord2003(const QString& body) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
               "<?mso-application progid=\"Word.Document\"?>"
               "<w:wordDocument xmlns:w=\"http://schemas.microsoft.com/office/word/2003/wordml\""
               " xmlns:v=\"urn:schemas-microsoft-com:vml\" "
               "xmlns:o=\"urn:schemas-microsoft-com:office:office\">"
               "<w:body>%1</w:body></w:wordDocument>")
        .arg(body)
        .toUtf8();
}

QByteArray makeOdt(const QString& text, const std::vector<OdtFile>& files) {
    const QString content =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
            "<office:document-content "
            "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
            " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
            " xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\""
            " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
            " xmlns:xlink=\"http://www.w3.org/1999/xlink\" office:version=\"1.2\">"
            "<office:body><office:text>%1</office:text></office:body></office:document-content>")
            .arg(text);
    ZipBuilder zip;
    zip.add(QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text",
            ZipBuilder::Method::Store)
        .add(QStringLiteral("content.xml"), content.toUtf8());
    for (const OdtFile& f : files)
        zip.add(f.name, f.bytes, ZipBuilder::Method::Store);
    return zip.build();
}

}  // namespace pictrove::test
