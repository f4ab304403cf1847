#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

// Documents built in memory for the engine's tests: the markup of the main text is
// given, the package around it is made here.
namespace pictrove::test {

// The image in a file format Qt writes ("PNG", "JPEG", "BMP", ...).
QByteArray encodeImage(const QImage& image, const char* format);
QByteArray pngBytes(QSize size, QColor color, bool withAlpha = false);
QByteArray jpegBytes(QSize size, QColor color);

// A part of a package (an image, a chart, ...) and the relationship that the main
// document part uses to reach it.
struct PackagePart {
    QString relId;   // "rId5"
    QString target;  // relative to word/ ("media/image1.png"); for external links the URL
    QByteArray bytes;
    bool external = false;
    QString type = QStringLiteral("image");  // last segment of the relationship type
};

struct DocxPackage {
    QString body;  // the content of w:body
    std::vector<PackagePart> parts;
    bool strict = false;  // Strict namespaces and relationship types
    QString mainContentType = QStringLiteral(
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
};

// A paragraph holding one inline picture that refers to the relationship `rel`.
QString inlinePictureXml(const QString& rel);

// A picture of a drawing group: its relationship and its place in the group's units.
struct GroupMember {
    QString relId;
    QRect place;
};
// A paragraph holding a floating drawing group of pictures whose own units are the
// EMUs of its extent (chOff 0, 0; chExt = extent).
QString pictureGroupXml(const std::vector<GroupMember>& members, QSize extent);

// The document.xml text of a pkg (root element with the usual namespace declarations).
QString documentXml(const DocxPackage& pkg);
QByteArray makeDocx(const DocxPackage& pkg);
QByteArray makeFlatOpc(const DocxPackage& pkg);

// Word 2003 XML: `body` may use w:binData elements made by binData().
QByteArray makeWord2003(const QString& body);
QString binData(const QString& name, const QByteArray& bytes);

// An ODT with the given office:text content and files (name -> bytes) in the package.
struct OdtFile {
    QString name;
    QByteArray bytes;
};
QByteArray makeOdt(const QString& text, const std::vector<OdtFile>& files);

}  // namespace pictrove::test
