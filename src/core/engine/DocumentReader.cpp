#include "core/engine/DocumentReader.h"

#include "core/formats/doc/DocReader.h"
#include "core/formats/odt/OdtReader.h"
#include "core/formats/ooxml/Package.h"
#include "core/formats/rtf/RtfReader.h"
#include "core/formats/wordxml/WordXmlReader.h"
#include "core/formats/zip/ZipArchive.h"

#include "core/platform/PathText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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

class FormatProbe {
  public:
    explicit FormatProbe(const QByteArray& b) : bytes(b) {}

    const QByteArray& bytes;

    // The zip archive, opened at the first call; null when the bytes are no zip or it
    // cannot be opened (zipStatus and zipWhy then say why).
    ZipArchive* archive() {
        if (!zipTried_ && isZip(bytes)) {
            zipTried_ = true;
            archive_ = ZipArchive::open(bytes, zipStatus, zipWhy);
        }
        return archive_.get();
    }
    std::unique_ptr<ZipArchive> takeArchive() { return std::move(archive_); }

    // The archive's mimetype entry, read at the first call; nullopt when there is none
    // or it cannot be read (mimetypeStatus and mimetypeWhy then say why).
    const std::optional<QByteArray>& mimetype() {
        if (!mimetypeTried_ && archive() && archive()->contains(QStringLiteral("mimetype"))) {
            mimetypeTried_ = true;
            QByteArray m;
            if (archive()->read(QStringLiteral("mimetype"), m, mimetypeStatus, mimetypeWhy))
                mimetype_ = std::move(m);
        }
        return mimetype_;
    }

    // The local name of the XML root element, found at the first call.
    const QByteArray& xmlRoot() {
        if (!rootTried_) {
            rootTried_ = true;
            root_ = xmlRootName(bytes);
        }
        return root_;
    }

    OpenStatus zipStatus = OpenStatus::Ok;
    QString zipWhy;
    OpenStatus mimetypeStatus = OpenStatus::Ok;
    QString mimetypeWhy;

  private:
    bool zipTried_ = false;
    std::unique_ptr<ZipArchive> archive_;
    bool mimetypeTried_ = false;
    std::optional<QByteArray> mimetype_;
    bool rootTried_ = false;
    QByteArray root_;
};

namespace {

const ReadableFormat kReadableFormats[] = {
    {DocumentFormat::Rtf, [](FormatProbe& p) { return startsWith(p.bytes, "{\\rtf"); },
     [](FormatProbe& p) { return readRtf(p.bytes); }},
    {DocumentFormat::Compound, [](FormatProbe& p) { return startsWith(p.bytes, kOle2); },
     [](FormatProbe& p) { return doc::readBinaryDocument(p.bytes); }},
    {DocumentFormat::OoxmlPackage,
     [](FormatProbe& p) {
         return p.archive() && p.archive()->contains(QStringLiteral("[Content_Types].xml"));
     },
     [](FormatProbe& p) { return readOpcPackage(zipPartSource(p.takeArchive())); }},
    {DocumentFormat::OdtPackage,
     [](FormatProbe& p) {
         return p.archive() && !p.archive()->contains(QStringLiteral("[Content_Types].xml")) &&
                p.mimetype() && isOdtMimetype(*p.mimetype());
     },
     [](FormatProbe& p) { return readOdtPackage(p.takeArchive()); }},
    {DocumentFormat::FlatOpc, [](FormatProbe& p) { return p.xmlRoot() == "package"; },
     [](FormatProbe& p) { return readFlatOpc(p.bytes); }},
    {DocumentFormat::WordXml2003, [](FormatProbe& p) { return p.xmlRoot() == "wordDocument"; },
     [](FormatProbe& p) { return readWordXml2003(p.bytes); }},
};

const ReadableFormat* findFormat(FormatProbe& probe) {
    for (const ReadableFormat& f : kReadableFormats) {
        if (f.detect(probe))
            return &f;
    }
    return nullptr;
}

// Why bytes that no reader accepts are no document.
ReadResult notADocument(FormatProbe& probe) {
    if (isZip(probe.bytes)) {
        if (!probe.archive())
            return ReadResult::failure(probe.zipStatus, probe.zipWhy);
        if (!probe.archive()->contains(QStringLiteral("mimetype")))
            return ReadResult::failure(OpenStatus::NotAWordDocument,
                                       QStringLiteral("a zip archive that is no document package"));
        if (!probe.mimetype())
            return ReadResult::failure(probe.mimetypeStatus, probe.mimetypeWhy);
        return ReadResult::failure(
            OpenStatus::NotAWordDocument,
            QStringLiteral("an OpenDocument package of type %1, not a text document")
                .arg(QString::fromUtf8(probe.mimetype()->trimmed().left(100))));
    }
    if (probe.bytes.isEmpty())
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("the file is empty"));
    return ReadResult::failure(OpenStatus::NotAWordDocument,
                               QStringLiteral("the file is in no format a word processor opens"));
}

}  // namespace

std::span<const ReadableFormat> readableFormats() {
    return kReadableFormats;
}

DocumentFormat sniffDocumentFormat(const QByteArray& bytes) {
    FormatProbe probe(bytes);
    if (const ReadableFormat* f = findFormat(probe))
        return f->format;
    return isZip(bytes) ? DocumentFormat::Zip : DocumentFormat::Unknown;
}

ReadResult readDocument(const QByteArray& bytes) {
    FormatProbe probe(bytes);
    if (const ReadableFormat* f = findFormat(probe))
        return f->read(probe);
    return notADocument(probe);
}

ReadResult readDocumentFile(const QString& path) {
    // Opened first and then asked what it is, so that a link counts as what it leads to;
    // without blocking, so that a pipe with no writer cannot hold the run.
    const int fd = ::open(platform::pathToNative(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int why = errno;
        if (why == ENOENT || why == ENOTDIR)
            return ReadResult::failure(OpenStatus::FileNotFound, QStringLiteral("no such file"));
        return ReadResult::failure(OpenStatus::Unreadable,
                                   QString::fromLocal8Bit(std::strerror(why)));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } const closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return ReadResult::failure(OpenStatus::Unreadable,
                                   QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode))
        return ReadResult::failure(OpenStatus::Unreadable, QStringLiteral("a folder, not a file"));
    if (!S_ISREG(st.st_mode))
        return ReadResult::failure(OpenStatus::Unreadable, QStringLiteral("not a regular file"));
    if (st.st_size > kMaxDocumentBytes)
        return ReadResult::failure(
            OpenStatus::TooLarge,
            QStringLiteral("the file is larger than %1 bytes").arg(kMaxDocumentBytes));
    // No more than the size found now: a file that grows meanwhile is read as it was.
    QByteArray bytes(qsizetype(st.st_size), Qt::Uninitialized);
    qsizetype have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ReadResult::failure(OpenStatus::Unreadable,
                                       QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            break;  // it shrank
        have += n;
    }
    bytes.truncate(have);
    return readDocument(bytes);
}

}  // namespace pictrove::word
