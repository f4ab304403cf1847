#include "core/formats/xml/MainText.h"

#include "core/formats/xml/XmlUtil.h"

#include <QRectF>

#include <cmath>
#include <cstdlib>

namespace pictrove::word {

namespace {

using xml::attr;
using xml::child;
using xml::is;
using xml::localName;

// Maps a group's child coordinates into the coordinates of the outermost group.
struct Transform {
    double sx = 1, sy = 1, dx = 0, dy = 0;
    QRectF map(const QRectF& r) const {
        return QRectF(r.x() * sx + dx, r.y() * sy + dy, r.width() * sx, r.height() * sy);
    }
    // This transform after `inner` (inner maps a nested group's space into ours).
    Transform then(const Transform& inner) const {
        return {sx * inner.sx, sy * inner.sy, dx + inner.dx * sx, dy + inner.dy * sy};
    }
};

double number(const char* s, double fallback = 0) {
    if (!s || !*s)
        return fallback;
    char* end = nullptr;
    const double v = std::strtod(s, &end);
    return end == s || !std::isfinite(v) ? fallback : v;
}

// ---- mc:AlternateContent

bool namespaceUnderstood(std::string_view uri) {
    auto starts = [&](std::string_view p) { return uri.substr(0, p.size()) == p; };
    return starts("http://schemas.microsoft.com/office/") ||
           starts("http://schemas.openxmlformats.org/") || starts("http://purl.oclc.org/ooxml/") ||
           starts("urn:schemas-microsoft-com:");
}

// The branch the word processor takes: the first Choice whose required namespaces it
// knows, else the Fallback (null when there is none).
pugi::xml_node chooseAlternative(const pugi::xml_node& ac) {
    for (pugi::xml_node c = ac.first_child(); c; c = c.next_sibling()) {
        if (!is(c, "Choice"))
            continue;
        const QString requires_ = xml::qs(attr(c, "Requires"));
        bool ok = true;
        for (const QString& prefix : requires_.split(u' ', Qt::SkipEmptyParts)) {
            const QByteArray p = prefix.toUtf8();
            if (!namespaceUnderstood(
                    xml::namespaceOf(c, std::string_view(p.constData(), size_t(p.size())))))
                ok = false;
        }
        if (ok)
            return c;
    }
    return child(ac, "Fallback");
}

// ---- DrawingML

picture::Crop srcRectCrop(const pugi::xml_node& blipFill) {
    picture::Crop crop;
    if (pugi::xml_node r = child(blipFill, "srcRect")) {
        crop.left = number(attr(r, "l")) / 100000.0;
        crop.top = number(attr(r, "t")) / 100000.0;
        crop.right = number(attr(r, "r")) / 100000.0;
        crop.bottom = number(attr(r, "b")) / 100000.0;
    }
    return crop;
}

// The blip of a pic:blipFill / a:blipFill and its crop; key "" when there is none or
// it is only linked.
std::string_view blipKey(const pugi::xml_node& blipFill, picture::Crop& crop) {
    const pugi::xml_node blip = child(blipFill, "blip");
    if (!blip)
        return {};
    crop = srcRectCrop(blipFill);
    return attr(blip, "embed");
}

QRectF xfrmRect(const pugi::xml_node& xfrm) {
    const pugi::xml_node off = child(xfrm, "off"), ext = child(xfrm, "ext");
    return QRectF(number(attr(off, "x")), number(attr(off, "y")), number(attr(ext, "cx")),
                  number(attr(ext, "cy")));
}

// ---- VML

QString styleValue(const pugi::xml_node& n, const QString& key) {
    const QString style = xml::qs(attr(n, "style"));
    for (const QString& item : style.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype colon = item.indexOf(u':');
        if (colon > 0 && item.left(colon).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return item.mid(colon + 1).trimmed();
    }
    return {};
}

bool vmlAbsolute(const pugi::xml_node& shape) {
    return styleValue(shape, QStringLiteral("position"))
               .compare(u"absolute", Qt::CaseInsensitive) == 0;
}

double vmlLength(const QString& text) {
    QString t = text.trimmed();
    double factor = 1;
    static const struct {
        const char* unit;
        double px;
    } units[] = {{"pt", 96.0 / 72}, {"in", 96}, {"cm", 96 / 2.54},  {"mm", 9.6 / 2.54},
                 {"px", 1},         {"pc", 16}, {"emu", 1 / 9525.0}};
    for (const auto& u : units) {
        if (t.endsWith(QLatin1String(u.unit), Qt::CaseInsensitive)) {
            t.chop(qsizetype(std::strlen(u.unit)));
            factor = u.px;
            break;
        }
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::isfinite(v) ? v * factor : 0;
}

QRectF vmlRect(const pugi::xml_node& shape) {
    return QRectF(vmlLength(styleValue(shape, QStringLiteral("left"))),
                  vmlLength(styleValue(shape, QStringLiteral("top"))),
                  vmlLength(styleValue(shape, QStringLiteral("width"))),
                  vmlLength(styleValue(shape, QStringLiteral("height"))));
}

// "5243f" is 5243/65536; a plain number is a fraction.
double vmlFraction(const char* s) {
    QString t = xml::qs(s).trimmed();
    if (t.isEmpty())
        return 0;
    double div = 1;
    if (t.endsWith(u'f')) {
        t.chop(1);
        div = 65536;
    } else if (t.endsWith(u'%')) {
        t.chop(1);
        div = 100;
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok && std::isfinite(v) ? v / div : 0;
}

// A prefixed attribute of the given local name (r:id, not a plain id).
const char* prefixedAttr(const pugi::xml_node& n, std::string_view local) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        if (!xml::prefixOf(a.name()).empty() && localName(a) == local)
            return a.value();
    }
    return "";
}

// The picture key of a v:imagedata, v:fill or v:image: relationship id, else src.
std::string_view vmlImageKey(const pugi::xml_node& n) {
    const char* id = prefixedAttr(n, "id");
    if (!*id)
        id = attr(n, "relid");
    if (!*id)
        id = attr(n, "src");
    return id;
}

picture::Crop vmlCrop(const pugi::xml_node& imagedata) {
    picture::Crop c;
    c.left = vmlFraction(attr(imagedata, "cropleft"));
    c.top = vmlFraction(attr(imagedata, "croptop"));
    c.right = vmlFraction(attr(imagedata, "cropright"));
    c.bottom = vmlFraction(attr(imagedata, "cropbottom"));
    return c;
}

bool isVmlShape(const pugi::xml_node& n) {
    if (n.type() != pugi::node_element)
        return false;
    static const std::string_view kinds[] = {"shape",    "rect",  "roundrect", "oval",  "line",
                                             "polyline", "curve", "arc",       "image", "group"};
    const std::string_view ln = localName(n);
    for (std::string_view k : kinds) {
        if (ln == k)
            return true;
    }
    return false;
}

// The picture node of a VML shape: its imagedata, a v:image itself, or a picture fill.
pugi::xml_node vmlPictureNode(const pugi::xml_node& shape) {
    if (pugi::xml_node d = child(shape, "imagedata"))
        return d;
    if (is(shape, "image"))
        return shape;
    if (pugi::xml_node f = child(shape, "fill")) {
        const std::string_view type = attr(f, "type");
        if ((type == "frame" || type == "tile") && !vmlImageKey(f).empty())
            return f;
    }
    return {};
}

class Walker {
  public:
    Walker(PictureSource& pictures, DocumentModel& model) : pictures_(pictures), model_(model) {}

    bool walk(const pugi::xml_node& n, int depth) {
        if (depth > kMaxXmlDepth)
            return false;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            const std::string_view ln = localName(c);
            if (ln == "drawing") {
                drawing(c, false);
            } else if (ln == "pict") {
                vmlContainer(c, false);
            } else if (ln == "object") {
                vmlContainer(c, true);
            } else if (ln == "AlternateContent") {
                if (pugi::xml_node chosen = chooseAlternative(c);
                    chosen && !walk(chosen, depth + 1))
                    return false;
            } else if (ln == "txbxContent" || ln == "hdr" || ln == "ftr" || ln == "footnote" ||
                       ln == "endnote" || ln == "binData") {
                // Not part of the main text.
            } else if (!walk(c, depth + 1)) {
                return false;
            }
        }
        return true;
    }

  private:
    void add(Shape shape, bool floating) {
        (floating ? model_.floatingShapes : model_.inlineShapes).push_back(std::move(shape));
    }

    void drawing(const pugi::xml_node& d, bool ole) {
        for (pugi::xml_node c = d.first_child(); c; c = c.next_sibling()) {
            if (is(c, "inline") || is(c, "anchor")) {
                Shape s = drawingObject(c);
                if (ole)
                    s.kind = Shape::Kind::OleObject;
                add(std::move(s), is(c, "anchor"));
            }
        }
    }

    // wp:inline / wp:anchor
    Shape drawingObject(const pugi::xml_node& container) {
        Shape s;
        const pugi::xml_node data = child(child(container, "graphic"), "graphicData");
        pugi::xml_node obj;
        for (pugi::xml_node c = data.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element) {
                obj = c;
                break;
            }
        }
        if (is(obj, "AlternateContent"))
            obj = chooseAlternative(obj).first_child();
        const std::string_view ln = obj ? localName(obj) : std::string_view();
        if (ln == "pic") {
            s.kind = Shape::Kind::Picture;
            picture::Crop crop;
            const std::string_view key = blipKey(child(obj, "blipFill"), crop);
            if (!key.empty())
                pictures_.attach(s, key, crop);
        } else if (ln == "wsp") {
            const pugi::xml_node blipFill = child(child(obj, "spPr"), "blipFill");
            picture::Crop crop;
            const std::string_view key = blipKey(blipFill, crop);
            if (!key.empty()) {
                s.kind = Shape::Kind::Picture;
                pictures_.attach(s, key, crop);
            } else if (child(obj, "txbx") || child(obj, "linkedTxbx")) {
                s.kind = Shape::Kind::TextBox;
            } else {
                s.kind = Shape::Kind::Other;
            }
        } else if (ln == "wgp" || ln == "wpc") {
            s.kind = Shape::Kind::Group;
            group(obj, s, container);
        } else if (ln == "chart" ||
                   std::string_view(attr(data, "uri")).find("chart") != std::string_view::npos) {
            s.kind = Shape::Kind::Chart;
        } else {
            s.kind = Shape::Kind::Other;
        }
        return s;
    }

    void group(const pugi::xml_node& g, Shape& s, const pugi::xml_node& container) {
        const pugi::xml_node xfrm = child(child(g, "grpSpPr"), "xfrm");
        groupChildren(g, Transform{}, s.children, 0);
        QRectF extent;
        if (pugi::xml_node chExt = child(xfrm, "chExt")) {
            const pugi::xml_node chOff = child(xfrm, "chOff");
            extent = QRectF(number(attr(chOff, "x")), number(attr(chOff, "y")),
                            number(attr(chExt, "cx")), number(attr(chExt, "cy")));
        }
        if (extent.width() <= 0 || extent.height() <= 0) {
            const pugi::xml_node ext = child(container, "extent");
            extent = QRectF(0, 0, number(attr(ext, "cx")), number(attr(ext, "cy")));
            for (const PlacedPicture& p : s.children)
                extent = extent.united(p.rect);
        }
        s.groupExtent = extent;
    }

    void groupChildren(const pugi::xml_node& g, const Transform& t, std::vector<PlacedPicture>& out,
                       int depth) {
        if (depth > 32)
            return;
        for (pugi::xml_node c = g.first_child(); c; c = c.next_sibling()) {
            const std::string_view ln = c.type() == pugi::node_element ? localName(c) : "";
            if (ln == "pic" || ln == "wsp") {
                const pugi::xml_node spPr = child(c, "spPr");
                picture::Crop crop;
                const std::string_view key =
                    blipKey(child(ln == "pic" ? c : spPr, "blipFill"), crop);
                if (key.empty())
                    continue;
                picture::Picture p = pictures_.load(key, crop);
                if (!p.isNull())
                    out.push_back({std::move(p), t.map(xfrmRect(child(spPr, "xfrm")))});
            } else if (ln == "grpSp") {
                const pugi::xml_node xfrm = child(child(c, "grpSpPr"), "xfrm");
                const QRectF r = xfrmRect(xfrm);
                const pugi::xml_node chOff = child(xfrm, "chOff"), chExt = child(xfrm, "chExt");
                const double cw = number(attr(chExt, "cx")), ch = number(attr(chExt, "cy"));
                Transform inner;
                inner.sx = cw > 0 ? r.width() / cw : 1;
                inner.sy = ch > 0 ? r.height() / ch : 1;
                inner.dx = r.x() - number(attr(chOff, "x")) * inner.sx;
                inner.dy = r.y() - number(attr(chOff, "y")) * inner.sy;
                groupChildren(c, t.then(inner), out, depth + 1);
            } else if (ln == "AlternateContent") {
                if (pugi::xml_node chosen = chooseAlternative(c))
                    groupChildren(chosen, t, out, depth + 1);
            }
        }
    }

    // w:pict or w:object: its top-level VML shapes (w:object: the object itself).
    void vmlContainer(const pugi::xml_node& container, bool ole) {
        bool objectAdded = false;
        for (pugi::xml_node c = container.first_child(); c; c = c.next_sibling()) {
            if (ole && objectAdded)
                break;
            if (is(c, "drawing")) {
                drawing(c, ole);
                objectAdded = true;
            } else if (isVmlShape(c)) {
                add(vmlShape(c, ole), vmlAbsolute(c));
                objectAdded = true;
            }
        }
    }

    Shape vmlShape(const pugi::xml_node& shape, bool ole) {
        Shape s;
        if (is(shape, "group")) {
            s.kind = Shape::Kind::Group;
            const QRectF space = vmlCoordSpace(shape);
            s.groupExtent = space;
            vmlGroupChildren(shape, Transform{}, s.children, 0);
            return s;
        }
        if (const pugi::xml_node p = vmlPictureNode(shape)) {
            s.kind = ole ? Shape::Kind::OleObject : Shape::Kind::Picture;
            const picture::Crop crop = is(p, "fill") ? picture::Crop{} : vmlCrop(p);
            pictures_.attach(s, vmlImageKey(p), crop);
        } else if (ole) {
            s.kind = Shape::Kind::OleObject;
        } else if (child(shape, "textbox")) {
            s.kind = Shape::Kind::TextBox;
        } else {
            s.kind = Shape::Kind::Other;
        }
        return s;
    }

    static QRectF vmlCoordSpace(const pugi::xml_node& group) {
        double ox = 0, oy = 0, cw = 1000, ch = 1000;
        const QStringList origin = xml::qs(attr(group, "coordorigin")).split(u',');
        const QStringList size = xml::qs(attr(group, "coordsize")).split(u',');
        if (origin.size() == 2) {
            ox = origin[0].trimmed().toDouble();
            oy = origin[1].trimmed().toDouble();
        }
        if (size.size() == 2) {
            cw = size[0].trimmed().toDouble();
            ch = size[1].trimmed().toDouble();
        }
        if (!(cw > 0) || !(ch > 0)) {
            cw = 1000;
            ch = 1000;
        }
        return QRectF(ox, oy, cw, ch);
    }

    void vmlGroupChildren(const pugi::xml_node& g, const Transform& t,
                          std::vector<PlacedPicture>& out, int depth) {
        if (depth > 32)
            return;
        for (pugi::xml_node c = g.first_child(); c; c = c.next_sibling()) {
            if (!isVmlShape(c))
                continue;
            const QRectF r = vmlRect(c);
            if (is(c, "group")) {
                const QRectF space = vmlCoordSpace(c);
                Transform inner;
                inner.sx = r.width() / space.width();
                inner.sy = r.height() / space.height();
                inner.dx = r.x() - space.x() * inner.sx;
                inner.dy = r.y() - space.y() * inner.sy;
                vmlGroupChildren(c, t.then(inner), out, depth + 1);
            } else if (const pugi::xml_node p = vmlPictureNode(c)) {
                picture::Picture pic =
                    pictures_.load(vmlImageKey(p), is(p, "fill") ? picture::Crop{} : vmlCrop(p));
                if (!pic.isNull())
                    out.push_back({std::move(pic), t.map(r)});
            }
        }
    }

    PictureSource& pictures_;
    DocumentModel& model_;
};

}  // namespace

bool collectMainTextShapes(const pugi::xml_node& body, PictureSource& pictures,
                           DocumentModel& model, QString& why) {
    Walker walker(pictures, model);
    if (!walker.walk(body, 0)) {
        why = QStringLiteral("the document text nests deeper than %1 levels").arg(kMaxXmlDepth);
        return false;
    }
    return true;
}

}  // namespace pictrove::word
