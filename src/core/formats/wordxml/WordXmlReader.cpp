#include "core/formats/wordxml/WordXmlReader.h"

#include "core/formats/xml/MainText.h"
#include "core/formats/xml/XmlUtil.h"

#include <QHash>

#include <memory>

namespace pictrove::word {

namespace {

using xml::attr;
using xml::is;

picture::Picture decodeBinData(const pugi::xml_node& binData, const picture::Crop& crop,
                               QString* why = nullptr) {
    const QByteArray::FromBase64Result r = QByteArray::fromBase64Encoding(
        QByteArray(binData.child_value()), QByteArray::Base64Encoding);
    return picture::Picture::fromEncoded(r.decoded, crop, why);
}

// Pictures kept as base64 w:binData elements, named ("wordml://03000001.png") by
// v:imagedata's src. Decoded when a shape is copied.
class BinDataPictures : public PictureSource {
  public:
    explicit BinDataPictures(std::shared_ptr<pugi::xml_document> doc) : doc_(std::move(doc)) {
        collect(doc_->document_element(), 0);
    }
    void attach(Shape& shape, std::string_view key, const picture::Crop& crop) override {
        const pugi::xml_node data = find(key);
        if (data)
            shape.setPictureLoader(
                [doc = doc_, data, crop](QString* why) { return decodeBinData(data, crop, why); });
    }
    picture::Picture load(std::string_view key, const picture::Crop& crop) override {
        const pugi::xml_node data = find(key);
        return data ? decodeBinData(data, crop) : picture::Picture();
    }

  private:
    void collect(const pugi::xml_node& n, int depth) {
        if (depth > kMaxXmlDepth)
            return;
        for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element)
                continue;
            if (is(c, "binData")) {
                const QString name = xml::qs(attr(c, "name"));
                if (!byName_.contains(name))
                    byName_.insert(name, c);
            } else {
                collect(c, depth + 1);
            }
        }
    }
    pugi::xml_node find(std::string_view key) const {
        return byName_.value(QString::fromUtf8(key.data(), qsizetype(key.size())));
    }

    std::shared_ptr<pugi::xml_document> doc_;
    QHash<QString, pugi::xml_node> byName_;
};

}  // namespace

ReadResult readWordXml2003(const QByteArray& bytes) {
    auto doc = std::make_shared<pugi::xml_document>();
    QString why;
    if (!xml::parse(*doc, bytes, QStringLiteral("the XML document"), why))
        return ReadResult::failure(OpenStatus::Damaged, why);
    const pugi::xml_node root = doc->document_element();
    if (!is(root, "wordDocument"))
        return ReadResult::failure(OpenStatus::NotAWordDocument,
                                   QStringLiteral("the XML document is no Word document"));
    BinDataPictures pictures(doc);
    ReadResult result;
    if (!collectMainTextShapes(xml::child(root, "body"), pictures, result.model, why))
        return ReadResult::failure(OpenStatus::Damaged, why);
    return result;
}

}  // namespace pictrove::word
