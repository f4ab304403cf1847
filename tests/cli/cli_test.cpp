// pictrove-cli list, save and scan: rows, numbering with gaps, files written, the folder
// walk's order, failures, options and exit statuses.

#include "support/DocBuilder.h"
#include "support/FolderTree.h"
#include "support/TestDocuments.h"
#include "support/TestUtils.h"

#include "core/extract/DocumentExtraction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(PICTROVE_CLI_PATH), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// The documents of the shared corpus, or none without it.
QStringList corpusFiles() {
    const QString corpus = test::corpusDir();
    QStringList files;
    if (!corpus.isEmpty()) {
        for (const QFileInfo& f : QDir(corpus).entryInfoList(QDir::Files, QDir::Name))
            files.append(f.absoluteFilePath());
    }
    return files;
}

}  // namespace

class CliTest : public QObject {
    Q_OBJECT
  private slots:
    // The folder button's walk: each folder's files in name order, numbers by value,
    // folder by folder and level by level; "~" names skipped; a three-letter extension
    // also finds longer ones, any other length only itself.
    void scan_prints_what_the_folder_button_adds_in_its_order() {
        QTemporaryDir dir;
        const QString top = dir.path();
        QVERIFY(test::makeTree(top, {"chinese_209.doc", "sub/b.dotx", "chinese_168.DOC",
                                     "sub/deep/x.docm", "~$lock.doc", "Notes.docx",
                                     "chinese_113.doc", "a.txt", ".hidden/h.doc", "sub/A.doc"}));
        const Run doc = cli({QStringLiteral("scan"), top});
        QCOMPARE(doc.exitCode, 0);
        QCOMPARE(doc.out.split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{top + "/chinese_113.doc", top + "/chinese_168.DOC",
                              top + "/chinese_209.doc", top + "/Notes.docx", top + "/.hidden/h.doc",
                              top + "/sub/A.doc", top + "/sub/deep/x.docm"}));

        const Run docx = cli(
            {QStringLiteral("scan"), top + "/", QStringLiteral("--ext"), QStringLiteral("docx")});
        QCOMPARE(docx.out, top + "/Notes.docx\n");
        const Run two =
            cli({QStringLiteral("scan"), QStringLiteral("--ext"), QStringLiteral("do"), top});
        QCOMPARE(two.exitCode, 0);
        QCOMPARE(two.out, QString());
        const Run dot =
            cli({QStringLiteral("scan"), top, QStringLiteral("--ext"), QStringLiteral("DOT")});
        QCOMPARE(dot.out, top + "/sub/b.dotx\n");
    }

    void scan_escapes_paths_and_checks_its_arguments() {
        QTemporaryDir dir;
        const QString top = dir.path();
        QVERIFY(test::makeTree(top, {"a\tb.doc", "c\nd.doc", "e\\f.doc"}));
        const Run r = cli({QStringLiteral("scan"), top});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, top + "/a\\tb.doc\n" + top + "/c\\nd.doc\n" + top + "/e\\\\f.doc\n");

        QCOMPARE(cli({QStringLiteral("scan"), top + "/missing"}).exitCode, 1);
        QCOMPARE(cli({QStringLiteral("scan")}).exitCode, 2);
        QCOMPARE(cli({QStringLiteral("scan"), top, QStringLiteral("--ext")}).exitCode, 2);
        QCOMPARE(cli({QStringLiteral("scan"), top, top}).exitCode, 2);
    }

    void list_prints_one_row_per_recorded_picture() {
        QTemporaryDir dir;
        test::DocxPackage pkg;
        pkg.parts = {{QStringLiteral("rId1"), QStringLiteral("media/a.png"),
                      test::pngBytes({12, 8}, Qt::red)},
                     {QStringLiteral("rId2"), QStringLiteral("media/b.jpeg"),
                      test::jpegBytes({30, 20}, Qt::blue)}};
        // inline 1 picture, inline 2 linked (no picture, a gap), inline 3 picture; floating 1.
        pkg.body = test::inlinePictureXml(QStringLiteral("rId1")) +
                   test::inlinePictureXml(QStringLiteral("rId9")) +
                   test::inlinePictureXml(QStringLiteral("rId2")) +
                   QStringLiteral(
                       "<w:p><w:r><w:pict><v:shape style=\"position:absolute\"><v:imagedata "
                       "r:id=\"rId1\" cropleft=\"0.5\"/></v:shape></w:pict></w:r></w:p>");
        const QString a = write(dir, QStringLiteral("a.docx"), test::makeDocx(pkg));
        const QString bad = write(dir, QStringLiteral("b.docx"), "not a document");
        const QString c = write(dir, QStringLiteral("c.docx"), test::makeDocx(pkg));
        const Run r = cli({QStringLiteral("list"), a, bad, c});
        QCOMPARE(r.exitCode, 1);
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0),
                 QStringLiteral("document\tnumber\tkind\tindex\tformat\twidth\theight"));
        const QStringList expected = {
            a + QStringLiteral("\t1\tinline\t1\tpng\t12\t8"),
            a + QStringLiteral("\t3\tinline\t3\tjpeg\t30\t20"),
            a + QStringLiteral("\t4\tfloating\t1\tpng\t6\t8"),
        };
        QCOMPARE(lines.mid(1, 3), expected);
        QCOMPARE(lines.size(), 7);  // the bad document lists nothing, c lists the same three
        QCOMPARE(r.err.trimmed(),
                 QStringLiteral("pictrove-cli: %1: the file is in no format a word "
                                "processor opens")
                     .arg(bad));
    }

    void list_rows_are_the_rows_of_a_run_over_the_corpus() {
        const QStringList files = corpusFiles();
        if (files.isEmpty())
            QSKIP("no corpus beside this checkout");

        const Run listed = cli(QStringList{QStringLiteral("list")} + files);
        QStringList listRows = listed.out.split(u'\n', Qt::SkipEmptyParts).mid(1);
        for (QString& row : listRows)
            row = row.section(u'\t', 0, 1);

        QTemporaryDir temporary;
        const extract::ExtractionEnvironment env = extract::defaultEnvironment(temporary.path());
        extract::ResultStore store;
        int counter = 1;
        for (const QString& file : std::as_const(files))
            extract::ExtractImagesFromDocument(file, counter, store, env);
        QStringList runRows;
        for (int r = 1; r <= store.rowCount(); ++r)
            runRows.append(store.rowText(r) + u'\t' + store.rowNumber(r));

        QVERIFY(!runRows.isEmpty());
        QCOMPARE(listRows, runRows);
    }

    void save_writes_what_the_window_would_with_the_same_messages() {
        QTemporaryDir dir;
        test::DocxPackage pkg;
        pkg.parts = {{QStringLiteral("rId1"), QStringLiteral("media/a.png"),
                      test::pngBytes({12, 8}, Qt::red)}};
        pkg.body = test::inlinePictureXml(QStringLiteral("rId1")) +
                   test::inlinePictureXml(QStringLiteral("rId9")) +
                   test::inlinePictureXml(QStringLiteral("rId1"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("x")));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
        // Two documents of the same name: the second one's pictures must not be lost.
        const QString a = write(dir, QStringLiteral("report.docx"), test::makeDocx(pkg));
        const QString b = write(dir, QStringLiteral("x/report.docx"), test::makeDocx(pkg));
        const QString out = dir.filePath(QStringLiteral("out"));
        const Run r = cli({QStringLiteral("save"), QStringLiteral("--format"),
                           QStringLiteral("jpg"), QStringLiteral("--quality"), QStringLiteral("70"),
                           QStringLiteral("--out"), out, a, b});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QStringLiteral("Done.\n\n4 files were written to:\n") + out + u'\n');
        QCOMPARE(
            QDir(out).entryList(QDir::Files, QDir::Name),
            (QStringList{"report_1 (2).jpg", "report_1.jpg", "report_3 (2).jpg", "report_3.jpg"}));
        QCOMPARE(QImage(out + QStringLiteral("/report_3.jpg")).size(), QSize(12, 8));

        const Run missing =
            cli({QStringLiteral("save"), QStringLiteral("--format"), QStringLiteral("bmp"),
                 QStringLiteral("--out"), dir.filePath(QStringLiteral("nowhere")), a});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.trimmed().endsWith(
            QStringLiteral("pictrove-cli: Output folder not exists.")));
        for (const QStringList& bad :
             {QStringList{QStringLiteral("save"), QStringLiteral("--out"), out, a},
              QStringList{QStringLiteral("save"), QStringLiteral("--format"), QStringLiteral("gif"),
                          QStringLiteral("--out"), out, a},
              QStringList{QStringLiteral("save"), QStringLiteral("--format"), QStringLiteral("jpg"),
                          QStringLiteral("--quality"), QStringLiteral("101"),
                          QStringLiteral("--out"), out, a},
              QStringList{QStringLiteral("save"), QStringLiteral("--format"), QStringLiteral("bmp"),
                          QStringLiteral("--out"), out}}) {
            QCOMPARE(cli(bad).exitCode, 2);
        }
    }

    void save_names_each_row_it_could_not_save_and_goes_on() {
        QTemporaryDir dir;
        const QByteArray png = test::pngBytes({64, 64}, Qt::red);
        test::DocxPackage pkg;
        // The first picture's header is sound, its data cut short.
        pkg.parts = {{QStringLiteral("rId1"), QStringLiteral("media/a.png"), png.left(45)},
                     {QStringLiteral("rId2"), QStringLiteral("media/b.png"), png}};
        pkg.body = test::inlinePictureXml(QStringLiteral("rId1")) +
                   test::inlinePictureXml(QStringLiteral("rId2"));
        const QString a = write(dir, QStringLiteral("a.docx"), test::makeDocx(pkg));
        const QString b = write(dir, QStringLiteral("b.docx"), test::makeDocx(pkg));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
        const QString out = dir.filePath(QStringLiteral("out"));
        const Run r = cli({QStringLiteral("save"), QStringLiteral("--format"),
                           QStringLiteral("bmp"), QStringLiteral("--out"), out, a, b});
        QCOMPARE(r.exitCode, 3);  // every document read, a picture not saved
        QCOMPARE(QDir(out).entryList(QDir::Files, QDir::Name), (QStringList{"a_2.bmp", "b_2.bmp"}));
        // The image decoder's own warnings may come in between.
        const QStringList lines =
            r.err.split(u'\n', Qt::SkipEmptyParts)
                .filter(QRegularExpression(QStringLiteral("^pictrove-cli: ")));
        QCOMPARE(lines.size(), 2);
        QVERIFY2(
            lines[0].startsWith(QStringLiteral("pictrove-cli: %1: picture 1: not saved: ").arg(a)),
            qPrintable(r.err));
        QVERIFY2(
            lines[1].startsWith(QStringLiteral("pictrove-cli: %1: picture 1: not saved: ").arg(b)),
            qPrintable(r.err));
        QCOMPARE(r.out,
                 QStringLiteral("Done.\n\n2 files were written to:\n") + out +
                     QStringLiteral("\n\n2 rows had a damaged picture and were not saved.\n"));
    }

    // Each process registers the compound-file library's types once, on its first .doc:
    // the race between two workers doing it at once can only be seen in new processes,
    // so this starts many, each with several .doc files read on two threads.
    void doc_files_read_on_two_jobs_in_many_processes_never_crash() {
        QTemporaryDir dir;
        QStringList files;
        for (int i = 0; i < 6; ++i) {
            test::ArtShapeParams shape;
            shape.spid = 0x401;
            shape.properties = {{0x0104, 1}};  // pib: the first blip
            const QByteArray picf = test::picfWithShape(
                test::spContainer(shape),
                {test::fbse(test::bitmapBlip(0xF01E, test::pngBytes(QSize(8 + i, 8))))});
            files.append(write(dir, QStringLiteral("d%1.doc").arg(i),
                               test::DocBuilder().inlinePicture(picf).build()));
        }
        const QStringList list{QStringLiteral("list"), QStringLiteral("--jobs")};
        const Run one = cli(list + QStringList{QStringLiteral("1")} + files);
        QCOMPARE(one.exitCode, 0);
        QCOMPARE(one.out.count(QLatin1Char('\n')), 7);
        for (int run = 0; run < 40; ++run) {
            const Run two = cli(list + QStringList{QStringLiteral("2")} + files);
            QVERIFY2(two.exitCode == 0 && two.out == one.out && two.err.isEmpty(),
                     qPrintable(QStringLiteral("run %1: status %2: %3")
                                    .arg(run)
                                    .arg(two.exitCode)
                                    .arg(two.err)));
        }
    }

    void corpus_doc_files_listed_on_two_jobs_again_and_again_give_one_output() {
        QStringList docs;
        for (const QString& f : corpusFiles())
            if (f.endsWith(QLatin1String(".doc"), Qt::CaseInsensitive))
                docs.append(f);
        if (docs.isEmpty())
            QSKIP("no corpus beside this checkout");
        const QStringList list{QStringLiteral("list"), QStringLiteral("--jobs")};
        const Run one = cli(list + QStringList{QStringLiteral("1")} + docs);
        for (int run = 0; run < 25; ++run) {
            const Run two = cli(list + QStringList{QStringLiteral("2")} + docs);
            QVERIFY2(two.exitCode == one.exitCode && two.out == one.out && two.err == one.err,
                     qPrintable(QStringLiteral("run %1: status %2: %3")
                                    .arg(run)
                                    .arg(two.exitCode)
                                    .arg(two.err)));
        }
    }

    void one_job_and_two_jobs_give_the_same_output_over_the_corpus() {
        const QStringList files = corpusFiles();
        if (files.isEmpty())
            QSKIP("no corpus beside this checkout");
        const QStringList jobs1{QStringLiteral("--jobs"), QStringLiteral("1")};
        const QStringList jobs2{QStringLiteral("--jobs"), QStringLiteral("2")};
        const Run list1 = cli(QStringList{QStringLiteral("list")} + jobs1 + files);
        const Run list2 = cli(QStringList{QStringLiteral("list")} + jobs2 + files);
        QCOMPARE(list2.exitCode, list1.exitCode);
        QCOMPARE(list2.out, list1.out);
        QCOMPARE(list2.err, list1.err);
        for (const QString& format : {QStringLiteral("jpg"), QStringLiteral("original")}) {
            QTemporaryDir one, two;
            const QStringList save{QStringLiteral("save"), QStringLiteral("--format"), format};
            const Run save1 =
                cli(save + jobs1 + QStringList{QStringLiteral("--out"), one.path()} + files);
            const Run save2 =
                cli(save + jobs2 + QStringList{QStringLiteral("--out"), two.path()} + files);
            QCOMPARE(save2.exitCode, save1.exitCode);
            QCOMPARE(QString(save2.out).replace(two.path(), QString()),
                     QString(save1.out).replace(one.path(), QString()));
            QCOMPARE(QString(save2.err).replace(two.path(), QString()),
                     QString(save1.err).replace(one.path(), QString()));
            const QStringList names = QDir(one.path()).entryList(QDir::Files, QDir::Name);
            QVERIFY(!names.isEmpty());
            QCOMPARE(QDir(two.path()).entryList(QDir::Files, QDir::Name), names);
            for (const QString& name : names) {
                QFile x(QDir(one.path()).filePath(name)), y(QDir(two.path()).filePath(name));
                QVERIFY(x.open(QIODevice::ReadOnly) && y.open(QIODevice::ReadOnly));
                QVERIFY2(x.readAll() == y.readAll(), qPrintable(name));
            }
        }
    }

    void options_behave_as_a_unix_tool() {
        const Run help = cli({QStringLiteral("--help")});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("usage: pictrove-cli list [--jobs N] FILE...")));
        const Run version = cli({QStringLiteral("--version")});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith(QStringLiteral("pictrove-cli ")));
        for (const QStringList& args :
             {QStringList{}, QStringList{QStringLiteral("list")},
              QStringList{QStringLiteral("show"), QStringLiteral("x")},
              QStringList{QStringLiteral("list"), QStringLiteral("--bogus")},
              QStringList{QStringLiteral("list"), QStringLiteral("--jobs"), QStringLiteral("0"),
                          QStringLiteral("x")}}) {
            const Run r = cli(args);
            QCOMPARE(r.exitCode, 2);
            QVERIFY(r.err.contains(QStringLiteral("usage: pictrove-cli list [--jobs N] FILE...")));
            QVERIFY(r.out.isEmpty());
        }
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "cli_test.moc"
