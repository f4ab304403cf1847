#include "Pictures.h"
#include "ResultRows.h"
#include "core/extract/Results.h"
#include "core/save/BmpFile.h"
#include "core/save/SaveResults.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using results::OutputFormat;
using results::SaveOptions;
using results::SaveResults;
using results::SaveStatus;

namespace {

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}
}  // namespace

class SaveResultsTest : public QObject {
    Q_OBJECT

  private slots:
    void outputName_data() {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/d/report.docx"
                               << "report_3";
        QTest::newRow("dots inside") << "/d/report.final.docx"
                                     << "report.final_3";
        QTest::newRow("trailing dot") << "/d/notes."
                                      << "notes_3";
        QTest::newRow("only an extension") << "/d/.docx"
                                           << "_3";
        QTest::newRow("no dot keeps the whole name") << "/d/my.docs/README"
                                                     << "README_3";
    }
    void outputName() {
        QFETCH(QString, document);
        QFETCH(QString, expected);
        QCOMPARE(results::OutputName(document, QStringLiteral("3")), expected);
    }

    void anEmptyListIsDoneAtOnce() {
        QTemporaryDir out;
        const auto outcome =
            SaveResults(extract::ResultStore(), {out.path(), OutputFormat::Jpg, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(outcome.message(), QStringLiteral("Done.\n\nNo file was written."));
        QVERIFY(filesIn(out.path()).isEmpty());
    }

    void aMissingOrEmptyFolderWritesNothing_data() {
        QTest::addColumn<QString>("folder");
        QTest::newRow("missing") << "missing";
        QTest::newRow("empty text") << "";
        QTest::newRow("a file, not a folder") << "file";
    }
    void aMissingOrEmptyFolderWritesNothing() {
        QFETCH(QString, folder);
        QTemporaryDir out;
        QFile file(out.filePath(QStringLiteral("file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const auto rows = test::resultRows({{"/d/a.docx", "1", test::solidPicture(4, 4)}});
        const QString path = folder.isEmpty() ? QString() : out.filePath(folder);
        const auto outcome = SaveResults(rows, {path, OutputFormat::Bmp, 85});
        QCOMPARE(outcome.status, SaveStatus::FolderMissing);
        QCOMPARE(outcome.message(), QStringLiteral("Output folder not exists."));
        QCOMPARE(filesIn(out.path()), QStringList{QStringLiteral("file")});
    }

    void bmpFilesHoldThePicturesPixelsWithGapsAndNoTrailingSeparator() {
        QTemporaryDir out;
        QImage image(3, 2, QImage::Format_ARGB32);
        image.fill(QColor(10, 20, 30));
        image.setPixel(0, 0, qRgba(0, 0, 0, 0));  // transparent: must come out white
        image.setPixel(2, 1, qRgb(200, 100, 50));
        const auto rows =
            test::resultRows({{"/d/report.docx", "1", picture::Picture::fromImage(image)},
                              {"/d/report.docx", "3", test::solidPicture(5, 5, Qt::blue)}});
        const auto outcome = SaveResults(rows, {out.path(), OutputFormat::Bmp, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(filesIn(out.path()), (QStringList{"report_1.bmp", "report_3.bmp"}));
        // An independent decoder sees the same pixels.
        QImage back(out.filePath(QStringLiteral("report_1.bmp")), "BMP");
        QCOMPARE(back.size(), QSize(3, 2));
        QCOMPARE(QColor(back.pixel(0, 0)), QColor(Qt::white));
        QCOMPARE(QColor(back.pixel(1, 0)), QColor(10, 20, 30));
        QCOMPARE(QColor(back.pixel(2, 1)), QColor(200, 100, 50));
    }

    void sameFileNamesInOneSaveKeepEveryPicture() {
        QTemporaryDir out;
        const auto rows = test::resultRows({{"/a/report.doc", "1", test::solidPicture(4, 4)},
                                            {"/b/report.docx", "1", test::solidPicture(6, 6)},
                                            {"/c/report.rtf", "1", test::solidPicture(8, 8)}});
        SaveOptions options{out.path() + QDir::separator(), OutputFormat::Jpg, 85};
        QCOMPARE(SaveResults(rows, options).status, SaveStatus::Done);
        QCOMPARE(filesIn(out.path()),
                 (QStringList{"report_1 (2).jpg", "report_1 (3).jpg", "report_1.jpg"}));
        QCOMPARE(QImage(out.filePath(QStringLiteral("report_1 (2).jpg"))).size(), QSize(6, 6));
        // A later save replaces the files of the earlier one instead of adding more.
        QCOMPARE(SaveResults(rows, options).status, SaveStatus::Done);
        QCOMPARE(filesIn(out.path()).size(), 3);
    }

    void jpgKeepsItsQuality() {
        QTemporaryDir out;
        const auto rows = test::resultRows({{"/d/report.docx", "1", test::solidPicture(40, 30)}});
        QCOMPARE(SaveResults(rows, {out.path(), OutputFormat::Jpg, 85}).status, SaveStatus::Done);
        QCOMPARE(filesIn(out.path()), QStringList{QStringLiteral("report_1.jpg")});
        if (QStandardPaths::findExecutable(QStringLiteral("identify")).isEmpty()) {
            QSKIP("ImageMagick's identify is not installed");
        }
        QProcess identify;
        identify.start(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%Q"),
                                                    out.filePath("report_1.jpg")});
        QVERIFY(identify.waitForFinished());
        QCOMPARE(identify.readAllStandardOutput().trimmed(), QByteArray("85"));
    }

    void rowsWithoutPictureAreSkippedAndCounted() {
        QTemporaryDir out;
        const auto rows = test::resultRows({{"/d/a.docx", "1", picture::Picture()},
                                            {"/d/a.docx", "2", test::solidPicture(4, 4)},
                                            {"/d/a.docx", "3", picture::Picture()}});
        const auto outcome = SaveResults(rows, {out.path(), OutputFormat::Bmp, 85});
        QCOMPARE(outcome.written, 1);
        QCOMPARE(outcome.withoutPicture, 2);
        QCOMPARE(filesIn(out.path()), QStringList{QStringLiteral("a_2.bmp")});
        QCOMPARE(outcome.message(),
                 QStringLiteral("Done.\n\n1 file was written to:\n") + out.path() +
                     QStringLiteral("\n\n2 rows had no picture and were not saved."));
    }

    // The progress is told of every row, pictures or not, and can stop the save
    // before any row: the rows before it stay written.
    void progressSeesEveryRowAndCanStopTheSave() {
        QTemporaryDir out;
        const auto rows = test::resultRows({{"/d/a.docx", "1", test::solidPicture(4, 4)},
                                            {"/d/a.docx", "2", picture::Picture()},
                                            {"/d/a.docx", "3", test::solidPicture(4, 4)}});
        QList<std::pair<int, int>> seen;
        auto outcome = SaveResults(rows, {out.path(), OutputFormat::Bmp, 85},
                                   [&](int row, int count, const QString& document) {
                                       seen.append({row, count});
                                       return document == QStringLiteral("/d/a.docx");
                                   });
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(seen, (QList<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
        QCOMPARE(outcome.message(), QStringLiteral("Done.\n\n2 files were written to:\n") +
                                        out.path() +
                                        QStringLiteral("\n\n1 row had no picture and was not "
                                                       "saved."));

        QTemporaryDir second;
        outcome = SaveResults(rows, {second.path(), OutputFormat::Bmp, 85},
                              [](int row, int, const QString&) { return row < 3; });
        QCOMPARE(outcome.status, SaveStatus::Stopped);
        QCOMPARE(outcome.written, 1);
        QCOMPARE(filesIn(second.path()), QStringList{QStringLiteral("a_1.bmp")});
    }
};

QTEST_MAIN(SaveResultsTest)
#include "save_results_test.moc"
