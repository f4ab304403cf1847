// The Original output format: stored bytes untouched where the window shows exactly
// them, a PNG of the window's picture where the document changed it.

#include "MetafileBuilder.h"
#include "TestDocuments.h"
#include "core/extract/DocumentExtraction.h"
#include "core/save/SaveResults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using results::OutputFormat;
using results::SaveResults;
using results::SaveStatus;

namespace {

QString croppedFloatingPic(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:pict><v:shape style=\"position:absolute\"><v:imagedata r:id=\"%1\" "
               "cropleft=\"0.25\" croptop=\"0.5\"/></v:shape></w:pict></w:r></w:p>")
        .arg(rel);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A GIF of 2 x 1 pixels, written byte by byte (Qt writes no GIF).
QByteArray gifBytes() {
    static const unsigned char bytes[] = {
        'G',  'I', 'F',  '8',  '9', 'a',  2, 0, 1, 0, 0x80, 0, 0,  // screen, 2-colour table
        0xFF, 0,   0,    0,    0,   0xFF,                          // red, blue
        ',',  0,   0,    0,    0,   2,    0, 1, 0, 0,              // image descriptor
        2,    2,   0x44, 0x01, 0,                                  // LZW data
        ';'};
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Extracts the document as a run does, into rows and holders in memory.
extract::ResultStore extractDocument(const QString& path, const QString& temporary) {
    extract::ExtractionEnvironment env = extract::defaultEnvironment(temporary);
    env.store = nullptr;
    extract::ResultStore rows;
    int counter = 1;
    extract::ExtractImagesFromDocument(path, counter, rows, env);
    return rows;
}

}  // namespace

class OriginalFormatTest : public QObject {
    Q_OBJECT

  private slots:
    void uncropped_pictures_keep_their_stored_bytes_and_cropped_ones_become_pngs() {
        const QByteArray png = test::pngBytes({12, 8}, Qt::red, true);
        const QByteArray jpeg = test::jpegBytes({30, 20}, Qt::blue);
        const QByteArray gif = gifBytes();
        const QByteArray emf = test::EmfBuilder(20, 10)
                                   .createBrush(1, 0, Qt::green)
                                   .selectObject(1)
                                   .rectangle(QRect(2, 2, 10, 5))
                                   .finish();
        const QByteArray wmf = test::WmfBuilder(QRect(0, 0, 100, 50), 1440)
                                   .setWindowExt(100, 50)
                                   .createBrush(0, Qt::yellow)
                                   .selectObject(0)
                                   .rectangle(QRect(10, 10, 50, 20))
                                   .finish();
        test::DocxPackage pkg;
        pkg.parts = {{"rId1", "media/a.png", png},
                     {"rId2", "media/b.jpeg", jpeg},
                     {"rId3", "media/c.gif", gif},
                     {"rId4", "media/d.emf", emf},
                     {"rId5", "media/e.wmf", wmf},
                     {"rId6", "media/f.jpeg", test::jpegBytes({40, 40}, Qt::green)}};
        for (const char* rel : {"rId1", "rId2", "rId3", "rId4", "rId5"}) {
            pkg.body += test::inlinePictureXml(QString::fromLatin1(rel));
        }
        pkg.body += croppedFloatingPic(QStringLiteral("rId6"));

        QTemporaryDir dir;
        const QString document = dir.filePath(QStringLiteral("doc.docx"));
        {
            QFile f(document);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(test::makeDocx(pkg));
        }
        const QString temporary = dir.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkdir(temporary));
        const extract::ResultStore rows = extractDocument(document, temporary);
        QCOMPARE(rows.rowCount(), 6);

        const QString out = dir.filePath(QStringLiteral("out"));
        QVERIFY(QDir().mkdir(out));
        const auto outcome = SaveResults(rows, {out, OutputFormat::Original, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name),
                 (QStringList{"doc_1.png", "doc_2.jpg", "doc_3.gif", "doc_4.emf", "doc_5.wmf",
                              "doc_6.png"}));
        QCOMPARE(readAll(QDir(out).filePath("doc_1.png")), png);
        QCOMPARE(readAll(QDir(out).filePath("doc_2.jpg")), jpeg);
        QCOMPARE(readAll(QDir(out).filePath("doc_3.gif")), gif);
        QCOMPARE(readAll(QDir(out).filePath("doc_4.emf")), emf);
        QCOMPARE(readAll(QDir(out).filePath("doc_5.wmf")), wmf);

        // The cropped picture: a PNG with the pixels the window shows.
        const QImage shown = rows.holder(5).toImage();
        const QImage written(QDir(out).filePath("doc_6.png"));
        QCOMPARE(written.size(), QSize(30, 20));
        QCOMPARE(written.convertToFormat(QImage::Format_RGB32), shown);
    }

    void names_clash_by_the_same_rule_as_bmp_and_jpg() {
        extract::ResultStore rows;
        for (int i = 0; i < 3; ++i) {
            rows.setRowNumber(rows.appendRow(QStringLiteral("/d%1/r.docx").arg(i)),
                              QStringLiteral("1"));
            rows.createHolder(i);
            rows.setHolder(i, picture::Picture::fromEncoded(test::pngBytes({4, 4}, Qt::red)));
        }
        QTemporaryDir out;
        const auto outcome = SaveResults(rows, {out.path(), OutputFormat::Original, 85});
        QCOMPARE(outcome.written, 3);
        QCOMPARE(QDir(out.path()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"r_1 (2).png", "r_1 (3).png", "r_1.png"}));
    }
};

QTEST_MAIN(OriginalFormatTest)
#include "original_format_test.moc"
