#include "Pictures.h"
#include "ScriptedApplication.h"
#include "core/extract/DocumentExtraction.h"
#include "core/picture/Clipboard.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using extract::ExtractImagesFromDocument;
using extract::ResultStore;

class DocumentExtractionTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { picture::processClipboard().clear(); }

    void twoDocumentsFillRowsAndHoldersInOrder() {
        test::ScriptedEngine engine;
        engine.documents[QStringLiteral("/d/A.docx")].inlinePictures = {test::solidPicture(1, 1),
                                                                        test::solidPicture(2, 2)};
        engine.documents[QStringLiteral("/d/B.doc")].inlinePictures = {test::solidPicture(3, 3)};
        engine.documents[QStringLiteral("/d/B.doc")].floatingPictures = {test::solidPicture(4, 4),
                                                                         test::solidPicture(5, 5)};
        QTemporaryDir temp;
        const auto env = engine.environment(temp.path());
        ResultStore store;
        int counter = 1;
        QCOMPARE(
            ExtractImagesFromDocument(QStringLiteral("/d/A.docx"), counter, store, env).recorded,
            2);
        QCOMPARE(
            ExtractImagesFromDocument(QStringLiteral("/d/B.doc"), counter, store, env).recorded, 3);
        QCOMPARE(counter, 6);
        const QStringList expected = {"/d/A.docx 1", "/d/A.docx 2", "/d/B.doc 1", "/d/B.doc 2",
                                      "/d/B.doc 3"};
        QCOMPARE(store.rowCount(), 5);
        for (int r = 1; r <= 5; ++r) {
            QCOMPARE(store.rowText(r) + " " + store.rowNumber(r), expected[r - 1]);
            QCOMPARE(store.holder(r - 1).size(), QSize(r, r));  // row r belongs to holder r - 1
        }
        // One engine per document, inline pass before the floating pass, closed and quit.
        QCOMPARE(engine.calls.count(QStringLiteral("create")), 2);
        QCOMPARE(engine.calls.count(QStringLiteral("quit")), 2);
        QVERIFY(engine.calls.indexOf(QStringLiteral("select inline 1")) <
                engine.calls.indexOf(QStringLiteral("select floating 1")));
        QCOMPARE(engine.calls.last(), QStringLiteral("quit"));
        // Two yields after every copy, one more before every floating shape.
        QCOMPARE(engine.yields, 5 * 2 + 2);
        QVERIFY(QDir(temp.path()).isEmpty());  // every temporary file is gone
    }

    void holdersKeepTheirBytesInTheRunsStoreUntilTheyGo() {
        test::ScriptedEngine engine;
        const picture::Picture a = test::solidPicture(30, 20), b = test::solidPicture(5, 6);
        engine.documents[QStringLiteral("/d/A.docx")].inlinePictures = {a, b};
        QTemporaryDir temp;
        const auto env = engine.environment(temp.path());
        QVERIFY(env.store);
        {
            ResultStore results;
            int counter = 1;
            ExtractImagesFromDocument(QStringLiteral("/d/A.docx"), counter, results, env);
            QCOMPARE(results.holder(0).encoded(), a.encoded());
            QCOMPARE(results.holder(1).encoded(), b.encoded());
            QCOMPARE(env.store->bytesHeld(), a.encodedSize() + b.encodedSize());
        }
        QCOMPARE(env.store->bytesHeld(), 0);
    }

    void aPictureWithoutFileLeavesAGapInTheNumbers() {
        test::ScriptedEngine engine;
        engine.documents[QStringLiteral("/d/A.docx")].inlinePictures = {
            test::solidPicture(1, 1), picture::Picture(), test::solidPicture(3, 3)};
        QTemporaryDir temp;
        ResultStore store;
        int counter = 1;
        ExtractImagesFromDocument(QStringLiteral("/d/A.docx"), counter, store,
                                  engine.environment(temp.path()));
        QCOMPARE(counter, 3);
        QCOMPARE(store.rowCount(), 2);
        QCOMPARE(store.rowNumber(1), QStringLiteral("1"));
        QCOMPARE(store.rowNumber(2), QStringLiteral("3"));
        QCOMPARE(store.holder(1).size(), QSize(3, 3));  // row "3" belongs to holder 1
    }

    void floatingPassStartsAtOneAfterInlinePictures() {
        // Every floating shape is visited, also those whose index is not above the
        // inline count.
        test::ScriptedEngine engine;
        auto& doc = engine.documents[QStringLiteral("/d/A.docx")];
        doc.inlinePictures = {test::solidPicture(1, 1), test::solidPicture(2, 2)};
        doc.floatingPictures = {test::solidPicture(3, 3), test::solidPicture(4, 4),
                                test::solidPicture(5, 5)};
        QTemporaryDir temp;
        ResultStore store;
        int counter = 1;
        ExtractImagesFromDocument(QStringLiteral("/d/A.docx"), counter, store,
                                  engine.environment(temp.path()));
        QCOMPARE(store.rowCount(), 5);
        QVERIFY(engine.calls.contains(QStringLiteral("select floating 1")));
        QCOMPARE(store.rowNumber(3), QStringLiteral("3"));
    }

    void aFailedSelectCopiesWhatTheClipboardStillHolds() {
        test::ScriptedEngine engine;
        auto& doc = engine.documents[QStringLiteral("/d/A.docx")];
        doc.inlinePictures = {test::solidPicture(1, 1), test::solidPicture(2, 2)};
        doc.failingInlineSelects = {2};
        QTemporaryDir temp;
        ResultStore store;
        int counter = 1;
        ExtractImagesFromDocument(QStringLiteral("/d/A.docx"), counter, store,
                                  engine.environment(temp.path()));
        QCOMPARE(store.rowCount(), 2);
        QCOMPARE(store.holder(1).size(), QSize(1, 1));
    }

    void aDocumentThatCannotBeOpenedYieldsNothingAndSaysWhy() {
        test::ScriptedEngine engine;
        engine.documents[QStringLiteral("/d/bad.docx")].openFails = true;
        QTemporaryDir temp;
        ResultStore store;
        store.holders.set(0, test::solidPicture(7, 7));
        int counter = 4;
        const auto outcome = ExtractImagesFromDocument(QStringLiteral("/d/bad.docx"), counter,
                                                       store, engine.environment(temp.path()));
        QVERIFY(!outcome.opened);
        QCOMPARE(outcome.reason, QStringLiteral("the file is damaged"));
        QCOMPARE(counter, 4);
        QCOMPARE(store.rowCount(), 0);
        QCOMPARE(engine.calls.last(), QStringLiteral("quit"));  // the engine is still quit
    }

    void theRealEngineRefusesWhatIsNoDocument() {
        QTemporaryDir temp;
        const QString path = temp.filePath(QStringLiteral("notes.docx"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("plain text, not a document");
        file.close();
        QTemporaryDir work;
        ResultStore store;
        int counter = 1;
        const auto outcome = ExtractImagesFromDocument(path, counter, store,
                                                       extract::defaultEnvironment(work.path()));
        QVERIFY(!outcome.opened);
        QVERIFY(!outcome.reason.isEmpty());
        QCOMPARE(store.rowCount(), 0);
    }

    void everyCopyIsReportedWithWhatTheClipboardHolds() {
        // The one sequence behind a run and a listing: every step is reported, also one
        // whose shape gives no picture, with its number, collection and index.
        test::ScriptedEngine engine;
        auto& doc = engine.documents[QStringLiteral("/d/A.docx")];
        doc.inlinePictures = {test::solidPicture(1, 1), picture::Picture()};
        doc.floatingPictures = {test::solidPicture(3, 3)};
        QStringList steps;
        const auto outcome = extract::CopyDocumentShapes(
            QStringLiteral("/d/A.docx"),
            [&](const extract::CopiedShape& step) {
                const QSize size = step.picture.size();
                steps.append(QStringLiteral("%1 %2 %3 %4 %5x%6")
                                 .arg(step.document)
                                 .arg(step.number)
                                 .arg(step.collection == extract::CopiedShape::Collection::Inline
                                          ? "inline"
                                          : "floating")
                                 .arg(step.index)
                                 .arg(size.width())
                                 .arg(size.height()));
            },
            engine.environment(QString()));
        QVERIFY(outcome.opened);
        QCOMPARE(steps, QStringList({"/d/A.docx 1 inline 1 1x1", "/d/A.docx 2 inline 2 -1x-1",
                                     "/d/A.docx 3 floating 1 3x3"}));
        QCOMPARE(engine.calls.last(), QStringLiteral("quit"));
    }

    void holdersKeepHolderZeroAndGrowOnDemand() {
        extract::PictureHolders holders;
        QCOMPARE(holders.count(), 1);
        QVERIFY(!holders.create(0));
        QVERIFY(!holders.create(-1));
        QVERIFY(!holders.set(2, test::solidPicture(1, 1)));
        QVERIFY(holders.create(2));  // holder 1 comes with it, empty
        QCOMPARE(holders.count(), 3);
        QVERIFY(holders.get(1).isNull());
        QVERIFY(holders.set(0, test::solidPicture(4, 4)));
        QVERIFY(holders.set(2, test::solidPicture(2, 2)));
        holders.keepFirstOnly();
        QCOMPARE(holders.count(), 1);
        QCOMPARE(holders.get(0).size(), QSize(4, 4));
        QVERIFY(holders.get(2).isNull());
    }

    void pathWithoutExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "/d/report.doc"
                               << "/d/report";
        QTest::newRow("two dots") << "/d/report.v2.docx"
                                  << "/d/report.v2";
        QTest::newRow("no dot") << "/d/report"
                                << "/d/report";
        QTest::newRow("dot only in a folder") << "/d/my.docs/report"
                                              << "/d/my.docs/report";
        QTest::newRow("hidden file") << "/d/.doc"
                                     << "/d/";
    }
    void pathWithoutExtension() {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(extract::PathWithoutExtension(path), expected);
    }
};

QTEST_MAIN(DocumentExtractionTest)
#include "document_extraction_test.moc"
