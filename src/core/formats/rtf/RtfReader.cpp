#include "core/formats/rtf/RtfReader.h"

#include "core/bytes/Hex.h"
#include "core/formats/rtf/RtfLexer.h"
#include "core/formats/rtf/RtfPicture.h"

#include <array>
#include <limits>
#include <optional>
#include <vector>

namespace pictrove::word {

namespace {

using bytes::hexValue;

using picture::Crop;
using picture::Picture;
using rtf::PictData;
using rtf::PictResult;
using rtf::PictType;
using rtf::Token;

// Deeper nesting than this is no document Word writes; it only serves to exhaust a
// reader, so it counts as damage.
constexpr int kMaxDepth = 1000;
// Picture data held for one document (decoded hex and \bin bytes together).
constexpr qint64 kMaxPictureBytes = qint64(512) * 1024 * 1024;
// Shape property names and values are short numbers and names; longer text (vertex
// lists, descriptions) is cut, as nothing past this length is looked at.
constexpr qsizetype kMaxPropertyText = 256;

// What a group is, for this reader.
enum class Dest : quint8 {
    Text,       // document text: pictures, shapes and objects in it count
    Skip,       // ignored with everything inside (headers, footnotes, tables, ...)
    Pict,       // a \pict: properties and data of one picture
    Shape,      // \shp or \shpgrp, and its \shpinst
    Prop,       // \sp: one shape property
    PropName,   // \sn
    PropValue,  // \sv
    Object,     // \object: an embedded object
    Pending,    // opened inside a Shape/Prop/PropValue/Object: its first word decides
};

// Where a picture or shape found in a text group belongs.
enum class Sink : quint8 {
    Main,    // the document's own collections
    Object,  // the preview of the innermost open \object
};

struct Frame {
    Dest dest = Dest::Text;
    Dest parent = Dest::Text;  // Pending only: the kind of group it sits in
    Sink sink = Sink::Main;
    int uc = 1;            // \ucN: fallback characters that follow each \uN
    bool fresh = true;     // only control words so far: a destination word may still come
    bool starred = false;  // the last token was \*
};

struct PictBuilder {
    int depth = 0;
    bool toProperty = false;  // inside \sv: the value of the enclosing shape property
    Sink sink = Sink::Main;
    PictData data;
    int pendingNibble = -1;
    bool damaged = false;  // its hex data is broken: the shape keeps no picture
};

struct ShapeBuilder {
    int depth = 0;
    Sink sink = Sink::Main;
    bool child = false;  // a member of an enclosing \shpgrp
    bool group = false;
    std::array<int, 4> bounds{};                  // \shpleft, \shptop, \shpright, \shpbottom
    std::array<std::optional<int>, 4> rel;        // relLeft, relTop, relRight, relBottom
    std::array<std::optional<int>, 4> groupRect;  // groupLeft, groupTop, ...
    std::array<std::optional<double>, 4> crop;    // cropFromLeft, ...Top, ...Right, ...Bottom
    std::optional<PictData> pib;                  // the shape's picture
    std::optional<PictData> fill;                 // a picture fill
    bool hasText = false;
    bool pseudoInline = false;
    int shapeType = -1;
    std::vector<PlacedPicture> children;
};

struct PropBuilder {
    int depth = 0;
    QByteArray name;
    QByteArray value;
    std::optional<PictData> pict;
};

struct ObjectBuilder {
    int depth = 0;
    Sink sink = Sink::Main;
    std::optional<Picture> preview;  // set by the first picture of \result
    bool floating = false;           // the preview was a floating shape
};

// Destinations that hold no main text: their pictures and shapes are not part of the
// document's two collections, or they repeat content held elsewhere.
bool isIgnoredDestination(QByteArrayView w) {
    static constexpr const char* kNames[] = {
        "header",  "headerl",    "headerr",     "headerf",      "footer",    "footerl",
        "footerr", "footerf",    "footnote",    "fonttbl",      "colortbl",  "stylesheet",
        "info",    "annotation", "atnid",       "atnauthor",    "atntime",   "atnicn",
        "atnref",  "atndate",    "atnparent",   "atrfstart",    "atrfend",   "ftnsep",
        "ftnsepc", "ftncn",      "aftnsep",     "aftnsepc",     "aftncn",    "pn",
        "pntext",  "pntxta",     "pntxtb",      "listtext",     "listtable", "listoverridetable",
        "revtbl",  "rsidtbl",    "filetbl",     "template",     "docvar",    "fldinst",
        "shptxt",  "shprslt",    "nonshppict",  "do",           "txe",       "xe",
        "tc",      "tcn",        "rxe",         "nonesttables", "upr",       "sp",
        "sn",      "sv",         "shpinst",     "objdata",      "objclass",  "picprop",
        "blipuid", "background", "listpicture", "xmlnstbl",     "generator", "pgdsctbl",
    };
    for (const char* n : kNames) {
        if (w == QByteArrayView(n))
            return true;
    }
    return false;
}

bool isBlank(QByteArrayView run) {
    for (char c : run) {
        if (c != ' ' && c != '\r' && c != '\n' && c != '\t')
            return false;
    }
    return true;
}

int clampInt(qint64 v) {
    return int(qBound<qint64>(qint64(std::numeric_limits<int>::min()), v,
                              qint64(std::numeric_limits<int>::max())));
}

// Finds the pictures and shapes of an RTF document in one pass over its tokens.
class Reader {
  public:
    explicit Reader(QByteArrayView bytes) : bytes_(bytes), lexer_(bytes) {}

    ReadResult run();

  private:
    int depth() const { return int(frames_.size()) - 1; }
    void fail(OpenStatus status, qsizetype offset, const QString& why);

    void openGroup(const Token& t);
    void closeGroup();
    void onWord(const Token& t);
    void onSymbol(const Token& t);
    void onText(QByteArrayView run, qsizetype offset);
    void onBinary(const Token& t);

    void textWord(Frame& f, QByteArrayView name);
    void pendingWord(Frame& f, QByteArrayView name);
    void pictWord(QByteArrayView name, int param);
    void shapeWord(QByteArrayView name, int param);
    void appendPictureBytes(PictBuilder& p, QByteArrayView bytes, qsizetype offset);
    void appendHex(PictBuilder& p, QByteArrayView run, qsizetype offset);

    void finishPict();
    void finishProp();
    void finishShape();
    void finishObject();
    void deliver(Shape shape, Sink sink, bool floating);

    QByteArrayView bytes_;
    rtf::Lexer lexer_;
    std::vector<Frame> frames_;
    std::vector<PictBuilder> picts_;
    std::vector<ShapeBuilder> shapes_;
    std::vector<PropBuilder> props_;
    std::vector<ObjectBuilder> objects_;
    DocumentModel model_;
    OpenStatus status_ = OpenStatus::Ok;
    QString reason_;
    qint64 pictureBytes_ = 0;
    int fallbackToSkip_ = 0;  // characters still to drop after \uN
    bool rootClosed_ = false;
};

void Reader::fail(OpenStatus status, qsizetype offset, const QString& why) {
    if (status_ != OpenStatus::Ok)
        return;
    status_ = status;
    reason_ = QStringLiteral("RTF at byte %1: %2").arg(offset).arg(why);
}

ReadResult Reader::run() {
    if (!bytes_.startsWith(QByteArrayView("{\\rtf"))) {
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("the data does not start with {\\rtf"));
    }
    while (status_ == OpenStatus::Ok && !rootClosed_) {
        const Token t = lexer_.next();
        switch (t.type) {
            case Token::Type::End:
                // Groups left open at the end are closed, as Word does.
                while (!frames_.empty() && status_ == OpenStatus::Ok)
                    closeGroup();
                rootClosed_ = true;
                break;
            case Token::Type::GroupOpen:
                openGroup(t);
                break;
            case Token::Type::GroupClose:
                fallbackToSkip_ = 0;
                closeGroup();
                rootClosed_ = frames_.empty();
                break;
            case Token::Type::Word:
                onWord(t);
                break;
            case Token::Type::Symbol:
                onSymbol(t);
                break;
            case Token::Type::Text:
                onText(t.text, t.offset);
                break;
            case Token::Type::Binary:
                onBinary(t);
                break;
            case Token::Type::BinaryTooLong:
                fail(OpenStatus::Damaged, t.offset,
                     QStringLiteral("\\bin announces %1 bytes, but only %2 are left")
                         .arg(t.param)
                         .arg(bytes_.size() - t.offset));
                break;
        }
    }
    if (status_ != OpenStatus::Ok)
        return ReadResult::failure(status_, reason_);
    ReadResult result;
    result.model = std::move(model_);
    return result;
}

void Reader::openGroup(const Token& t) {
    fallbackToSkip_ = 0;
    if (int(frames_.size()) >= kMaxDepth) {
        fail(OpenStatus::Damaged, t.offset,
             QStringLiteral("groups are nested deeper than %1 levels").arg(kMaxDepth));
        return;
    }
    Frame f;
    if (!frames_.empty()) {
        Frame& parent = frames_.back();
        parent.fresh = false;
        parent.starred = false;
        f.uc = parent.uc;
        f.sink = parent.sink;
        switch (parent.dest) {
            case Dest::Text:
                f.dest = Dest::Text;
                break;
            case Dest::Shape:
            case Dest::Prop:
            case Dest::PropValue:
            case Dest::Object:
                f.dest = Dest::Pending;
                f.parent = parent.dest;
                break;
            case Dest::Pending:
                // A group before any word: the pending group is nothing we know.
                parent.dest = Dest::Skip;
                f.dest = Dest::Skip;
                break;
            case Dest::Skip:
            case Dest::Pict:
            case Dest::PropName:
                f.dest = Dest::Skip;
                break;
        }
    }
    frames_.push_back(f);
}

void Reader::closeGroup() {
    if (frames_.empty())
        return;
    const int d = depth();
    if (!picts_.empty() && picts_.back().depth == d)
        finishPict();
    else if (!props_.empty() && props_.back().depth == d)
        finishProp();
    else if (!shapes_.empty() && shapes_.back().depth == d)
        finishShape();
    else if (!objects_.empty() && objects_.back().depth == d)
        finishObject();
    frames_.pop_back();
}

void Reader::onWord(const Token& t) {
    if (frames_.empty())
        return;
    Frame& f = frames_.back();
    const QByteArrayView name = t.text;
    const int param = clampInt(t.param);
    if (name == "uc") {
        f.uc = qBound(0, param, 16);
        f.starred = false;
        return;
    }
    if (name == "u") {
        fallbackToSkip_ = f.uc;
        f.starred = false;
        return;
    }
    fallbackToSkip_ = 0;
    switch (f.dest) {
        case Dest::Text:
            textWord(f, name);
            break;
        case Dest::Pending:
            pendingWord(f, name);
            break;
        case Dest::Pict:
            pictWord(name, t.hasParam ? param : 0);
            break;
        case Dest::Shape:
            shapeWord(name, t.hasParam ? param : 0);
            break;
        case Dest::Skip:
        case Dest::Prop:
        case Dest::PropName:
        case Dest::PropValue:
        case Dest::Object:
            break;
    }
    f.starred = false;
}

void Reader::textWord(Frame& f, QByteArrayView name) {
    // Destination words count only at the start of a group, and never turn the
    // document's outermost group into something else.
    if (!f.fresh || frames_.size() == 1)
        return;
    const int d = depth();
    if (name == "pict") {
        f.dest = Dest::Pict;
        PictBuilder p;
        p.depth = d;
        p.sink = f.sink;
        picts_.push_back(std::move(p));
    } else if (name == "shppict") {
        // The real picture: its \pict is read as text content.
    } else if (name == "shp" || name == "shpgrp") {
        f.dest = Dest::Shape;
        ShapeBuilder s;
        s.depth = d;
        s.sink = f.sink;
        s.group = name == "shpgrp";
        shapes_.push_back(std::move(s));
    } else if (name == "object") {
        f.dest = Dest::Object;
        ObjectBuilder o;
        o.depth = d;
        o.sink = f.sink;
        objects_.push_back(std::move(o));
    } else if (f.starred || isIgnoredDestination(name)) {
        f.dest = Dest::Skip;
    }
}

void Reader::pendingWord(Frame& f, QByteArrayView name) {
    const int d = depth();
    f.dest = Dest::Skip;
    switch (f.parent) {
        case Dest::Shape:
            if (name == "shpinst") {
                f.dest = Dest::Shape;
            } else if (name == "sp") {
                f.dest = Dest::Prop;
                PropBuilder p;
                p.depth = d;
                props_.push_back(std::move(p));
            } else if (name == "shp" || name == "shpgrp") {
                f.dest = Dest::Shape;
                ShapeBuilder s;
                s.depth = d;
                s.sink = f.sink;
                s.child = true;
                s.group = name == "shpgrp";
                shapes_.push_back(std::move(s));
            } else if (name == "shptxt" && !shapes_.empty()) {
                shapes_.back().hasText = true;
            }
            break;
        case Dest::Prop:
            if (name == "sn")
                f.dest = Dest::PropName;
            else if (name == "sv")
                f.dest = Dest::PropValue;
            break;
        case Dest::PropValue:
            if (name == "pict") {
                f.dest = Dest::Pict;
                PictBuilder p;
                p.depth = d;
                p.toProperty = true;
                picts_.push_back(std::move(p));
            }
            break;
        case Dest::Object:
            if (name == "result") {
                f.dest = Dest::Text;
                f.sink = Sink::Object;
            }
            break;
        default:
            break;
    }
}

void Reader::pictWord(QByteArrayView name, int param) {
    PictData& p = picts_.back().data;
    struct IntField {
        const char* name;
        int PictData::*field;
    };
    static constexpr IntField kFields[] = {
        {"picw", &PictData::picw},
        {"pich", &PictData::pich},
        {"picwgoal", &PictData::goalw},
        {"pichgoal", &PictData::goalh},
        {"piccropl", &PictData::cropl},
        {"piccropt", &PictData::cropt},
        {"piccropr", &PictData::cropr},
        {"piccropb", &PictData::cropb},
        {"wbmbitspixel", &PictData::bitsPixel},
        {"wbmplanes", &PictData::planes},
        {"wbmwidthbytes", &PictData::widthBytes},
    };
    for (const IntField& field : kFields) {
        if (name == QByteArrayView(field.name)) {
            p.*field.field = param;
            return;
        }
    }
    if (name == "pngblip")
        p.type = PictType::Png;
    else if (name == "jpegblip")
        p.type = PictType::Jpeg;
    else if (name == "emfblip")
        p.type = PictType::Emf;
    else if (name == "wmetafile")
        p.type = PictType::Wmf;
    else if (name == "dibitmap")
        p.type = PictType::Dib;
    else if (name == "wbitmap")
        p.type = PictType::Ddb;
    else if (name == "macpict" || name == "pmmetafile")
        p.type = PictType::Unsupported;
}

void Reader::shapeWord(QByteArrayView name, int param) {
    ShapeBuilder& s = shapes_.back();
    static constexpr const char* kBounds[] = {"shpleft", "shptop", "shpright", "shpbottom"};
    for (int i = 0; i < 4; ++i) {
        if (name == QByteArrayView(kBounds[i])) {
            s.bounds[i] = param;
            return;
        }
    }
}

void Reader::onSymbol(const Token& t) {
    if (frames_.empty())
        return;
    Frame& f = frames_.back();
    if (t.symbol == '*') {
        f.starred = true;
        return;
    }
    f.starred = false;
    if (fallbackToSkip_ > 0 && t.symbol == '\'') {
        --fallbackToSkip_;
        return;
    }
    fallbackToSkip_ = 0;
    // Escaped characters are text where text is collected.
    char c = 0;
    if (t.symbol == '\'' && t.param >= 0)
        c = char(t.param);
    else if (t.symbol == '\\' || t.symbol == '{' || t.symbol == '}')
        c = t.symbol;
    switch (f.dest) {
        case Dest::Text:
            f.fresh = false;
            break;
        case Dest::Pending:
            f.dest = Dest::Skip;
            break;
        case Dest::PropName:
        case Dest::PropValue:
            if (c != 0 && !props_.empty()) {
                QByteArray& target =
                    f.dest == Dest::PropName ? props_.back().name : props_.back().value;
                if (target.size() < kMaxPropertyText)
                    target.append(c);
            }
            break;
        default:
            break;
    }
}

void Reader::onText(QByteArrayView run, qsizetype offset) {
    if (frames_.empty())
        return;
    // Drop the fallback characters of a preceding \uN (CR and LF are no characters).
    while (fallbackToSkip_ > 0 && !run.isEmpty()) {
        if (run.front() != '\r' && run.front() != '\n')
            --fallbackToSkip_;
        run = run.sliced(1);
        ++offset;
    }
    Frame& f = frames_.back();
    switch (f.dest) {
        case Dest::Text:
            if (!isBlank(run))
                f.fresh = false;
            break;
        case Dest::Pending:
            if (!isBlank(run))
                f.dest = Dest::Skip;
            break;
        case Dest::Pict:
            appendHex(picts_.back(), run, offset);
            break;
        case Dest::PropName:
        case Dest::PropValue: {
            if (props_.empty())
                break;
            QByteArray& target =
                f.dest == Dest::PropName ? props_.back().name : props_.back().value;
            for (char c : run) {
                if (target.size() >= kMaxPropertyText)
                    break;
                if (c != '\r' && c != '\n')
                    target.append(c);
            }
            break;
        }
        default:
            break;
    }
}

void Reader::onBinary(const Token& t) {
    if (!frames_.empty() && frames_.back().dest == Dest::Pict)
        appendPictureBytes(picts_.back(), t.text, t.offset);
}

void Reader::appendPictureBytes(PictBuilder& p, QByteArrayView bytes, qsizetype offset) {
    pictureBytes_ += bytes.size();
    if (pictureBytes_ > kMaxPictureBytes) {
        fail(OpenStatus::TooLarge, offset,
             QStringLiteral("the pictures hold more than %1 MiB").arg(kMaxPictureBytes >> 20));
        return;
    }
    p.data.data.append(bytes.data(), bytes.size());
}

void Reader::appendHex(PictBuilder& p, QByteArrayView run, qsizetype offset) {
    for (qsizetype i = 0; i < run.size(); ++i) {
        const char c = run[i];
        const int v = hexValue(c);
        if (v < 0) {
            if (c == ' ' || c == '\r' || c == '\n' || c == '\t')
                continue;
            // One broken picture must not cost the document's other pictures.
            p.damaged = true;
            return;
        }
        if (p.damaged)
            return;
        if (p.pendingNibble < 0) {
            p.pendingNibble = v;
            continue;
        }
        if (++pictureBytes_ > kMaxPictureBytes) {
            fail(OpenStatus::TooLarge, offset + i,
                 QStringLiteral("the pictures hold more than %1 MiB").arg(kMaxPictureBytes >> 20));
            return;
        }
        p.data.data.append(char(p.pendingNibble * 16 + v));
        p.pendingNibble = -1;
    }
}

void Reader::finishPict() {
    PictBuilder p = std::move(picts_.back());
    picts_.pop_back();
    if (p.pendingNibble >= 0 || p.damaged) {
        // Broken hex data (an odd number of digits, a stray byte): the shape is still
        // there and keeps its number, but it has no picture.
        p.data.data.clear();
        p.damaged = true;
    }
    if (p.toProperty) {
        if (!props_.empty())
            props_.back().pict = std::move(p.data);
        return;
    }
    const PictResult r = p.damaged ? PictResult{PictResult::Outcome::Undecodable,
                                                {},
                                                QStringLiteral("the picture's data is damaged")}
                                   : rtf::makePicture(p.data);
    Shape s;
    s.kind =
        r.outcome == PictResult::Outcome::Unsupported ? Shape::Kind::Other : Shape::Kind::Picture;
    s.setPicture(r.picture, r.reason);
    deliver(std::move(s), p.sink, false);
}

void Reader::finishProp() {
    PropBuilder p = std::move(props_.back());
    props_.pop_back();
    if (shapes_.empty())
        return;
    ShapeBuilder& s = shapes_.back();
    const QByteArray name = p.name.trimmed();
    bool ok = false;
    const qint64 number = p.value.trimmed().toLongLong(&ok);
    const int value = ok ? clampInt(number) : 0;

    if (name == "pib") {
        if (p.pict)
            s.pib = std::move(p.pict);
        return;
    }
    if (name == "fillBlip") {
        if (p.pict)
            s.fill = std::move(p.pict);
        return;
    }
    if (!ok)
        return;
    if (name == "fPseudoInline") {
        s.pseudoInline = value != 0;
    } else if (name == "shapeType") {
        s.shapeType = value;
    } else {
        static constexpr const char* kRel[] = {"relLeft", "relTop", "relRight", "relBottom"};
        static constexpr const char* kGroup[] = {"groupLeft", "groupTop", "groupRight",
                                                 "groupBottom"};
        static constexpr const char* kCrop[] = {"cropFromLeft", "cropFromTop", "cropFromRight",
                                                "cropFromBottom"};
        for (int i = 0; i < 4; ++i) {
            if (name == QByteArrayView(kRel[i]))
                s.rel[i] = value;
            else if (name == QByteArrayView(kGroup[i]))
                s.groupRect[i] = value;
            else if (name == QByteArrayView(kCrop[i]))
                s.crop[i] = value / 65536.0;  // 16.16 fixed-point fraction
        }
    }
}

QRectF rectFrom(const std::array<int, 4>& ltrb) {
    return QRectF(QPointF(ltrb[0], ltrb[1]), QPointF(ltrb[2], ltrb[3])).normalized();
}

void Reader::finishShape() {
    ShapeBuilder b = std::move(shapes_.back());
    shapes_.pop_back();

    Shape s;
    if (b.group) {
        s.kind = Shape::Kind::Group;
        if (b.groupRect[0] && b.groupRect[1] && b.groupRect[2] && b.groupRect[3]) {
            s.groupExtent =
                rectFrom({*b.groupRect[0], *b.groupRect[1], *b.groupRect[2], *b.groupRect[3]});
        }
        if (s.groupExtent.isEmpty()) {
            // Without its own coordinates a group spans its children.
            s.groupExtent = QRectF();
            for (const PlacedPicture& c : b.children)
                s.groupExtent = s.groupExtent.united(c.rect);
        }
        s.children = std::move(b.children);
    } else if (b.pib || b.fill) {
        std::optional<Crop> crop;
        if (b.pib && (b.crop[0] || b.crop[1] || b.crop[2] || b.crop[3])) {
            auto part = [](const std::optional<double>& v) { return qMax(0.0, v.value_or(0)); };
            crop = Crop{part(b.crop[0]), part(b.crop[1]), part(b.crop[2]), part(b.crop[3])};
        }
        const PictResult r = rtf::makePicture(b.pib ? *b.pib : *b.fill, crop);
        // A picture we cannot read still makes a shape: Word counts it all the same.
        s.kind = r.outcome == PictResult::Outcome::Unsupported ? Shape::Kind::Other
                                                               : Shape::Kind::Picture;
        s.setPicture(r.picture, r.reason);
    } else if (b.hasText || b.shapeType == 202) {
        s.kind = Shape::Kind::TextBox;
    } else {
        s.kind = Shape::Kind::Other;
    }

    if (b.child) {
        if (shapes_.empty())
            return;
        ShapeBuilder& parent = shapes_.back();
        const QRectF rect = b.rel[0] && b.rel[1] && b.rel[2] && b.rel[3]
                                ? rectFrom({*b.rel[0], *b.rel[1], *b.rel[2], *b.rel[3]})
                                : rectFrom(b.bounds);
        if (s.kind == Shape::Kind::Group) {
            // A nested group's children are placed straight into the outer group.
            const QRectF& inner = s.groupExtent;
            const double sx = inner.width() > 0 ? rect.width() / inner.width() : 1.0;
            const double sy = inner.height() > 0 ? rect.height() / inner.height() : 1.0;
            for (PlacedPicture& c : s.children) {
                const QRectF r = c.rect;
                c.rect = QRectF(rect.left() + (r.left() - inner.left()) * sx,
                                rect.top() + (r.top() - inner.top()) * sy, r.width() * sx,
                                r.height() * sy);
                parent.children.push_back(std::move(c));
            }
        } else if (picture::Picture own = s.picture(); !own.isNull()) {
            parent.children.push_back({std::move(own), rect});
        }
        return;
    }
    deliver(std::move(s), b.sink, !b.pseudoInline);
}

void Reader::finishObject() {
    ObjectBuilder o = std::move(objects_.back());
    objects_.pop_back();
    Shape s;
    s.kind = Shape::Kind::OleObject;
    if (o.preview)
        s.setPicture(*o.preview);
    deliver(std::move(s), o.sink, o.floating);
}

// Hands a finished picture, shape or object to where it was found: the document's
// collections, or the embedded object whose result it is (the first one wins).
void Reader::deliver(Shape shape, Sink sink, bool floating) {
    if (sink == Sink::Object) {
        if (objects_.empty())
            return;
        ObjectBuilder& o = objects_.back();
        if (!o.preview) {
            o.preview = shape.picture();
            o.floating = floating;
        }
        return;
    }
    if (floating)
        model_.floatingShapes.push_back(std::move(shape));
    else
        model_.inlineShapes.push_back(std::move(shape));
}

}  // namespace

ReadResult readRtf(QByteArrayView bytes) {
    return Reader(bytes).run();
}

}  // namespace pictrove::word
