// Damaged documents: each kind of damage has its own case and a pinned outcome, and
// every truncation of a sample of every format the engine reads fails cleanly.

#include "support/DocBuilder.h"
#include "support/TestDocuments.h"
#include "support/TestUtils.h"
#include "support/ZipBuilder.h"

#include "core/engine/DocumentReader.h"
#include "core/formats/zip/ZipArchive.h"

#include <QFileInfo>
#include <QTest>
#include <QtEndian>

#include <memory>

using namespace pictrove;

namespace {

const QByteArray kPng = test::pngBytes({4, 3}, Qt::red);

test::DocxPackage smallDocx() {
    test::DocxPackage pkg;
    pkg.parts = {{QStringLiteral("rId1"), QStringLiteral("media/a.png"), kPng}};
    pkg.body = QStringLiteral(
        "<w:p><w:r><w:drawing><wp:inline><a:graphic><a:graphicData><pic:pic><pic:blipFill>"
        "<a:blip "
        "r:embed=\"rId1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:inline>"
        "</w:drawing></w:r></w:p>");
    return pkg;
}

// A valid sample of each format the engine reads, each with one inline picture. The
// readers of RTF and of compound files read what is there: a cut may still open, with
// what survived the cut.
struct TruncationSample {
    const char* name;
    QByteArray bytes;
    bool cutMayOpen;
};

QList<TruncationSample> truncationSamples() {
    test::ArtShapeParams shape;
    shape.spid = 0x401;
    shape.properties = {{0x0104, 1}};  // pib: the first blip of the shape's own store
    test::DocBuilder doc;
    doc.text(QStringLiteral("Intro "))
        .inlinePicture(test::picfWithShape(test::spContainer(shape),
                                           {test::fbse(test::bitmapBlip(0xF01E, kPng))}));
    return {
        {"docx", test::makeDocx(smallDocx()), false},
        {"flat opc", test::makeFlatOpc(smallDocx()), false},
        {"word 2003 xml",
         test::makeWord2003(
             QStringLiteral("<w:p><w:r><w:pict>") + test::binData(QStringLiteral("a"), kPng) +
             QStringLiteral("<v:shape><v:imagedata src=\"a\"/></v:shape></w:pict></w:r></w:p>")),
         false},
        {"odt",
         test::makeOdt(
             QStringLiteral("<text:p><draw:frame text:anchor-type=\"as-char\"><draw:image "
                            "xlink:href=\"Pictures/a.png\"/></draw:frame></text:p>"),
             {{QStringLiteral("Pictures/a.png"), kPng}}),
         false},
        {"rtf", "{\\rtf1 {\\pict\\pngblip " + kPng.toHex() + "}}", true},
        {"doc", doc.build(), true},
    };
}

// The fuzz target that feeds each format's reader, as fuzz/NAME_fuzz.cpp.
QString fuzzTarget(word::DocumentFormat format) {
    switch (format) {
        case word::DocumentFormat::OoxmlPackage:
            return QStringLiteral("ooxml");
        case word::DocumentFormat::OdtPackage:
            return QStringLiteral("odt");
        case word::DocumentFormat::FlatOpc:
        case word::DocumentFormat::WordXml2003:
            return QStringLiteral("wordxml");
        case word::DocumentFormat::Rtf:
            return QStringLiteral("rtf");
        case word::DocumentFormat::Compound:
            return QStringLiteral("doc");
        case word::DocumentFormat::Unknown:
        case word::DocumentFormat::Zip:
            break;
    }
    return {};
}

// Reads `bytes` from a buffer that ends exactly where they end, so that reading one
// byte too far is caught by AddressSanitizer.
word::ReadResult readExact(QByteArrayView bytes) {
    const test::ExactBytes exact(bytes);
    return word::readDocument(exact.bytes());
}

// Overwrites the uncompressed size of `entry` in its local and central headers.
QByteArray withDeclaredSize(QByteArray zip, const QByteArray& entry, quint32 size) {
    for (qsizetype at = 0; (at = zip.indexOf("PK\x01\x02", at)) >= 0; at += 4) {
        const quint16 nameLength = qFromLittleEndian<quint16>(zip.constData() + at + 28);
        if (zip.mid(at + 46, nameLength) != entry)
            continue;
        qToLittleEndian<quint32>(size, zip.data() + at + 24);
        const quint32 local = qFromLittleEndian<quint32>(zip.constData() + at + 42);
        qToLittleEndian<quint32>(size, zip.data() + local + 22);
    }
    return zip;
}

}  // namespace

class DamagedTest : public QObject {
    Q_OBJECT
  private slots:
    void every_readable_format_has_a_truncation_case_and_a_fuzz_target() {
        const QList<TruncationSample> samples = truncationSamples();
        const QString fuzzFolder =
            QStringLiteral(PICTROVE_TEST_DATA_DIR) + QStringLiteral("/../../fuzz/");
        QVERIFY(!word::readableFormats().empty());
        for (const word::ReadableFormat& format : word::readableFormats()) {
            const auto sampled = std::find_if(samples.begin(), samples.end(), [&](const auto& s) {
                return word::sniffDocumentFormat(s.bytes) == format.format;
            });
            QVERIFY2(
                sampled != samples.end(),
                qPrintable(
                    QStringLiteral("format %1 has no truncation sample").arg(int(format.format))));
            const QString target = fuzzTarget(format.format);
            QVERIFY2(!target.isEmpty() &&
                         QFileInfo::exists(fuzzFolder + target + QStringLiteral("_fuzz.cpp")),
                     qPrintable(QStringLiteral("format %1 (%2) has no fuzz target")
                                    .arg(int(format.format))
                                    .arg(QString::fromLatin1(sampled->name))));
        }
    }

    void every_truncation_fails_cleanly_data() {
        QTest::addColumn<QByteArray>("sample");
        QTest::addColumn<bool>("cutMayOpen");
        for (const TruncationSample& s : truncationSamples())
            QTest::newRow(s.name) << s.bytes << s.cutMayOpen;
    }
    void every_truncation_fails_cleanly() {
        QFETCH(QByteArray, sample);
        QFETCH(bool, cutMayOpen);
        const word::ReadResult whole = readExact(sample);
        QVERIFY2(whole.ok(), qPrintable(whole.reason));
        QCOMPARE(whole.model.inlineShapes.size(), size_t(1));
        for (qsizetype n = 0; n < sample.size(); ++n) {
            const word::ReadResult r = readExact(QByteArrayView(sample).first(n));
            if (r.ok() && cutMayOpen) {
                QVERIFY(r.model.inlineShapes.size() <= 1 && r.model.floatingShapes.empty());
                continue;
            }
            if (r.ok()) {
                // Only cuts inside trailing whitespace after the root element may still read.
                QVERIFY2(sample.mid(n).trimmed().isEmpty() || sample.mid(n).startsWith(">"),
                         qPrintable(QStringLiteral("truncated at %1 still opens").arg(n)));
                continue;
            }
            QVERIFY(!r.reason.isEmpty());
        }
    }

    void docx_rel_to_missing_media_gives_no_picture() {
        test::DocxPackage pkg = smallDocx();
        pkg.parts[0].bytes = QByteArray();  // the relationship stays, the part is not written
        const word::ReadResult r = word::readDocument(test::makeDocx(pkg));
        QVERIFY(r.ok());
        QCOMPARE(r.model.inlineShapes.size(), size_t(1));
        QVERIFY(r.model.inlineShapes[0].picture().isNull());
    }

    void docx_missing_package_rels_is_damaged() {
        test::ZipBuilder zip;
        zip.add(QStringLiteral("[Content_Types].xml"), "<Types/>")
            .add(QStringLiteral("word/document.xml"), test::documentXml(smallDocx()).toUtf8());
        const word::ReadResult r = word::readDocument(zip.build());
        QCOMPARE(r.status, word::OpenStatus::Damaged);
    }

    void docx_missing_main_part_is_damaged() {
        test::ZipBuilder zip;
        zip.add(QStringLiteral("[Content_Types].xml"),
                "<Types><Override PartName=\"/word/document.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>")
            .add(QStringLiteral("_rels/.rels"),
                 "<Relationships><Relationship Id=\"r\" Type=\"x/officeDocument\" "
                 "Target=\"word/document.xml\"/></Relationships>");
        const word::ReadResult r = word::readDocument(zip.build());
        QCOMPARE(r.status, word::OpenStatus::Damaged);
        QVERIFY(r.reason.contains(QStringLiteral("word/document.xml")));
    }

    void docx_lying_sizes_are_damaged_data() {
        QTest::addColumn<quint32>("declared");
        QTest::addColumn<int>("status");
        const quint32 real = quint32(test::documentXml(smallDocx()).toUtf8().size());
        QTest::newRow("smaller than the data") << real - 10 << int(word::OpenStatus::Damaged);
        QTest::newRow("larger than the data") << real + 10 << int(word::OpenStatus::Damaged);
        QTest::newRow("beyond any deflate ratio") << 0x7fffffffu << int(word::OpenStatus::TooLarge);
    }
    void docx_lying_sizes_are_damaged() {
        QFETCH(quint32, declared);
        QFETCH(int, status);
        const QByteArray zip =
            withDeclaredSize(test::makeDocx(smallDocx()), "word/document.xml", declared);
        const word::ReadResult r = readExact(zip);
        QCOMPARE(int(r.status), status);
    }

    void zip_bomb_is_refused() {
        // 64 MiB of zeros deflate to about 64 KiB; with an 8 MiB entry limit the entry is
        // refused before it is inflated.
        const QByteArray zeros(64 * 1024 * 1024, '\0');
        test::ZipBuilder builder;
        builder.add(QStringLiteral("word/document.xml"), zeros);
        const QByteArray zip = builder.build();
        QVERIFY(zip.size() < 1024 * 1024);
        word::OpenStatus status;
        QString why;
        word::ZipLimits limits;
        limits.maxEntryBytes = 8 * 1024 * 1024;
        auto archive = word::ZipArchive::open(zip, status, why, limits);
        QVERIFY(archive);
        QByteArray out;
        QVERIFY(!archive->read(QStringLiteral("word/document.xml"), out, status, why));
        QCOMPARE(status, word::OpenStatus::TooLarge);
        QVERIFY(out.isEmpty());
    }

    void zip_with_too_many_entries_is_refused() {
        test::ZipBuilder builder;
        for (int i = 0; i < 12; ++i)
            builder.add(QStringLiteral("f%1").arg(i), "x");
        word::OpenStatus status;
        QString why;
        word::ZipLimits limits;
        limits.maxEntries = 10;
        QVERIFY(!word::ZipArchive::open(builder.build(), status, why, limits));
        QCOMPARE(status, word::OpenStatus::TooLarge);
    }

    void zip_total_inflated_is_capped() {
        test::ZipBuilder builder;
        builder.add(QStringLiteral("a"), QByteArray(100000, 'a'))
            .add(QStringLiteral("b"), QByteArray(100000, 'b'));
        word::OpenStatus status;
        QString why;
        word::ZipLimits limits;
        limits.maxTotalBytes = 150000;  // plus 16 times the few hundred bytes of the archive
        auto archive = word::ZipArchive::open(builder.build(), status, why, limits);
        QByteArray out;
        QVERIFY(archive->read(QStringLiteral("A"), out, status, why));  // names ignore case
        QVERIFY(!archive->read(QStringLiteral("b"), out, status, why));
        QCOMPARE(status, word::OpenStatus::TooLarge);
    }

    void docx_deep_nesting_is_damaged() {
        test::DocxPackage pkg = smallDocx();
        pkg.body =
            QStringLiteral("<w:sdt>").repeated(400) + QStringLiteral("</w:sdt>").repeated(400);
        const word::ReadResult r = word::readDocument(test::makeDocx(pkg));
        QCOMPARE(r.status, word::OpenStatus::Damaged);
        QVERIFY(r.reason.contains(QStringLiteral("nests")));
    }

    void docx_not_well_formed_is_damaged() {
        test::DocxPackage pkg = smallDocx();
        pkg.body = QStringLiteral("<w:p>");
        const word::ReadResult r = word::readDocument(test::makeDocx(pkg));
        QCOMPARE(r.status, word::OpenStatus::Damaged);
        QVERIFY(r.reason.contains(QStringLiteral("word/document.xml")));
    }

    void docx_damaged_picture_gives_no_picture() {
        test::DocxPackage pkg = smallDocx();
        pkg.parts[0].bytes = kPng.left(20);  // the signature, a cut IHDR
        const word::ReadResult r = word::readDocument(test::makeDocx(pkg));
        QVERIFY(r.ok());
        QVERIFY(r.model.inlineShapes[0].picture().isNull());
    }
};

QTEST_GUILESS_MAIN(DamagedTest)
#include "damaged_test.moc"
