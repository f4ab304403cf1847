#include "FolderTree.h"
#include "ScriptedServices.h"
#include "gui/main/AddDocuments.h"
#include "gui/main/Form1.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace pictrove;
using shell::Form1;

namespace {

const QString sep = QDir::separator();

QStringList rows(const Form1& form) {
    QStringList texts;
    for (int i = 1; i <= form.ListView1->rowCount(); ++i) {
        texts.append(*form.ListView1->rowText(i));
    }
    return texts;
}

std::unique_ptr<QMimeData> fileDrag(const QStringList& paths) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
    }
    mime->setUrls(urls);
    return mime;
}

// Sends a drag entering the list's viewport and tells whether the list took it.
bool listAcceptsDrag(Form1& form, const QMimeData* mime) {
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(form.ListView1->viewport(), &enter);
    return enter.isAccepted();
}

}  // namespace

class AddDocumentsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        services_ = std::make_unique<test::ScriptedServices>();
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        top_ = QDir::toNativeSeparators(dir_->path());
        form_ = std::make_unique<Form1>();
        form_->load();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        form_->ListView1->appendRow(QStringLiteral("earlier row"));
    }
    void cleanup() {
        form_.reset();
        services_.reset();
    }

    void addWordFilesAppendsTheChosenFiles_data() {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("one file") << QStringList{"/d/x/report.doc"}
                                  << QStringList{"/d/x/report.doc"};
        QTest::newRow("several in the root, one separator after it")
            << QStringList{"/a.doc", "/b.rtf"} << QStringList{"/a.doc", "/b.rtf"};
        QTest::newRow("several elsewhere, dialog order, tilde names too")
            << QStringList{"/d/x/b.doc", "/d/x/~$a.doc", "/d/x/a b.docx"}
            << QStringList{"/d/x/b.doc", "/d/x/~$a.doc", "/d/x/a b.docx"};
        QTest::newRow("cancel") << QStringList{} << QStringList{};
    }
    void addWordFilesAppendsTheChosenFiles() {
        QFETCH(QStringList, chosen);
        QFETCH(QStringList, added);
        services_->fileDialog.FileName = QStringLiteral("left over from last time");
        services_->fileDialog.answers = {chosen};
        QTest::mouseClick(form_->PushButton1, Qt::LeftButton);

        QCOMPARE(rows(*form_), QStringList{"earlier row"} + added);
        QCOMPARE(services_->fileDialog.calls.size(), 1);
        const auto& call = services_->fileDialog.calls[0];
        QCOMPARE(call.owner, form_.get());
        QCOMPARE(call.fileName, QString());
        QCOMPARE(call.flags, 2621953);
        QCOMPARE(call.maxFileSize, 30000);
        QCOMPARE(call.request.title,
                 QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple files"));
        using Filter = platform::FileDialog::NameFilter;
        const QString supported =
            QStringLiteral("*.doc;*.dot;*.docx;*.docm;*.dotx;*.dotm;*.rtf;*.odt;*.xml");
        QCOMPARE(call.request.filters,
                 QList<Filter>({{"Word Documents (*.do*)", "*.do*"},
                                {"All supported documents (" + supported + ")", supported},
                                {"All Files (*.*)", "*.*"}}));
        QCOMPARE(call.request.filterIndex, 0);
        QVERIFY(call.request.multiSelect);
        QVERIFY(services_->prompts.messages.isEmpty());
    }

    // The selection string and its NUL must fit the dialog's 30000 characters; one
    // character more is refused as a whole, with a message.
    void selectionLongerThanTheBufferAddsNothing_data() {
        QTest::addColumn<int>("extra");
        QTest::addColumn<bool>("fits");
        QTest::newRow("exactly full") << 0 << true;
        QTest::newRow("one over") << 1 << false;
    }
    void selectionLongerThanTheBufferAddsNothing() {
        QFETCH(int, extra);
        QFETCH(bool, fits);
        // "/d" then 999 names of 29 characters, each after a NUL: 2 + 999 * 30 = 29972.
        QStringList chosen;
        for (int i = 0; i < 999; ++i) {
            chosen.append(QStringLiteral("/d/%1.doc").arg(i, 25, 10, QChar(u'0')));
        }
        const int room = 30000 - 1 - 29972;  // 27 characters left before the NUL
        chosen.append(QStringLiteral("/d/") + QString(room - 1 + extra, u'n'));
        services_->fileDialog.answers = {chosen};
        queue::AddWordFiles(*form_);
        if (fits) {
            QCOMPARE(form_->ListView1->rowCount(), 1 + 1000);
            QCOMPARE(*form_->ListView1->rowText(1001), chosen.last());
            QVERIFY(services_->prompts.messages.isEmpty());
        } else {
            QCOMPARE(rows(*form_), QStringList{"earlier row"});
            QCOMPARE(services_->prompts.messages.size(), 1);
            QCOMPARE(services_->prompts.messages[0].buttons, platform::MsgButtons::Ok);
        }
    }

    // Rows come folder by folder, level by level, each folder's files and subfolders in
    // name order; a three-letter answer also finds longer extensions beginning with it.
    void addAllWordFilesInFolderMatchesTheAnswerAsTyped_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("added");  // relative, in the order added
        const QStringList docs{"a.doc",      "B.DOC",     "c.docx",     "x..doc",
                               ".cfg/h.doc", "sub/s.doc", "sub/t.dotx", "sub/deep/d.doc"};
        QTest::newRow("doc") << "doc"
                             << QStringList{"a.doc",      "B.DOC",     "c.docx",        "x..doc",
                                            ".cfg/h.doc", "sub/s.doc", "sub/deep/d.doc"};
        QTest::newRow("letter case of the answer")
            << "DoC" << QStringList{"a.doc",      "B.DOC",     "c.docx",        "x..doc",
                                    ".cfg/h.doc", "sub/s.doc", "sub/deep/d.doc"};
        QTest::newRow("four letters match exactly") << "docx" << QStringList{"c.docx"};
        QTest::newRow("two letters match exactly") << "do" << QStringList{};
        QTest::newRow("star: every file")
            << "*" << QStringList{"a.doc",     "B.DOC",      "c.docx",        "notes.txt",
                                  "plain",     "x..doc",     ".cfg/h.doc",    "sub/s.doc",
                                  "sub/s.rtf", "sub/t.dotx", "sub/deep/d.doc"};
        QTest::newRow("leading dot: two dots in a row") << ".doc" << QStringList{"x..doc"};
        QTest::newRow("wildcards widen") << "do?" << docs;
        QTest::newRow("star in the answer") << "d*" << docs;
        QTest::newRow("blank is not trimmed") << " doc" << QStringList{};
    }
    void addAllWordFilesInFolderMatchesTheAnswerAsTyped() {
        QFETCH(QString, answer);
        QFETCH(QStringList, added);
        QVERIFY(test::makeTree(top_, {"x..doc", "sub/s.rtf", "plain", "c.docx", "~$tmp.doc",
                                      "notes.txt", "sub/t.dotx", "a.doc", "B.DOC", ".cfg/h.doc",
                                      "sub/s.doc", "sub/~s.doc", "sub/deep/d.doc", "empty/"}));
        services_->prompts.inputAnswers = {answer};
        services_->folderBrowser.answers = {top_};
        QTest::mouseClick(form_->PushButton4, Qt::LeftButton);

        QCOMPARE(services_->prompts.inputs.size(), 1);
        QCOMPARE(services_->prompts.inputs[0],
                 qMakePair(QStringLiteral("Enter file extension to load:"), QStringLiteral("doc")));
        QCOMPARE(services_->folderBrowser.calls.size(), 1);
        QCOMPARE(services_->folderBrowser.calls[0].owner, form_.get());
        QCOMPARE(services_->folderBrowser.calls[0].text,
                 QStringLiteral("Please select folder to add:"));

        QStringList got = rows(*form_);
        QCOMPARE(got.takeFirst(), QStringLiteral("earlier row"));
        QStringList relative;
        for (const QString& path : std::as_const(got)) {
            QVERIFY2(path.startsWith(top_ + sep), qPrintable(path));
            relative.append(QDir::fromNativeSeparators(path.mid(top_.size() + 1)));
        }
        QCOMPARE(relative, added);
        QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerDefault));
        QVERIFY(form_->PushButton1->isEnabled() && form_->ListView1->isEnabled());
        if (added.isEmpty()) {
            // A walk that finds nothing says so.
            QCOMPARE(services_->prompts.messages.size(), 1);
            QCOMPARE(
                services_->prompts.messages[0].text,
                QStringLiteral("No documents matching *.%1 were found in %2.").arg(answer, top_));
            QCOMPARE(services_->prompts.messages[0].buttons, platform::MsgButtons::Ok);
        } else {
            QVERIFY(services_->prompts.messages.isEmpty());
        }
    }

    void cancelAtEitherPromptAddsNothing_data() {
        QTest::addColumn<QStringList>("inputAnswers");
        QTest::addColumn<QStringList>("browserAnswers");
        QTest::addColumn<int>("browserCalls");
        QTest::newRow("prompt cancelled") << QStringList{} << QStringList{"/"} << 0;
        QTest::newRow("prompt emptied") << QStringList{""} << QStringList{"/"} << 0;
        QTest::newRow("browser cancelled") << QStringList{"doc"} << QStringList{""} << 1;
    }
    void cancelAtEitherPromptAddsNothing() {
        QFETCH(QStringList, inputAnswers);
        QFETCH(QStringList, browserAnswers);
        QFETCH(int, browserCalls);
        services_->prompts.inputAnswers = inputAnswers;
        services_->folderBrowser.answers = browserAnswers;
        form_->MousePointer.setKind(shell::kPointerCustom);
        queue::AddAllWordFilesInFolder(*form_);
        QCOMPARE(services_->folderBrowser.calls.size(), browserCalls);
        QCOMPARE(rows(*form_), QStringList{"earlier row"});
        QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerCustom));  // never busy
        QVERIFY(services_->prompts.messages.isEmpty());
    }

    // While the walk yields, the window shows the hourglass with its controls disabled,
    // and every other way of adding is refused.
    void secondAddDuringTheWalkIsRefused() {
        QVERIFY(test::makeTree(top_, {"a.doc", "A/b.doc", "B/c.doc"}));
        const QString other = top_ + sep + "other.doc";
        services_->prompts.inputAnswers = {"doc", "doc"};
        services_->folderBrowser.answers = {top_, top_};
        services_->fileDialog.answers = {{other}};

        bool ranDuringWalk = false;
        QMetaObject::invokeMethod(
            form_.get(),
            [&] {
                ranDuringWalk = true;
                QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerHourglass));
                QTest::mouseMove(form_->PushButton1, QPoint(5, 5));
                QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerHourglass));
                for (QWidget* w : {static_cast<QWidget*>(form_->PushButton1),
                                   static_cast<QWidget*>(form_->PushButton4),
                                   static_cast<QWidget*>(form_->PushButton2),
                                   static_cast<QWidget*>(form_->ListView1)}) {
                    QVERIFY(!w->isEnabled());
                }
                const auto drag = fileDrag({other});
                QVERIFY(!queue::CanDropFiles(drag.get()));
                queue::AddWordFiles(*form_);
                queue::AddAllWordFilesInFolder(*form_);
                queue::DropFiles(*form_, drag.get());
                QCOMPARE(rows(*form_), QStringList{"earlier row"});
            },
            Qt::QueuedConnection);
        queue::AddAllWordFilesInFolder(*form_);

        QVERIFY(ranDuringWalk);
        QVERIFY(services_->fileDialog.calls.isEmpty());
        QCOMPARE(services_->prompts.inputs.size(), 1);
        QCOMPARE(form_->ListView1->rowCount(), 1 + 3);
        QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerDefault));
        QVERIFY(form_->PushButton1->isEnabled() && form_->ListView1->isEnabled());
        // Afterwards everything works again.
        QVERIFY(queue::CanDropFiles(fileDrag({other}).get()));
        queue::AddWordFiles(*form_);
        QCOMPARE(*form_->ListView1->rowText(5), other);
    }

    void dropAddsFilesAndFolderTrees() {
        QVERIFY(test::makeTree(top_, {"one/a.doc", "one/~$a.doc", "one/sub/b.txt", "two/c.pdf",
                                      "two/.hidden", "~lock.doc", "picture.png"}));
        const QString t = top_ + sep;
        const auto drag = fileDrag({t + "~lock.doc", t + "one", t + "picture.png", t + "two"});
        QVERIFY(listAcceptsDrag(*form_, drag.get()));
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, drag.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QCoreApplication::sendEvent(form_->ListView1->viewport(), &drop);

        QStringList got = rows(*form_);
        QCOMPARE(got.takeFirst(), QStringLiteral("earlier row"));
        // In the order dropped; a dropped file is added whatever its name, inside a
        // dropped folder "~" names are skipped; each folder's tree before the next item.
        QCOMPARE(got.mid(0, 3), QStringList({t + "~lock.doc", t + "one" + sep + "a.doc",
                                             t + "one" + sep + "sub" + sep + "b.txt"}));
        QCOMPARE(got[3], t + "picture.png");
        QStringList second = got.mid(4);
        second.sort();
        QCOMPARE(second, QStringList({t + "two" + sep + ".hidden", t + "two" + sep + "c.pdf"}));
        QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerDefault));  // no hourglass
        QVERIFY(form_->ListView1->isEnabled());
    }

    // The desktop hands over the file-system root as the one folder ending in a
    // separator; a drop does no collapse, so the joint stays doubled.
    void droppedFolderEndingInSeparatorKeepsTheDoubledSeparator() {
        QVERIFY(test::makeTree(top_, {"a.doc", "S/b.doc"}));
        QCOMPARE(QUrl::fromLocalFile(QDir::rootPath()).toLocalFile(), QDir::rootPath());
        queue::DropFiles(*form_, fileDrag({top_ + sep}).get());
        QCOMPARE(rows(*form_).mid(1),
                 QStringList({top_ + sep + sep + "a.doc", top_ + sep + sep + "S" + sep + "b.doc"}));
    }

    void dragWithoutFileListIsRefused_data() {
        QTest::addColumn<QStringList>("formats");  // mime type, then data
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("plain text")
            << QStringList{"text/plain", "/tmp/a.doc"} << QList<QUrl>{} << false;
        QTest::newRow("web address")
            << QStringList{} << QList<QUrl>{QUrl("https://example.org/a.doc")} << false;
        QTest::newRow("file and web address")
            << QStringList{}
            << QList<QUrl>{QUrl::fromLocalFile("/tmp/a.doc"), QUrl("https://example.org/")}
            << false;
        QTest::newRow("files") << QStringList{}
                               << QList<QUrl>{QUrl::fromLocalFile("/nowhere/a.doc"),
                                              QUrl::fromLocalFile("/nowhere/b")}
                               << true;
    }
    void dragWithoutFileListIsRefused() {
        QFETCH(QStringList, formats);
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, accepted);
        QMimeData mime;
        if (!formats.isEmpty()) {
            mime.setData(formats[0], formats[1].toUtf8());
        }
        if (!urls.isEmpty()) {
            mime.setUrls(urls);
        }
        QCOMPARE(queue::CanDropFiles(&mime), accepted);
        QCOMPARE(listAcceptsDrag(*form_, &mime), accepted);
        queue::DropFiles(*form_, &mime);
        QCOMPARE(form_->ListView1->rowCount(), accepted ? 3 : 1);
    }

  private:
    std::unique_ptr<test::ScriptedServices> services_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Form1> form_;
    QString top_;  // the temporary folder, without a trailing separator
};

QTEST_MAIN(AddDocumentsTest)
#include "add_documents_test.moc"
