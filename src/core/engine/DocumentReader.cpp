#include "core/engine/DocumentReader.h"

#include "core/formats/doc/DocReader.h"
#include "core/formats/odt/OdtReader.h"
#include "core/formats/ooxml/Package.h"
#include "core/formats/rtf/RtfReader.h"
#include "core/formats/wordxml/WordXmlReader.h"
#include "core/formats/zip/ZipArchive.h"

#include <QFile>
#include <QFileInfo>

namespace pictrove::word {

namespace {

bool startsWith(const QByteArray& b, QByteArrayView sig) {
    return b.size() >= sig.size() && QByteArrayView(b.constData(), sig.size()) == sig;
}

bool isZip(const QByteArray& b) {
    return startsWith(b, "PK\x03\x04") || startsWith(b, "PK\x05\x06");
}

const QByteArrayView kOle2("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

// The XML forms: the local name of the root element, found without a full parse.
// Skips a byte order mark, the declaration, processing instructions, comments and
// a doctype.
QByteArray xmlRootName(const QByteArray& b) {
    qsizetype i = 0;
    const qsizetype n = std::min<qsizetype>(b.size(), 64 * 1024);
    if (startsWith(b, "\xEF\xBB\xBF"))
        i = 3;
    while (i < n) {
        while (i < n && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n'))
            ++i;
        if (i >= n || b[i] != '<')
            return {};
        if (i + 1 < n && (b[i + 1] == '?' || b[i + 1] == '!')) {
            const char* close = b[i + 1] == '!' && b.mid(i, 4) == "<!--" ? "-->" : ">";
            const qsizetype end = b.indexOf(close, i + 2);
            if (end < 0 || end >= n)
                return {};
            i = end + qsizetype(std::strlen(close));
            continue;
        }
        qsizetype j = i + 1;
        while (j < n && b[j] != ' ' && b[j] != '>' && b[j] != '/' && b[j] != '\t' && b[j] != '\r' &&
               b[j] != '\n')
            ++j;
        QByteArray name = b.mid(i + 1, j - i - 1);
        const qsizetype colon = name.lastIndexOf(':');
        return colon >= 0 ? name.mid(colon + 1) : name;
    }
    return {};
}

bool isOdtMimetype(const QByteArray& m) {
    const QByteArray t = m.trimmed();
    return t == "application/vnd.oasis.opendocument.text" ||
           t == "application/vnd.oasis.opendocument.text-template";
}

}  // namespace

DocumentFormat sniffDocumentFormat(const QByteArray& bytes) {
    if (startsWith(bytes, "{\\rtf"))
        return DocumentFormat::Rtf;
    if (startsWith(bytes, kOle2))
        return DocumentFormat::Compound;
    if (isZip(bytes)) {
        OpenStatus status;
        QString why;
        auto archive = ZipArchive::open(bytes, status, why);
        if (!archive)
            return DocumentFormat::Zip;
        if (archive->contains(QStringLiteral("[Content_Types].xml")))
            return DocumentFormat::OoxmlPackage;
        QByteArray mimetype;
        if (archive->contains(QStringLiteral("mimetype")) &&
            archive->read(QStringLiteral("mimetype"), mimetype, status, why) &&
            isOdtMimetype(mimetype))
            return DocumentFormat::OdtPackage;
        return DocumentFormat::Zip;
    }
    const QByteArray root = xmlRootName(bytes);
    if (root == "package")
        return DocumentFormat::FlatOpc;
    if (root == "wordDocument")
        return DocumentFormat::WordXml2003;
    return DocumentFormat::Unknown;
}

ReadResult readDocument(const QByteArray& bytes) {
    if (startsWith(bytes, "{\\rtf"))
        return readRtf(bytes);
    if (startsWith(bytes, kOle2))
        return doc::readBinaryDocument(bytes);
    if (isZip(bytes)) {
        OpenStatus status;
        QString why;
        auto archive = ZipArchive::open(bytes, status, why);
        if (!archive)
            return ReadResult::failure(status, why);
        if (archive->contains(QStringLiteral("[Content_Types].xml")))
            return readOpcPackage(zipPartSource(std::move(archive)));
        QByteArray mimetype;
        if (archive->contains(QStringLiteral("mimetype"))) {
            if (!archive->read(QStringLiteral("mimetype"), mimetype, status, why))
                return ReadResult::failure(status, why);
            if (isOdtMimetype(mimetype))
                return readOdtPackage(std::move(archive));
            return ReadResult::failure(
                OpenStatus::NotAWordDocument,
                QStringLiteral("an OpenDocument package of type %1, not a text document")
                    .arg(QString::fromUtf8(mimetype.trimmed().left(100))));
        }
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("a zip archive that is no document package"));
    }
    const QByteArray root = xmlRootName(bytes);
    if (root == "package")
        return readFlatOpc(bytes);
    if (root == "wordDocument")
        return readWordXml2003(bytes);
    if (bytes.isEmpty())
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("the file is empty"));
    return ReadResult::failure(OpenStatus::NotAWordDocument,
                               QStringLiteral("the file is in no format a word processor opens"));
}

ReadResult readDocumentFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        return ReadResult::failure(OpenStatus::FileNotFound, QStringLiteral("no such file"));
    if (info.isDir())
        return ReadResult::failure(OpenStatus::Unreadable, QStringLiteral("a folder, not a file"));
    if (info.size() > kMaxDocumentBytes)
        return ReadResult::failure(
            OpenStatus::TooLarge,
            QStringLiteral("the file is larger than %1 bytes").arg(kMaxDocumentBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::failure(OpenStatus::Unreadable, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return ReadResult::failure(OpenStatus::Unreadable, file.errorString());
    return readDocument(bytes);
}

}  // namespace pictrove::word
