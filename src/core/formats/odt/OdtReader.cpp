#include "core/formats/odt/OdtReader.h"

#include "core/formats/xml/MainText.h"
#include "core/formats/xml/XmlUtil.h"
#include "core/model/GroupPicture.h"

#include <QUrl>

#include <cmath>

namespace pictrove::word {

namespace {

using xml::attr;
using xml::child;
using xml::is;
using xml::localName;

// ODF lengths ("2.5cm", "1in", "12pt", "40mm", "100px") in pixels at 96 dpi.
double odfLength(const char* s) {
    QString t = xml::qs(s).trimmed();
    static const struct {
        const char* unit;
        double px;
    } units[] = {{"cm", 96 / 2.54}, {"mm", 9.6 / 2.54}, {"in", 96},
                 {"pt", 96.0 / 72}, {"pc", 16},         {"px", 1}};
    double factor = 1;
    for (const auto& u : units) {
        if (t.endsWith(QLatin1String(u.unit))) {
            t.chop(2);
            factor = u.px;
            break;
        }
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::isfinite(v) ? v * factor : 0;
}

bool isDrawShape(std::string_view ln) {
    static const std::string_view kinds[] = {
        "custom-shape", "rect",      "line",    "ellipse", "circle",          "polygon", "polyline",
        "path",         "connector", "measure", "caption", "regular-polygon", "control"};
    for (std::string_view k : kinds) {
        if (ln == k)
            return true;
    }
    return false;
}

// Formats whose pictures we keep; a frame may offer several images (an SVG first and a
// raster stand-in after it), and StarView metafiles or PDFs are none of ours.
bool usableImageName(const QString& href) {
    const QString lower = href.toLower();
    return !(lower.endsWith(u".svg") || lower.endsWith(u".svm") || lower.endsWith(u".pdf") ||
             lower.endsWith(u".svgz"));
}

class OdtWalker {
  public:
    explicit OdtWalker(std::shared_ptr<ZipArchive> archive) : archive_(std::move(archive)) {}

    bool walk(const pugi::xml_node& n, DocumentModel& model, int depth) {
        if (depth > kMaxXmlDepth)
            return false;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view ln = localName(c);
            if (ln == "frame" || ln == "g" || isDrawShape(ln)) {
                Shape s = ln == "frame" ? frame(c, true) : ln == "g" ? group(c) : Shape{};
                const bool asChar = std::string_view(attr(c, "anchor-type")) == "as-char";
                (asChar ? model.inlineShapes : model.floatingShapes).push_back(std::move(s));
            } else if (ln == "note" || ln == "annotation" || ln == "tracked-changes" ||
                       ln == "text-box") {
                // Notes, comments and change records are not the main text.
            } else if (!walk(c, model, depth + 1)) {
                return false;
            }
        }
        return true;
    }

  private:
    // A package part that a picture href names; "" for a linked (external) picture.
    QString internalPart(const char* href) const {
        QString h = QUrl::fromPercentEncoding(QByteArray(href));
        if (h.contains(u"://") || h.startsWith(u'/') || h.startsWith(u"../"))
            return {};
        while (h.startsWith(u"./"))
            h.remove(0, 2);
        return archive_->contains(h) ? h : QString();
    }

    // The picture of a draw:image (its part, or its inline office:binary-data).
    bool attachImage(const pugi::xml_node& image, Shape& s, bool eager) {
        if (pugi::xml_node data = child(image, "binary-data")) {
            QString why;
            picture::Picture p = picture::Picture::fromEncoded(
                QByteArray::fromBase64(QByteArray(data.child_value())), {}, &why);
            s.setPicture(std::move(p), why);
            return !s.picture().isNull();
        }
        const QString part = internalPart(attr(image, "href"));
        if (part.isEmpty() || !usableImageName(part))
            return false;
        auto read = [archive = archive_, part](QString* why) {
            QByteArray bytes;
            OpenStatus status;
            QString readWhy;
            if (!archive->read(part, bytes, status, readWhy)) {
                if (why)
                    *why = readWhy;
                return picture::Picture();
            }
            return picture::Picture::fromEncoded(std::move(bytes), {}, why);
        };
        if (eager) {
            QString why;
            picture::Picture p = read(&why);
            s.setPicture(std::move(p), why);
        } else {
            s.setPictureLoader(read);
        }
        return true;
    }

    Shape frame(const pugi::xml_node& f, bool lazy) {
        Shape s;
        s.kind = Shape::Kind::Other;
        bool isObject = false;
        for (pugi::xml_node c = f.first_child(); c; c = c.next_sibling()) {
            if (is(c, "object") || is(c, "object-ole"))
                isObject = true;
            else if (is(c, "text-box"))
                s.kind = Shape::Kind::TextBox;
        }
        if (s.kind == Shape::Kind::TextBox)
            return s;
        if (isObject)
            s.kind = Shape::Kind::OleObject;
        for (pugi::xml_node c = f.first_child(); c; c = c.next_sibling()) {
            if (is(c, "image")) {
                if (!isObject)
                    s.kind = Shape::Kind::Picture;
                if (attachImage(c, s, !lazy))
                    break;
            }
        }
        return s;
    }

    Shape group(const pugi::xml_node& g) {
        Shape s;
        s.kind = Shape::Kind::Group;
        QRectF extent;
        groupChildren(g, s.children, extent, 0);
        s.groupExtent = extent;
        return s;
    }

    void groupChildren(const pugi::xml_node& g, std::vector<PlacedPicture>& out, QRectF& extent,
                       int depth) {
        if (depth > 32)
            return;
        for (pugi::xml_node c = g.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view ln = localName(c);
            if (ln == "g") {
                groupChildren(c, out, extent, depth + 1);
                continue;
            }
            if (ln != "frame" && !isDrawShape(ln))
                continue;
            const QRectF r(odfLength(attr(c, "x")), odfLength(attr(c, "y")),
                           odfLength(attr(c, "width")), odfLength(attr(c, "height")));
            extent = extent.isNull() ? r : extent.united(r);
            if (ln == "frame") {
                picture::Picture p = frame(c, false).picture();
                if (!p.isNull())
                    out.push_back({std::move(p), r});
            }
        }
    }

    std::shared_ptr<ZipArchive> archive_;
};

}  // namespace

ReadResult readOdtPackage(std::unique_ptr<ZipArchive> owned) {
    std::shared_ptr<ZipArchive> archive = std::move(owned);
    OpenStatus status;
    QString why;
    QByteArray bytes;
    if (!archive->contains(QStringLiteral("content.xml")))
        return ReadResult::failure(OpenStatus::Damaged, QStringLiteral("content.xml is missing"));
    if (!archive->read(QStringLiteral("content.xml"), bytes, status, why))
        return ReadResult::failure(status, why);
    pugi::xml_document doc;
    if (!xml::parse(doc, bytes, QStringLiteral("content.xml"), why)) {
        // A password-protected package keeps its parts encrypted, as its manifest says.
        QByteArray manifest;
        QString manifestWhy;
        if (archive->contains(QStringLiteral("META-INF/manifest.xml")) &&
            archive->read(QStringLiteral("META-INF/manifest.xml"), manifest, status, manifestWhy) &&
            manifest.contains("encryption-data"))
            return ReadResult::failure(OpenStatus::Encrypted,
                                       QStringLiteral("the document is password-protected"));
        return ReadResult::failure(OpenStatus::Damaged, why);
    }
    bytes = QByteArray();
    const pugi::xml_node root = doc.document_element();
    if (!is(root, "document-content"))
        return ReadResult::failure(OpenStatus::Damaged,
                                   QStringLiteral("content.xml holds no document content"));
    ReadResult result;
    OdtWalker walker(archive);
    if (!walker.walk(child(child(root, "body"), "text"), result.model, 0))
        return ReadResult::failure(
            OpenStatus::Damaged,
            QStringLiteral("the document text nests deeper than %1 levels").arg(kMaxXmlDepth));
    return result;
}

}  // namespace pictrove::word
