#include "core/formats/ooxml/Package.h"

#include "core/formats/xml/MainText.h"
#include "core/formats/xml/XmlUtil.h"

#include <QHash>
#include <QUrl>

#include <sstream>

namespace pictrove::word {

namespace {

using xml::attr;
using xml::child;
using xml::is;

class ZipParts : public PartSource {
  public:
    explicit ZipParts(std::unique_ptr<ZipArchive> archive) : archive_(std::move(archive)) {}

    bool contains(const QString& name) const override { return archive_->contains(name); }
    bool read(const QString& name, QByteArray& out, OpenStatus& status, QString& why) override {
        return archive_->read(name, out, status, why);
    }
    QString contentType(const QString& name) override {
        if (!typesLoaded_)
            loadTypes();
        const QString key = name.toLower();
        if (const auto it = overrides_.constFind(key); it != overrides_.constEnd())
            return *it;
        const qsizetype dot = key.lastIndexOf(u'.');
        return dot < 0 ? QString() : defaults_.value(key.mid(dot + 1));
    }

  private:
    void loadTypes() {
        typesLoaded_ = true;
        QByteArray bytes;
        OpenStatus status;
        QString why;
        if (!archive_->read(QStringLiteral("[Content_Types].xml"), bytes, status, why))
            return;
        pugi::xml_document doc;
        if (!xml::parse(doc, bytes, QStringLiteral("[Content_Types].xml"), why))
            return;
        const pugi::xml_node types = doc.document_element();
        for (pugi::xml_node c = types.first_child(); c; c = c.next_sibling()) {
            if (is(c, "Default"))
                defaults_.insert(xml::qs(attr(c, "Extension")).toLower(),
                                 xml::qs(attr(c, "ContentType")));
            else if (is(c, "Override"))
                overrides_.insert(
                    resolvePartName(QString(), xml::qs(attr(c, "PartName"))).toLower(),
                    xml::qs(attr(c, "ContentType")));
        }
    }

    std::unique_ptr<ZipArchive> archive_;
    bool typesLoaded_ = false;
    QHash<QString, QString> defaults_, overrides_;
};

struct Relationship {
    QString type;
    QString target;  // resolved part name, or the external address
    bool external = false;
};

using Relationships = QHash<QString, Relationship>;

QString relsPartOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) +
           QStringLiteral(".rels");
}

// Reads the relationships of `sourcePart` ("" for the package). A missing
// relationship part gives none; a damaged one fails.
bool readRelationships(PartSource& parts, const QString& sourcePart, Relationships& rels,
                       OpenStatus& status, QString& why) {
    const QString relsName = relsPartOf(sourcePart);
    if (!parts.contains(relsName))
        return true;
    QByteArray bytes;
    if (!parts.read(relsName, bytes, status, why))
        return false;
    pugi::xml_document doc;
    if (!xml::parse(doc, bytes, relsName, why)) {
        status = OpenStatus::Damaged;
        return false;
    }
    for (pugi::xml_node c = doc.document_element().first_child(); c; c = c.next_sibling()) {
        if (!is(c, "Relationship"))
            continue;
        Relationship r;
        r.type = xml::qs(attr(c, "Type"));
        r.external =
            QString::fromUtf8(attr(c, "TargetMode")).compare(u"External", Qt::CaseInsensitive) == 0;
        const QString target = xml::qs(attr(c, "Target"));
        r.target = r.external ? target : resolvePartName(sourcePart, target);
        const QString id = xml::qs(attr(c, "Id"));
        if (!rels.contains(id))
            rels.insert(id, r);
    }
    return true;
}

// Pictures of the main part, reached through its relationships and read from the
// package when a shape is copied.
class RelationshipPictures : public PictureSource {
  public:
    RelationshipPictures(std::shared_ptr<PartSource> parts, Relationships rels)
        : parts_(std::move(parts)), rels_(std::move(rels)) {}

    void attach(Shape& shape, std::string_view key, const picture::Crop& crop) override {
        const QString part = embeddedPart(key);
        if (part.isEmpty())
            return;
        shape.setPictureLoader([parts = parts_, part, crop](QString* why) {
            return readPicture(*parts, part, crop, why);
        });
    }

    picture::Picture load(std::string_view key, const picture::Crop& crop) override {
        const QString part = embeddedPart(key);
        return part.isEmpty() ? picture::Picture() : readPicture(*parts_, part, crop);
    }

  private:
    // The package part a key names; "" for a linked picture or a key that leads nowhere.
    QString embeddedPart(std::string_view key) const {
        const auto it = rels_.constFind(QString::fromUtf8(key.data(), qsizetype(key.size())));
        if (it == rels_.constEnd() || it->external || !parts_->contains(it->target))
            return {};
        return it->target;
    }

    static picture::Picture readPicture(PartSource& parts, const QString& part,
                                        const picture::Crop& crop, QString* why = nullptr) {
        QByteArray bytes;
        OpenStatus status;
        QString readWhy;
        if (!parts.read(part, bytes, status, readWhy)) {
            if (why)
                *why = readWhy;
            return {};
        }
        return picture::Picture::fromEncoded(std::move(bytes), crop, why);
    }

    std::shared_ptr<PartSource> parts_;
    Relationships rels_;
};

bool isWordMainType(const QString& type) {
    static const char* const kTypes[] = {
        "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml",
        "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml",
        "application/vnd.ms-word.document.macroenabled.main+xml",
        "application/vnd.ms-word.template.macroenabledtemplate.main+xml",
    };
    const QString t = type.toLower();
    for (const char* k : kTypes) {
        if (t == QLatin1String(k))
            return true;
    }
    return false;
}

}  // namespace

QString resolvePartName(const QString& sourcePart, const QString& rawTarget) {
    QString target = QUrl::fromPercentEncoding(rawTarget.toUtf8());
    target.replace(u'\\', u'/');
    QStringList out;
    if (!target.startsWith(u'/')) {
        out = sourcePart.split(u'/', Qt::SkipEmptyParts);
        if (!out.isEmpty())
            out.removeLast();  // the source part's own name
    }
    for (const QString& seg : target.split(u'/', Qt::SkipEmptyParts)) {
        if (seg == u".")
            continue;
        if (seg == u"..") {
            if (!out.isEmpty())
                out.removeLast();
            continue;
        }
        out.append(seg);
    }
    return out.join(u'/');
}

std::shared_ptr<PartSource> zipPartSource(std::unique_ptr<ZipArchive> archive) {
    return std::make_shared<ZipParts>(std::move(archive));
}

ReadResult readOpcPackage(const std::shared_ptr<PartSource>& parts) {
    OpenStatus status = OpenStatus::Ok;
    QString why;
    Relationships packageRels;
    if (!parts->contains(QStringLiteral("_rels/.rels")))
        return ReadResult::failure(
            OpenStatus::Damaged, QStringLiteral("the package has no relationships (_rels/.rels)"));
    if (!readRelationships(*parts, QString(), packageRels, status, why))
        return ReadResult::failure(status, why);
    QString mainPart;
    for (const Relationship& r : std::as_const(packageRels)) {
        if (!r.external && r.type.endsWith(QLatin1String("/officeDocument"))) {
            mainPart = r.target;
            break;
        }
    }
    if (mainPart.isEmpty())
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("the package has no main document"));
    const QString type = parts->contentType(mainPart);
    if (!isWordMainType(type)) {
        return ReadResult::failure(
            OpenStatus::NotAWordDocument,
            type.isEmpty()
                ? QStringLiteral("the package's main part %1 has no content type").arg(mainPart)
                : QStringLiteral("the package holds no word-processing document (%1)").arg(type));
    }
    if (!parts->contains(mainPart))
        return ReadResult::failure(
            OpenStatus::Damaged,
            QStringLiteral("the main document part %1 is missing").arg(mainPart));
    QByteArray bytes;
    if (!parts->read(mainPart, bytes, status, why))
        return ReadResult::failure(status, why);
    pugi::xml_document doc;
    if (!xml::parse(doc, bytes, mainPart, why))
        return ReadResult::failure(OpenStatus::Damaged, why);
    bytes = QByteArray();
    const pugi::xml_node root = doc.document_element();
    if (!is(root, "document"))
        return ReadResult::failure(OpenStatus::Damaged,
                                   QStringLiteral("%1 holds no w:document").arg(mainPart));
    Relationships rels;
    if (!readRelationships(*parts, mainPart, rels, status, why))
        return ReadResult::failure(status, why);
    RelationshipPictures pictures(parts, std::move(rels));
    ReadResult result;
    if (!collectMainTextShapes(child(root, "body"), pictures, result.model, why))
        return ReadResult::failure(OpenStatus::Damaged, why);
    return result;
}

// ---- Flat OPC

namespace {

struct StringWriter : pugi::xml_writer {
    QByteArray out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), qsizetype(size));
    }
};

class FlatParts : public PartSource {
  public:
    explicit FlatParts(std::unique_ptr<pugi::xml_document> doc) : doc_(std::move(doc)) {
        for (pugi::xml_node c = doc_->document_element().first_child(); c; c = c.next_sibling()) {
            if (!is(c, "part"))
                continue;
            const QString name = resolvePartName(QString(), xml::qs(attr(c, "name"))).toLower();
            if (!parts_.contains(name))
                parts_.insert(name, c);
        }
    }
    bool contains(const QString& name) const override { return parts_.contains(name.toLower()); }
    bool read(const QString& name, QByteArray& out, OpenStatus& status, QString& why) override {
        const pugi::xml_node part = parts_.value(name.toLower());
        if (!part) {
            status = OpenStatus::Damaged;
            why = QStringLiteral("the part %1 is missing").arg(name);
            return false;
        }
        if (pugi::xml_node data = child(part, "xmlData")) {
            StringWriter w;
            for (pugi::xml_node c = data.first_child(); c; c = c.next_sibling()) {
                if (c.type() == pugi::node_element) {
                    c.print(w, "", pugi::format_raw);
                    break;
                }
            }
            out = std::move(w.out);
            return true;
        }
        if (pugi::xml_node data = child(part, "binaryData")) {
            const char* text = data.child_value();
            const QByteArray::FromBase64Result r =
                QByteArray::fromBase64Encoding(QByteArray(text), QByteArray::Base64Encoding);
            out = r.decoded;
            return true;
        }
        status = OpenStatus::Damaged;
        why = QStringLiteral("the part %1 holds no data").arg(name);
        return false;
    }
    QString contentType(const QString& name) override {
        return xml::qs(attr(parts_.value(name.toLower()), "contentType"));
    }

  private:
    std::unique_ptr<pugi::xml_document> doc_;
    QHash<QString, pugi::xml_node> parts_;
};

}  // namespace

ReadResult readFlatOpc(const QByteArray& bytes) {
    auto doc = std::make_unique<pugi::xml_document>();
    QString why;
    if (!xml::parse(*doc, bytes, QStringLiteral("the XML document"), why))
        return ReadResult::failure(OpenStatus::Damaged, why);
    if (!is(doc->document_element(), "package"))
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("the XML document is no package"));
    return readOpcPackage(std::make_shared<FlatParts>(std::move(doc)));
}

}  // namespace pictrove::word
