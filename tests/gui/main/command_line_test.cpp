#include "FolderTree.h"
#include "ScriptedServices.h"
#include "gui/main/AddDocuments.h"
#include "gui/main/CommandLine.h"
#include "gui/main/Form1.h"

#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace pictrove;
using shell::CommandLine;
using shell::Form1;

namespace {

QStringList rows(const Form1& form) {
    QStringList texts;
    for (int i = 1; i <= form.ListView1->rowCount(); ++i) {
        texts.append(*form.ListView1->rowText(i));
    }
    return texts;
}

// Restores the current folder when it goes.
class CurrentFolder {
  public:
    explicit CurrentFolder(const QString& folder) : old_(QDir::currentPath()) {
        QDir::setCurrent(folder);
    }
    ~CurrentFolder() { QDir::setCurrent(old_); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

  private:
    QString old_;
};

}  // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        services_ = std::make_unique<test::ScriptedServices>();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        top_ = dir_->path();
    }
    void cleanup() {
        dir_.reset();
        services_.reset();
    }

    void argumentsBecomeAbsoluteDocumentPaths() {
        const CurrentFolder here(top_);
        const CommandLine line =
            shell::ParseCommandLine({"pictrove", "a.doc", "./sub/../b.docx", "", "/abs/c.rtf", "-",
                                     "--", "-d.doc", "--help"});
        QCOMPARE(line.action, CommandLine::Action::Run);
        QCOMPARE(line.documents, QStringList({top_ + "/a.doc", top_ + "/b.docx", "/abs/c.rtf",
                                              top_ + "/-", top_ + "/-d.doc", top_ + "/--help"}));
    }

    void optionsAnswerOrComplain_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("error");
        QTest::newRow("none") << QStringList{"pictrove"} << CommandLine::Action::Run << "";
        QTest::newRow("help after a file")
            << QStringList{"pictrove", "a.doc", "--help"} << CommandLine::Action::Help << "";
        QTest::newRow("short help")
            << QStringList{"pictrove", "-h"} << CommandLine::Action::Help << "";
        QTest::newRow("version") << QStringList{"pictrove", "--version"}
                                 << CommandLine::Action::Version << "";
        QTest::newRow("short version")
            << QStringList{"pictrove", "-V"} << CommandLine::Action::Version << "";
        QTest::newRow("unknown") << QStringList{"pictrove", "--verbose", "a.doc"}
                                 << CommandLine::Action::Usage << "unknown option --verbose";
    }
    void optionsAnswerOrComplain() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, error);
        const CommandLine line = shell::ParseCommandLine(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.error, error);
    }

    // `pictrove FILE FILE2` starts with both queued, in that order.
    void documentsOnTheCommandLineAreQueued() {
        QVERIFY(test::makeTree(top_, {"b.docx", "a.doc"}));
        const CurrentFolder here(top_);
        Form1 form;
        form.load();
        form.show();
        const CommandLine line = shell::ParseCommandLine({"pictrove", "b.docx", "a.doc"});
        queue::AddDocumentPaths(form, line.documents);
        QCOMPARE(rows(form), QStringList({top_ + "/b.docx", top_ + "/a.doc"}));
    }

    // Files and folders named on the command line are queued exactly as the same
    // items dropped on the list: folders walked, "~" names inside them skipped, a
    // missing file queued as it is.
    void commandLineQueuesWhatADropQueues() {
        QVERIFY(test::makeTree(
            top_, {"one/a.doc", "one/~$a.doc", "one/sub/b.txt", "~lock.doc", "two/c.pdf"}));
        const QString t = top_ + "/";
        const QStringList items{t + "~lock.doc", t + "one", t + "missing.doc", t + "two"};

        Form1 dropped;
        dropped.load();
        QMimeData mime;
        QList<QUrl> urls;
        for (const QString& item : items) {
            urls.append(QUrl::fromLocalFile(item));
        }
        mime.setUrls(urls);
        queue::DropFiles(dropped, &mime);

        Form1 started;
        started.load();
        queue::AddDocumentPaths(started,
                                shell::ParseCommandLine(QStringList{"pictrove"} + items).documents);
        QCOMPARE(rows(started), rows(dropped));
        QCOMPARE(rows(started).size(), 5);
    }

  private:
    std::unique_ptr<test::ScriptedServices> services_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString top_;
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
