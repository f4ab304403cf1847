#include "FolderTree.h"
#include "ScriptedServices.h"
#include "core/platform/Services.h"
#include "core/scan/AddFolder.h"
#include "core/scan/DocumentPaths.h"
#include "core/scan/NameOrder.h"
#include "core/scan/Wildcard.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace pictrove;
using queue::WalkOutcome;

namespace {

const QString sep = QDir::separator();

bool keepGoing() {
    return true;
}

}  // namespace

class FolderScanTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        root_ = QDir::toNativeSeparators(dir_->path()) + sep;
    }

    void wildcardMatchesAsTheDesktopListingDoes_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("extension") << "*.doc"
                                   << "Report.doc" << true;
        QTest::newRow("letter case ignored") << "*.doc"
                                             << "REPORT.DOC" << true;
        QTest::newRow("non-ASCII case ignored") << "*.Äb"
                                                << "x.äB" << true;
        QTest::newRow("three letters find a longer extension") << "*.doc"
                                                               << "a.docx" << true;
        QTest::newRow("three letters find .docm, any case") << "*.DOC"
                                                            << "A.Docm" << true;
        QTest::newRow("three letters with a wildcard") << "*.d?c"
                                                       << "a.dxcx" << true;
        QTest::newRow("three letters, longer extension of other letters") << "*.doc"
                                                                          << "a.dotx" << false;
        QTest::newRow("three letters, only the last extension counts") << "*.doc"
                                                                       << "a.docx.txt" << false;
        QTest::newRow("three letters, no dot in the name") << "*.doc"
                                                           << "docx" << false;
        QTest::newRow("four letters match exactly") << "*.docx"
                                                    << "a.docxx" << false;
        QTest::newRow("four letters, the same extension") << "*.docx"
                                                          << "a.DOCX" << true;
        QTest::newRow("two letters match exactly") << "*.do"
                                                   << "a.doc" << false;
        QTest::newRow("one letter matches exactly") << "*.d"
                                                    << "a.do" << false;
        QTest::newRow("dialog filter widens") << "*.do*"
                                              << "a.docx" << true;
        QTest::newRow("name equal to extension") << "*.doc"
                                                 << "doc" << false;
        QTest::newRow("inner extension is no match") << "*.txt"
                                                     << "a.txt.doc" << false;
        QTest::newRow("star-dot-star, no dot") << "*.*"
                                               << "README" << true;
        QTest::newRow("star-dot-star, leading dot") << "*.*"
                                                    << ".profile" << true;
        QTest::newRow("trailing dot-star, no dot") << "a*.*"
                                                   << "abc" << true;
        QTest::newRow("trailing dot-star, wrong start") << "a*.*"
                                                        << "bc" << false;
        QTest::newRow("answer with a leading dot") << "*..doc"
                                                   << "a..doc" << true;
        QTest::newRow("answer with a leading dot, one dot") << "*..doc"
                                                            << "a.doc" << false;
        QTest::newRow("question mark is one character") << "*.d?c"
                                                        << "a.dxc" << true;
        QTest::newRow("question mark is not zero") << "*.d?c"
                                                   << "a.dc" << false;
        QTest::newRow("star in the answer") << "*.d*c"
                                            << "a.dxyzc" << true;
        QTest::newRow("backtracking") << "*ab*ab"
                                      << "aabxabab" << true;
        QTest::newRow("backtracking fails cleanly") << "*a*a*a*b"
                                                    << "aaaaaaaaaaaaaaaaaaaa" << false;
        QTest::newRow("empty name") << "*.doc"
                                    << "" << false;
    }
    void wildcardMatchesAsTheDesktopListingDoes() {
        QFETCH(QString, pattern);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(queue::WildcardPattern(pattern).matches(name), matches);
    }

    // The name list grows in steps of 100 and then 50; every step boundary must come
    // out with exactly the matching names, in name order (numbers by their value),
    // however the folder is written.
    void listFilesGivesEveryMatchInNameOrder_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("trailingSeparator");
        for (int count : {0, 1, 100, 101, 150, 151}) {
            for (bool trailing : {false, true}) {
                QTest::addRow("%d files, %s", count, trailing ? "trailing separator" : "bare")
                    << count << trailing;
            }
        }
    }
    void listFilesGivesEveryMatchInNameOrder() {
        QFETCH(int, count);
        QFETCH(bool, trailingSeparator);
        QStringList entries{"notes.txt", "folder.doc/", "sub/inner.doc"};
        QStringList expected;
        for (int i = 0; i < count; ++i) {
            expected.append(QStringLiteral("f%1.%2").arg(i).arg(i % 2 ? "doc" : "DOC"));
        }
        // Made in an order of their own, neither sorted nor reversed.
        for (int i = 0; i < count; ++i) {
            entries.append(expected[(i * 37) % count]);
        }
        QVERIFY(test::makeTree(root_, entries));
        const QString folder = trailingSeparator ? root_ : root_.chopped(1);
        const QStringList names = queue::ListFiles(folder, QStringLiteral("*.doc"));
        QCOMPARE(names, expected);
    }

    void listFilesListsFilesOnly() {
        QVERIFY(test::makeTree(root_, {".hidden.doc", "plain.doc", "dir.doc/", "target.txt"}));
        QVERIFY(QFile::link(root_ + "target.txt", root_ + "link.doc"));
        QVERIFY(QFile::link(root_ + "gone.txt", root_ + "dangling.doc"));
        QVERIFY(QFile::link(root_ + "dir.doc", root_ + "dirlink.doc"));
        QCOMPARE(::mkfifo(QFile::encodeName(root_ + "pipe.doc").constData(), 0600), 0);

        QStringList names = queue::ListFiles(root_, QStringLiteral("*.doc"));
        names.sort();
        // A pipe would block whoever opens it; a dangling link names nothing.
        QCOMPARE(names, QStringList({".hidden.doc", "link.doc", "plain.doc"}));
        QCOMPARE(queue::ListFiles(root_ + "missing", QStringLiteral("*.*")), QStringList());
    }

    // R with A and B, A with A1 and A2, B with B1, A1 with A1a: R, then A and B, then
    // A's folders, then B's, then A1's. Within one parent, folders come in name order,
    // whatever order the file system lists them in.
    void collectSubfoldersIsBreadthFirst() {
        QVERIFY(test::makeTree(root_, {"B/B1/", "A/A2/", "A/A1/A1a/", "A/file.doc", "B/f.txt"}));
        QStringList folders{root_};
        QCOMPARE(queue::CollectSubfolders(folders, true, keepGoing), WalkOutcome::Complete);
        QStringList relative;
        for (const QString& f : std::as_const(folders)) {
            relative.append(QDir::fromNativeSeparators(f.mid(root_.size())));
        }
        QCOMPARE(relative, QStringList({"", "A/", "B/", "A/A1/", "A/A2/", "B/B1/", "A/A1/A1a/"}));
    }

    // Folders named like numbered files, created out of order: each parent's folders
    // and each folder's files come in name order, levels and parents as before.
    void walkListsEachFolderInNameOrder() {
        QVERIFY(test::makeTree(root_, {"chinese_168.doc", "chinese_209.doc", "chinese_113.doc",
                                       "img10.doc", "Img2.doc", "c10/z.doc", "c9/b.doc", "c9/A.doc",
                                       "B/x.doc", "a/y.doc", "c10/c2/q.doc"}));
        const std::optional<QStringList> paths =
            queue::TreeDocumentPaths(root_.chopped(1), "*.doc", queue::Collapse::None, keepGoing);
        QVERIFY(paths);
        QStringList relative;
        for (const QString& p : *paths) {
            relative.append(QDir::fromNativeSeparators(p.mid(root_.size())));
        }
        QCOMPARE(relative, QStringList({"chinese_113.doc", "chinese_168.doc", "chinese_209.doc",
                                        "Img2.doc", "img10.doc", "a/y.doc", "B/x.doc", "c9/A.doc",
                                        "c9/b.doc", "c10/z.doc", "c10/c2/q.doc"}));
    }

    void nameOrder_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("letter case ignored") << "apple"
                                             << "Banana";
        QTest::newRow("numbers by value") << "img2"
                                          << "img10";
        QTest::newRow("numbers of one length") << "chinese_113"
                                               << "chinese_168";
        QTest::newRow("number inside a name") << "a9b"
                                              << "a10a";
        QTest::newRow("longer than 64 bits") << "x" + QString(30, u'9') << "x1" + QString(30, u'0');
        QTest::newRow("a prefix comes first") << "report"
                                              << "report1";
        QTest::newRow("extension after the number") << "p2.doc"
                                                    << "p10.doc";
        QTest::newRow("fewer leading zeros first") << "x1"
                                                   << "x01";
        QTest::newRow("leading zeros only break a tie") << "x01b"
                                                        << "x1c";
        QTest::newRow("same but for case: upper first") << "ABC"
                                                        << "abc";
        QTest::newRow("non-ASCII case ignored") << "äb"
                                                << "ÄC";
    }
    void nameOrder() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QVERIFY(queue::NameLess(before, after));
        QVERIFY(!queue::NameLess(after, before));
        QVERIFY(!queue::NameLess(before, before));
    }

    void collectSubfoldersEdgeCases_data() {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QStringList>("start");  // relative to the temporary folder
        QTest::addColumn<bool>("wholeTree");
        QTest::addColumn<QStringList>("added");  // sorted, relative
        QTest::newRow("empty list stays empty")
            << QStringList{"A/"} << QStringList{} << true << QStringList{};
        QTest::newRow("no subfolders")
            << QStringList{"a.doc"} << QStringList{""} << true << QStringList{};
        QTest::newRow("one level only")
            << QStringList{"A/A1/", "B/"} << QStringList{""} << false << QStringList{"A/", "B/"};
        QTest::newRow("dot folders are entered")
            << QStringList{".cfg/.deep/", ".git/x/"} << QStringList{""} << true
            << QStringList{".cfg/", ".cfg/.deep/", ".git/", ".git/x/"};
        QTest::newRow("missing folder is passed over")
            << QStringList{"A/A1/"} << QStringList{"gone/", "A/"} << true << QStringList{"A/A1/"};
    }
    void collectSubfoldersEdgeCases() {
        QFETCH(QStringList, tree);
        QFETCH(QStringList, start);
        QFETCH(bool, wholeTree);
        QFETCH(QStringList, added);
        QVERIFY(test::makeTree(root_, tree));
        QStringList folders;
        for (const QString& s : start) {
            folders.append(root_ + s);
        }
        const QStringList before = folders;
        QCOMPARE(queue::CollectSubfolders(folders, wholeTree, keepGoing), WalkOutcome::Complete);
        QCOMPARE(folders.mid(0, before.size()), before);
        QStringList tail;
        for (const QString& f : folders.mid(before.size())) {
            tail.append(f.mid(root_.size()));
        }
        tail.sort();
        QCOMPARE(tail, added);
    }

    void linksLoopingBackAreNotFollowedTwice() {
        QTemporaryDir outside;
        const QString out = QDir::toNativeSeparators(outside.path()) + sep;
        QVERIFY(test::makeTree(out, {"o1/"}));
        QVERIFY(test::makeTree(root_, {"A/", "B/"}));
        QVERIFY(QFile::link(dir_->path(), root_ + "A/back"));    // to the top
        QVERIFY(QFile::link(root_ + "B", root_ + "B/self"));     // to itself
        QVERIFY(QFile::link(root_ + "B", root_ + "A/toB"));      // to a sibling
        QVERIFY(QFile::link(outside.path(), root_ + "A/out"));   // out of the tree
        QVERIFY(QFile::link(outside.path(), root_ + "B/out2"));  // there again

        QStringList folders{root_};
        QCOMPARE(queue::CollectSubfolders(folders, true, keepGoing), WalkOutcome::Complete);
        QStringList relative;
        for (const QString& f : std::as_const(folders)) {
            relative.append(f.mid(root_.size()));
        }
        // The outside folder is entered once, by whichever link the walk meets first.
        QCOMPARE(relative.size(), 5);
        QCOMPARE(relative[0], QString());
        QStringList firstLevel = relative.mid(1, 2);
        firstLevel.sort();
        QCOMPARE(firstLevel, QStringList({"A/", "B/"}));
        const QStringList viaOutside = relative.filter(QRegularExpression("^(A/out|B/out2)/$"));
        QCOMPARE(viaOutside.size(), 1);
        QCOMPARE(relative.last(), viaOutside.first() + "o1/");
    }

    // Folders removed while the walk looks at its first names: whether the listing
    // still shows them or not, they are passed over and the rest is collected.
    void foldersVanishingDuringTheWalkArePassedOver() {
        QVERIFY(test::makeTree(root_, {"A/A1/", "B/B1/", "C/"}));
        int calls = 0;
        auto removing = [&] {
            if (++calls == 3) {
                QDir(root_ + "B").removeRecursively();
            }
            return true;
        };
        QStringList folders{root_};
        QCOMPARE(queue::CollectSubfolders(folders, true, removing), WalkOutcome::Complete);
        QStringList relative;
        for (const QString& f : folders.mid(1)) {
            relative.append(f.mid(root_.size()));
        }
        QVERIFY2(!relative.contains("B/B1/"), qPrintable(relative.join(' ')));
        relative.removeAll("B/");  // seen before it went, or not
        relative.sort();
        QCOMPARE(relative, QStringList({"A/", "A/A1/", "C/"}));
    }

    void unreadableFolderIsPassedOver() {
        if (::geteuid() == 0) {
            QSKIP("permissions do not hold for root");
        }
        QVERIFY(test::makeTree(root_, {"locked/inner/", "open/inner/", "locked/x.doc"}));
        QFile::setPermissions(root_ + "locked", QFileDevice::WriteOwner);
        QStringList folders{root_};
        QCOMPARE(queue::CollectSubfolders(folders, true, keepGoing), WalkOutcome::Complete);
        QVERIFY(folders.contains(root_ + "open/inner/"));
        QVERIFY(!folders.contains(root_ + "locked/inner/"));
        QCOMPARE(queue::ListFiles(root_ + "locked", "*.*"), QStringList());
        QFile::setPermissions(root_ + "locked", QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner);
    }

    void walkStopsWhenTheYieldSaysSo() {
        QVERIFY(test::makeTree(root_, {"A/A1/", "B/"}));
        for (int stopAt : {1, 2, 5, 9}) {
            int calls = 0;
            QStringList folders{root_};
            const WalkOutcome outcome =
                queue::CollectSubfolders(folders, true, [&] { return ++calls < stopAt; });
            QCOMPARE(outcome, WalkOutcome::Stopped);
            QCOMPARE(calls, stopAt);
        }
        QCOMPARE(queue::TreeDocumentPaths(dir_->path(), "*.*", queue::Collapse::None,
                                          [] { return false; }),
                 std::nullopt);
    }

    // The event-loop yield lets posted work run during a walk, and a program that is
    // ending stops the walk.
    void eventLoopYieldRunsEventsAndStopsAtProgramEnd() {
        test::ScriptedServices services;
        QVERIFY(test::makeTree(root_, {"A/A1/", "B/B1/"}));
        bool ran = false;
        QMetaObject::invokeMethod(
            this, [&] { ran = true; }, Qt::QueuedConnection);
        QStringList folders{root_};
        QCOMPARE(queue::CollectSubfolders(folders, true, queue::eventLoopYield()),
                 WalkOutcome::Complete);
        QVERIFY(ran);

        QMetaObject::invokeMethod(
            this, [] { platform::setProgramEnding(true); }, Qt::QueuedConnection);
        folders = QStringList{root_};
        QCOMPARE(queue::CollectSubfolders(folders, true, queue::eventLoopYield()),
                 WalkOutcome::Stopped);
        platform::setProgramEnding(false);
    }

    void collapseIsOnePassLeftToRight_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("collapsed");
        QTest::newRow("two") << "//a"
                             << "/a";
        QTest::newRow("three become two") << "/x///a"
                                          << "/x//a";
        QTest::newRow("four become two") << "////a"
                                         << "//a";
        QTest::newRow("several places") << "/a//b//c"
                                        << "/a/b/c";
        QTest::newRow("nothing to do") << "/a/b"
                                       << "/a/b";
    }
    void collapseIsOnePassLeftToRight() {
        QFETCH(QString, path);
        QFETCH(QString, collapsed);
        QCOMPARE(queue::CollapseDoubledSeparators(QDir::toNativeSeparators(path)),
                 QDir::toNativeSeparators(collapsed));
    }

    void selectionStringSplits_data() {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QStringList>("paths");
        const QChar nul(u'\0');
        QTest::newRow("one file, kept whole")
            << "//server/share/a.doc" << QStringList{"//server/share/a.doc"};
        QTest::newRow("several in the root")
            << QString("/") + nul + "a.doc" + nul + "~b.doc" << QStringList{"/a.doc", "/~b.doc"};
        QTest::newRow("several elsewhere") << QString("/d/e") + nul + "a.doc" + nul + "b c.doc"
                                           << QStringList{"/d/e/a.doc", "/d/e/b c.doc"};
        QTest::newRow("network folder loses a separator")
            << QString("//srv/s") + nul + "a.doc" << QStringList{"/srv/s/a.doc"};
        QTest::newRow("folder ending in two separators")
            << QString("/x//") + nul + "a.doc" << QStringList{"/x//a.doc"};
    }
    void selectionStringSplits() {
        QFETCH(QString, selection);
        QFETCH(QStringList, paths);
        QCOMPARE(queue::SelectionPaths(selection), paths);
    }

    // A folder given with its trailing separator, as the root is, meets the joining
    // separator: the folder button collapses the doubled one, a drop keeps it.
    void treePathsCollapseOnlyWhenAsked_data() {
        QTest::addColumn<int>("collapse");
        QTest::addColumn<QString>("joint");
        QTest::newRow("folder button") << int(queue::Collapse::DoubledSeparators) << sep;
        QTest::newRow("drop") << int(queue::Collapse::None) << sep + sep;
    }
    void treePathsCollapseOnlyWhenAsked() {
        QFETCH(int, collapse);
        QFETCH(QString, joint);
        QVERIFY(test::makeTree(root_, {"a.doc", "~$a.doc", "S/b.doc", "S/~c.doc"}));
        const std::optional<QStringList> paths =
            queue::TreeDocumentPaths(root_, "*.*", queue::Collapse(collapse), keepGoing);
        QVERIFY(paths);
        const QString top = root_.chopped(1);
        QCOMPARE(*paths, QStringList({top + joint + "a.doc", top + joint + "S" + sep + "b.doc"}));
    }

    void selectFolderNormalisesTheBrowsersAnswer_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("folder");
        QTest::newRow("root keeps its separator") << "/"
                                                  << "/";
        QTest::newRow("folder without") << "/srv/docs"
                                        << "/srv/docs";
        QTest::newRow("trailing separator dropped") << "/srv/docs/"
                                                    << "/srv/docs";
        QTest::newRow("cancel") << ""
                                << "";
    }
    void selectFolderNormalisesTheBrowsersAnswer() {
        QFETCH(QString, answer);
        QFETCH(QString, folder);
        test::ScriptedServices services;
        services.folderBrowser.answers = {answer};
        QCOMPARE(queue::SelectFolder(nullptr, "Save images to this folder"),
                 QDir::toNativeSeparators(folder));
        QCOMPARE(services.folderBrowser.calls.size(), 1);
        QCOMPARE(services.folderBrowser.calls[0].text,
                 QStringLiteral("Save images to this folder"));
        platform::services().folderBrowser = nullptr;
        QCOMPARE(queue::SelectFolder(nullptr, "x"), QString());
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;  // the temporary folder with a trailing separator
};

QTEST_MAIN(FolderScanTest)
#include "folder_scan_test.moc"
