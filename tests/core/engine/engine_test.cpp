// The document engine over documents built in memory: which objects each collection
// holds, in which order, and what a copy puts on the clipboard.

#include "support/TestDocuments.h"
#include "support/ZipBuilder.h"

#include "core/engine/Application.h"
#include "core/engine/DocumentReader.h"
#include "core/picture/Clipboard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using pictrove::test::PackagePart;
using Kind = word::Shape::Kind;

namespace {

const QByteArray kRed = test::pngBytes({40, 30}, Qt::red);
const QByteArray kBlue = test::jpegBytes({50, 20}, Qt::blue);
const QByteArray kGreen = test::pngBytes({10, 10}, Qt::green);
const QByteArray kOle = test::pngBytes({7, 5}, Qt::yellow);

QString inlinePic(const QString& rel, const QString& srcRect = {}) {
    return QStringLiteral(
               "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"100\" cy=\"100\"/><a:graphic>"
               "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
               "<pic:pic><pic:blipFill><a:blip r:embed=\"%1\"/>%2<a:stretch/></pic:blipFill>"
               "<pic:spPr/></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></"
               "w:p>")
        .arg(rel, srcRect);
}

QString anchoredPic(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:drawing><wp:anchor><wp:extent cx=\"100\" cy=\"100\"/><a:graphic>"
               "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
               "<pic:pic><pic:blipFill><a:blip r:embed=\"%1\"/></pic:blipFill></pic:pic>"
               "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>")
        .arg(rel);
}

QString groupOfTwo(const QString& left, const QString& right) {
    return test::pictureGroupXml({{left, QRect(0, 0, 100, 100)}, {right, QRect(100, 0, 100, 100)}},
                                 QSize(200, 100));
}

QString textBoxWithPicture(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:drawing><wp:anchor><a:graphic><a:graphicData "
               "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp>"
               "<wps:spPr/><wps:txbx><w:txbxContent>%1</w:txbxContent></wps:txbx></wps:wsp>"
               "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r></w:p>")
        .arg(inlinePic(rel));
}

// One of every kind of object, with what each collection must then hold.
test::DocxPackage richDocument(bool strict) {
    test::DocxPackage pkg;
    pkg.strict = strict;
    pkg.parts = {{QStringLiteral("rId1"), QStringLiteral("media/red.png"), kRed},
                 {QStringLiteral("rId2"), QStringLiteral("media/blue.jpeg"), kBlue},
                 {QStringLiteral("rId3"), QStringLiteral("media/green.png"), kGreen},
                 {QStringLiteral("rId4"), QStringLiteral("media/ole.png"), kOle},
                 {QStringLiteral("rId9"), QStringLiteral("http://example.com/x.png"), {}, true}};
    pkg.body =
        // inline 1: a cropped picture (25% off the left)
        inlinePic(QStringLiteral("rId1"), QStringLiteral("<a:srcRect l=\"25000\"/>")) +
        // floating 1
        anchoredPic(QStringLiteral("rId2")) +
        // inline 2: inline VML, cropped a quarter at the top
        QStringLiteral(
            "<w:p><w:r><w:pict><v:shapetype id=\"_x0000_t75\"/><v:shape style=\"width:10pt;"
            "height:10pt\"><v:imagedata r:id=\"rId3\" croptop=\"16384f\"/></v:shape>"
            "</w:pict></w:r></w:p>") +
        // inline 3: an OLE object's preview
        QStringLiteral(
            "<w:p><w:r><w:object><v:shape style=\"width:7pt;height:5pt\"><v:imagedata "
            "r:id=\"rId4\"/></v:shape><o:OLEObject Type=\"Embed\" ProgID=\"Package\"/>"
            "</w:object></w:r></w:p>") +
        // floating 2: a group of two pictures
        groupOfTwo(QStringLiteral("rId1"), QStringLiteral("rId3")) +
        // floating 3: AlternateContent, the Choice counted, the Fallback not
        QStringLiteral(
            "<w:p><w:r><mc:AlternateContent><mc:Choice Requires=\"wps\" "
            "xmlns:wps=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\">") +
        QStringLiteral(
            "<w:drawing><wp:anchor><a:graphic><a:graphicData uri=\"http://schemas.microsoft.com/"
            "office/word/2010/wordprocessingShape\"><wps:wsp><wps:spPr><a:blipFill><a:blip "
            "r:embed=\"rId3\"/></a:blipFill></wps:spPr></wps:wsp></a:graphicData></a:graphic>"
            "</wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict><v:rect "
            "style=\"position:absolute\"><v:imagedata r:id=\"rId3\"/></v:rect></w:pict>"
            "</mc:Fallback></mc:AlternateContent></w:r></w:p>") +
        // inline 4: a Choice that needs an unknown namespace: the Fallback is taken
        QStringLiteral("<w:p><w:r><mc:AlternateContent><mc:Choice Requires=\"x\">") +
        anchoredPic(QStringLiteral("rId2")) +
        QStringLiteral(
            "</mc:Choice><mc:Fallback><w:pict><v:shape><v:imagedata r:id=\"rId2\"/>"
            "</v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>") +
        // floating 4: an absolutely positioned VML text box
        QStringLiteral(
            "<w:p><w:r><w:pict><v:shape style=\"position:absolute;left:0;top:0\"><v:textbox>"
            "<w:txbxContent>") +
        inlinePic(QStringLiteral("rId1")) +
        QStringLiteral("</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>") +
        // inline 5: a linked picture
        QStringLiteral(
            "<w:p><w:r><w:drawing><wp:inline><a:graphic><a:graphicData uri=\"http://schemas."
            "openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip "
            "r:link=\"rId9\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
            "</wp:inline></w:drawing></w:r></w:p>") +
        // floating 5: a DrawingML text box whose own picture is not counted
        textBoxWithPicture(QStringLiteral("rId1")) +
        // inline 6 and 7: in a table cell and in a content control
        QStringLiteral("<w:tbl><w:tr><w:tc>") + inlinePic(QStringLiteral("rId2")) +
        QStringLiteral("</w:tc></w:tr></w:tbl><w:sdt><w:sdtContent>") +
        inlinePic(QStringLiteral("rId3")) + QStringLiteral("</w:sdtContent></w:sdt>") +
        // inline 8: a chart without a stored picture
        QStringLiteral(
            "<w:p><w:r><w:drawing><wp:inline><a:graphic><a:graphicData uri=\"http://schemas."
            "openxmlformats.org/drawingml/2006/chart\"><c:chart r:id=\"rId5\" xmlns:c=\"c\"/>"
            "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>") +
        QStringLiteral("<w:sectPr/>");
    return pkg;
}

struct Expected {
    Kind kind;
    QByteArray bytes;  // "" when a copy gives no picture
    picture::Crop crop = {};
};

const std::vector<Expected> kInline = {
    {Kind::Picture, kRed, {0.25, 0, 0, 0}},
    {Kind::Picture, kGreen, {0, 0.25, 0, 0}},
    {Kind::OleObject, kOle},
    {Kind::Picture, kBlue},
    {Kind::Picture, {}},
    {Kind::Picture, kBlue},
    {Kind::Picture, kGreen},
    {Kind::Chart, {}},
};
const std::vector<Expected> kFloating = {
    {Kind::Picture, kBlue}, {Kind::Group, {}},   {Kind::Picture, kGreen},
    {Kind::TextBox, {}},    {Kind::TextBox, {}},
};

void writeSeed(const QString& name, const QByteArray& bytes) {
    const QString dir = qEnvironmentVariable("PICTROVE_WRITE_SEEDS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    QFile f(dir + u'/' + name);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// Opens `bytes` through a file, as the extraction does.
class Opened {
  public:
    explicit Opened(const QByteArray& bytes, const QString& name = QStringLiteral("doc.docx"))
        : word(clipboard) {
        path = dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.close();
        word.create();
        status = word.documentsOpen(path);
    }
    // Selects and copies; the picture the clipboard then holds.
    picture::Picture copy(bool isInline, qint32 index) {
        clipboard.clear();
        const word::CallStatus s = isInline ? word.activeDocumentInlineShapesSelect(index)
                                            : word.activeDocumentShapesSelect(index);
        if (s != word::CallStatus::Ok || word.activeWindowSelectionCopy() != word::CallStatus::Ok)
            return {};
        return clipboard.picture();
    }

    QTemporaryDir dir;
    QString path;
    picture::Clipboard clipboard;
    word::Application word;
    word::CallStatus status;
};

void checkCollection(Opened& doc, bool isInline, const std::vector<Expected>& expected) {
    const auto& shapes = isInline ? doc.word.activeDocument()->inlineShapes
                                  : doc.word.activeDocument()->floatingShapes;
    QCOMPARE(shapes.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        QCOMPARE(int(shapes[i].kind), int(expected[i].kind));
        const picture::Picture p = doc.copy(isInline, qint32(i + 1));
        if (expected[i].kind == Kind::Group)
            continue;
        QCOMPARE(p.encoded(), expected[i].bytes);
        if (!p.isNull())
            QCOMPARE(p.crop(), expected[i].crop);
    }
}

}  // namespace

class EngineTest : public QObject {
    Q_OBJECT
  private slots:
    void docx_every_kind_of_object_data() {
        QTest::addColumn<int>("form");
        QTest::newRow("transitional docx") << 0;
        QTest::newRow("strict docx") << 1;
        QTest::newRow("flat opc") << 2;
    }
    void docx_every_kind_of_object() {
        QFETCH(int, form);
        const test::DocxPackage pkg = richDocument(form == 1);
        const QByteArray bytes = form == 2 ? test::makeFlatOpc(pkg) : test::makeDocx(pkg);
        writeSeed(QStringLiteral("rich%1.%2").arg(form).arg(form == 2 ? "xml" : "docx"), bytes);
        Opened doc(bytes);
        QCOMPARE(doc.status, word::CallStatus::Ok);
        checkCollection(doc, true, kInline);
        checkCollection(doc, false, kFloating);
    }

    void docx_cropped_picture_is_previewed_cropped() {
        Opened doc(test::makeDocx(richDocument(false)));
        const picture::Picture p = doc.copy(true, 1);
        QCOMPARE(p.size(), QSize(30, 30));  // 40x30 with a quarter off the left
        const QImage image = p.toImage();
        QCOMPARE(image.size(), QSize(30, 30));
        QCOMPARE(QColor(image.pixel(0, 0)), QColor(Qt::red));
    }

    void docx_group_composes_its_pictures_side_by_side() {
        Opened doc(test::makeDocx(richDocument(false)));
        const picture::Picture p = doc.copy(false, 2);
        QVERIFY(!p.isNull());
        // Red 40x30 and green 10x10 in two 100x100 cells: the red picture sets the scale.
        QCOMPARE(p.size(), QSize(80, 40));
        const QImage image = p.toImage();
        QCOMPARE(QColor(image.pixel(10, 20)), QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(70, 20)), QColor(Qt::green));
    }

    void docx_template_and_macro_types_open() {
        for (const char* type :
             {"application/vnd.ms-word.document.macroEnabled.main+xml",
              "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml",
              "application/vnd.ms-word.template.macroEnabledTemplate.main+xml"}) {
            test::DocxPackage pkg = richDocument(false);
            pkg.mainContentType = QLatin1String(type);
            QVERIFY2(word::readDocument(test::makeDocx(pkg)).ok(), type);
        }
    }

    void docx_spreadsheet_is_not_a_word_document() {
        test::DocxPackage pkg = richDocument(false);
        pkg.mainContentType = QStringLiteral(
            "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml");
        QCOMPARE(word::readDocument(test::makeDocx(pkg)).status,
                 word::OpenStatus::NotAWordDocument);
    }

    void word2003_xml_pictures_from_bindata() {
        const QString body =
            QStringLiteral("<w:p><w:r><w:pict>") +
            test::binData(QStringLiteral("wordml://1.png"), kRed) +
            QStringLiteral(
                "<v:shape style=\"width:30pt;height:20pt\"><v:imagedata src=\"wordml://1.png\"/>"
                "</v:shape></w:pict></w:r></w:p><w:p><w:r><w:pict>") +
            test::binData(QStringLiteral("wordml://2.jpg"), kBlue) +
            QStringLiteral(
                "<v:shape style=\"position:absolute;left:10pt\"><v:imagedata "
                "src=\"wordml://2.jpg\"/>"
                "</v:shape></w:pict></w:r></w:p><w:p><w:r><w:pict><v:shape><v:imagedata "
                "src=\"file:///C:/linked.png\"/></v:shape></w:pict></w:r></w:p>"
                "<w:sectPr><w:hdr><w:p><w:r><w:pict><v:shape><v:imagedata src=\"wordml://1.png\"/>"
                "</v:shape></w:pict></w:r></w:p></w:hdr></w:sectPr>");
        const QByteArray bytes = test::makeWord2003(body);
        writeSeed(QStringLiteral("word2003.xml"), bytes);
        QCOMPARE(word::sniffDocumentFormat(bytes), word::DocumentFormat::WordXml2003);
        Opened doc(bytes, QStringLiteral("doc.xml"));
        QCOMPARE(doc.status, word::CallStatus::Ok);
        checkCollection(doc, true, {{Kind::Picture, kRed}, {Kind::Picture, {}}});
        checkCollection(doc, false, {{Kind::Picture, kBlue}});
    }

    void odt_frames_by_anchor() {
        const QByteArray gif = QByteArray::fromHex(
            "47494638396103000200f00000ff000000000021f90400000000002c0000000003000200000202845f003"
            "b");
        auto frame = [](const QString& anchor, const QString& content) {
            return QStringLiteral(
                       "<draw:frame text:anchor-type=\"%1\" svg:width=\"1cm\" svg:height=\"1cm\">%2"
                       "</draw:frame>")
                .arg(anchor, content);
        };
        const QString text =
            QStringLiteral("<text:p>") +
            frame(QStringLiteral("as-char"),
                  QStringLiteral("<draw:image xlink:href=\"Pictures/a.png\"/>")) +
            frame(QStringLiteral("paragraph"),
                  QStringLiteral("<draw:image xlink:href=\"./Pictures/b.svg\"/>"
                                 "<draw:image xlink:href=\"Pictures/c.jpg\"/>")) +
            frame(QStringLiteral("char"),
                  QStringLiteral("<draw:text-box><text:p>") +
                      frame(QStringLiteral("as-char"),
                            QStringLiteral("<draw:image "
                                           "xlink:href=\"Pictures/a.png\"/>")) +
                      QStringLiteral("</text:p></draw:text-box>")) +
            frame(QStringLiteral("as-char"),
                  QStringLiteral("<draw:image xlink:href=\"../outside.png\"/>")) +
            frame(QStringLiteral("page"),
                  QStringLiteral("<draw:object xlink:href=\"./Object 1\"/><draw:image "
                                 "xlink:href=\"./ObjectReplacements/Object 1\"/>")) +
            QStringLiteral("<text:note><text:note-body><text:p>") +
            frame(QStringLiteral("as-char"),
                  QStringLiteral("<draw:image xlink:href=\"Pictures/a.png\"/>")) +
            QStringLiteral("</text:p></text:note-body></text:note></text:p>");
        const QByteArray bytes = test::makeOdt(
            text,
            {{QStringLiteral("Pictures/a.png"), kRed},
             {QStringLiteral("Pictures/b.svg"), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>"},
             {QStringLiteral("Pictures/c.jpg"), kBlue},
             {QStringLiteral("ObjectReplacements/Object 1"), gif}});
        writeSeed(QStringLiteral("frames.odt"), bytes);
        QCOMPARE(word::sniffDocumentFormat(bytes), word::DocumentFormat::OdtPackage);
        Opened doc(bytes, QStringLiteral("doc.odt"));
        QCOMPARE(doc.status, word::CallStatus::Ok);
        checkCollection(doc, true, {{Kind::Picture, kRed}, {Kind::Picture, {}}});
        checkCollection(doc, false,
                        {{Kind::Picture, kBlue}, {Kind::TextBox, {}}, {Kind::OleObject, gif}});
    }

    void calls_follow_the_automation_rules() {
        picture::Clipboard clipboard;
        word::Application word(clipboard);
        qint32 count = 42;
        QCOMPARE(word.documentsOpen(QStringLiteral("/nonexistent")), word::CallStatus::NotStarted);
        QCOMPARE(word.activeDocumentInlineShapesCount(count), word::CallStatus::NotStarted);
        QCOMPARE(count, 42);  // a failed count leaves the value alone
        QCOMPARE(word.create(), word::CallStatus::Ok);
        QCOMPARE(word.create(), word::CallStatus::AlreadyStarted);
        QCOMPARE(word.documentsOpen(QStringLiteral("/nonexistent/x.docx")),
                 word::CallStatus::OpenFailed);
        QCOMPARE(word.lastOpenStatus(), word::OpenStatus::FileNotFound);
        QVERIFY(!word.lastError().isEmpty());
        QCOMPARE(word.activeDocumentShapesCount(count), word::CallStatus::NoDocument);
        QCOMPARE(word.activeDocumentInlineShapesSelect(1), word::CallStatus::NoDocument);
        QCOMPARE(word.activeWindowSelectionCopy(), word::CallStatus::NoDocument);
        QCOMPARE(word.documentClose(), word::CallStatus::NoDocument);
        QCOMPARE(word.quit(), word::CallStatus::Ok);
        QCOMPARE(word.quit(), word::CallStatus::NotStarted);
    }

    void copy_contract_keeps_or_replaces_the_clipboard() {
        Opened doc(test::makeDocx(richDocument(false)));
        const picture::Picture old = picture::Picture::fromEncoded(kOle);
        doc.clipboard.setPicture(old);
        // Nothing selected yet: Copy fails and the clipboard keeps its picture.
        QCOMPARE(doc.word.activeWindowSelectionCopy(), word::CallStatus::NothingSelected);
        QCOMPARE(doc.clipboard.picture().encoded(), kOle);
        // Out-of-range selects fail and leave the selection as it was.
        QCOMPARE(doc.word.activeDocumentInlineShapesSelect(0), word::CallStatus::IndexOutOfRange);
        QCOMPARE(doc.word.activeDocumentShapesSelect(6), word::CallStatus::IndexOutOfRange);
        QCOMPARE(doc.word.activeWindowSelectionCopy(), word::CallStatus::NothingSelected);
        // A text box copies no picture: the clipboard is left empty.
        QCOMPARE(doc.word.activeDocumentShapesSelect(4), word::CallStatus::Ok);
        QCOMPARE(doc.word.activeWindowSelectionCopy(), word::CallStatus::Ok);
        QVERIFY(!doc.clipboard.hasPicture());
        qint32 inlineCount = 0, floatingCount = 0;
        QCOMPARE(doc.word.activeDocumentInlineShapesCount(inlineCount), word::CallStatus::Ok);
        QCOMPARE(doc.word.activeDocumentShapesCount(floatingCount), word::CallStatus::Ok);
        QCOMPARE(inlineCount, 8);
        QCOMPARE(floatingCount, 5);
        QCOMPARE(doc.word.documentClose(), word::CallStatus::Ok);
        QCOMPARE(doc.word.activeDocumentShapesCount(floatingCount), word::CallStatus::NoDocument);
        QCOMPARE(doc.word.quit(), word::CallStatus::Ok);
    }

    void formats_are_sniffed_from_bytes_not_names() {
        QCOMPARE(word::sniffDocumentFormat("{\\rtf1 x}"), word::DocumentFormat::Rtf);
        QCOMPARE(
            word::sniffDocumentFormat(QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(600, 0)),
            word::DocumentFormat::Compound);
        QCOMPARE(word::sniffDocumentFormat(test::makeFlatOpc(richDocument(false))),
                 word::DocumentFormat::FlatOpc);
        QCOMPARE(word::sniffDocumentFormat(test::makeDocx(richDocument(false))),
                 word::DocumentFormat::OoxmlPackage);
        QCOMPARE(word::sniffDocumentFormat("plain text"), word::DocumentFormat::Unknown);
        // A .docx name holding an ODT is read as the ODT it is.
        Opened doc(test::makeOdt(QString(), {}), QStringLiteral("really-odt.docx"));
        QCOMPARE(doc.status, word::CallStatus::Ok);
        QCOMPARE(word::readDocument("plain text").status, word::OpenStatus::NotAWordDocument);
        QCOMPARE(word::readDocument(QByteArray()).status, word::OpenStatus::NotAWordDocument);
    }
};

QTEST_GUILESS_MAIN(EngineTest)
#include "engine_test.moc"
