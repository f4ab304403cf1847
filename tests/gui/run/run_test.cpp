#include "Pictures.h"
#include "ProgramFolderSandbox.h"
#include "ScriptedApplication.h"
#include "ScriptedServices.h"
#include "gui/main/Form1.h"
#include "gui/results/Form2.h"
#include "gui/run/ExtractionRun.h"
#include "gui/ui/ShellHelpers.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using extract::ResultsWindowIfLoaded;
using shell::Form1;

class RunTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        services_ = std::make_unique<test::ScriptedServices>();
        programDir_ = std::make_unique<test::ProgramFolderSandbox>();
        engine_ = std::make_unique<test::ScriptedEngine>();
        temporaryFolders_.clear();
        extract::SetEnvironmentForTesting([this](const QString& folder) {
            temporaryFolders_ << folder;
            return engine_->environment(folder);
        });
        form_ = std::make_unique<Form1>();
        form_->load();
        form_->show();
    }
    void cleanup() {
        form_.reset();
        extract::SetEnvironmentForTesting({});
        programDir_.reset();
        services_.reset();
    }

    void anEmptyListOnlySaysSo() {
        form_->PushButton2->click();
        QCOMPARE(services_->prompts.messages.size(), 1);
        QCOMPARE(services_->prompts.messages[0].text, QStringLiteral("No files added."));
        QCOMPARE(services_->prompts.messages[0].icon, platform::MsgIcon::None);
        QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerDefault));
        QCOMPARE(form_->ProgressBar1->value(), 0);
        QVERIFY(!ResultsWindowIfLoaded(*form_));
        QVERIFY(services_->runningObjects.lookups.isEmpty());
    }

    void runningWordIsAQuestion_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<platform::MsgResult>("answer");
        QTest::addColumn<bool>("runs");
        QTest::newRow("Word, Yes") << "Microsoft Word" << platform::MsgResult::Yes << true;
        QTest::newRow("Word, No") << "Microsoft Word" << platform::MsgResult::No << false;
        QTest::newRow("another name counts as not running")
            << "microsoft word" << platform::MsgResult::No << true;
    }
    void runningWordIsAQuestion() {
        QFETCH(QString, name);
        QFETCH(platform::MsgResult, answer);
        QFETCH(bool, runs);
        services_->runningObjects.runningName = name;
        services_->prompts.yesNoAnswers = {answer};
        engine_->documents[QStringLiteral("/d/a.docx")].inlinePictures = {test::solidPicture(4, 4)};
        form_->ListView1->appendRow(QStringLiteral("/d/a.docx"));
        form_->PushButton2->click();
        QCOMPARE(services_->runningObjects.lookups,
                 QStringList{QStringLiteral("Word.Application")});
        if (name == QStringLiteral("Microsoft Word")) {
            QCOMPARE(services_->prompts.messages.size(), 1);
            QCOMPARE(
                services_->prompts.messages[0].text,
                QStringLiteral("Word may be open. It is recommended that you close Word first. "
                               "Use Ctrl+Alt+Del > Task Manager > WINWORD.EXE if "
                               "necessary.\n\nWould you like to proceed anyway?"));
            QCOMPARE(services_->prompts.messages[0].buttons, platform::MsgButtons::YesNo);
            QCOMPARE(services_->prompts.messages[0].icon, platform::MsgIcon::None);
        } else {
            QVERIFY(services_->prompts.messages.isEmpty());
        }
        QCOMPARE(ResultsWindowIfLoaded(*form_) != nullptr, runs);
        QCOMPARE(form_->isVisible(), !runs);
        QCOMPARE(form_->MousePointer.kind(), qint16(shell::kPointerDefault));
    }

    void progressMovesAfterEachDocumentThenReturnsToZero() {
        QList<int> values;
        connect(form_->ProgressBar1, &QProgressBar::valueChanged, this,
                [&values](int v) { values << v; });
        for (const char* p : {"/d/1.docx", "/d/2.docx", "/d/3.docx"}) {
            form_->ListView1->appendRow(QString::fromLatin1(p));
        }
        bool disabledDuringRun = true;
        engine_->documents[QStringLiteral("/d/2.docx")].inlinePictures = {test::solidPicture(5, 5)};
        engine_->onYield = [&] {
            disabledDuringRun &= !form_->PushButton2->isEnabled() &&
                                 !form_->PushButton1->isEnabled() && !form_->ListView1->isEnabled();
            disabledDuringRun &= form_->MousePointer.kind() == 11;
        };
        form_->PushButton2->click();
        QCOMPARE(values, (QList<int>{50, 75, 100, 0}));
        QVERIFY(engine_->yields > 0);
        QVERIFY(disabledDuringRun);
        QVERIFY(form_->PushButton2->isEnabled());
        QCOMPARE(form_->ListView1->rowCount(), 3);  // the documents stay queued
        QCOMPARE(temporaryFolders_.size(), 1);
        QVERIFY(!QFileInfo::exists(temporaryFolders_[0]));  // no temporary file anywhere
    }

    void aRunOpensTheResultsOnTheFirstPictureAndHidesTheMainWindow() {
        engine_->documents[QStringLiteral("/d/A.docx")].inlinePictures = {
            test::solidPicture(11, 11), test::solidPicture(12, 12)};
        engine_->documents[QStringLiteral("/d/B.docx")].floatingPictures = {
            test::solidPicture(13, 13), test::solidPicture(14, 14), test::solidPicture(15, 15)};
        form_->ListView1->appendRow(QStringLiteral("/d/A.docx"));
        form_->ListView1->appendRow(QStringLiteral("/d/B.docx"));
        form_->PushButton2->click();
        results::Form2* results = ResultsWindowIfLoaded(*form_);
        QVERIFY(results);
        QCOMPARE(results->mTotalImages, 5);
        QCOMPARE(results->rowCount(), 5);
        QCOMPARE(results->holderCount(), 5);
        QCOMPARE(results->Picture1->size(), QSize(11, 11));
        QVERIFY(results->isVisible());
        QVERIFY(form_->isHidden());

        // "< Back", then a second run with fewer pictures refills from element 0 and
        // opens at the top-left corner of its first picture.
        results->Picture1->setPicture(test::solidPicture(2000, 2000));
        results->ResetPreview();
        results->HScroll1->setValue(50);
        QCOMPARE(results->Picture1->x(), -500);
        results->PushButton8->click();
        QVERIFY(form_->isVisible());
        form_->ListView1->removeRow(1);
        form_->PushButton2->click();
        QCOMPARE(results->mTotalImages, 3);
        QCOMPARE(results->rowCount(), 3);
        QCOMPARE(*results->ListView1->rowText(1), QStringLiteral("/d/B.docx"));
        QCOMPARE(results->holder(0).size(), QSize(13, 13));
        QCOMPARE(results->Picture1->size(), QSize(13, 13));
        QCOMPARE(results->Picture1->pos(), QPoint(0, 0));
        QVERIFY(!results->HScroll1->isEnabled());
    }

    // The last run's picture belongs to no row of a run that recorded nothing: the
    // preview is empty and the scroll bars are back at their start.
    void aRunWithoutPicturesShowsAnEmptyListAndNoPicture() {
        engine_->documents[QStringLiteral("/d/A.docx")].inlinePictures = {
            test::solidPicture(900, 700)};
        engine_->documents[QStringLiteral("/d/empty.docx")];
        form_->ListView1->appendRow(QStringLiteral("/d/A.docx"));
        form_->PushButton2->click();
        results::Form2* results = ResultsWindowIfLoaded(*form_);
        results->HScroll1->setValue(results->HScroll1->maximum());
        results->VScroll1->setValue(results->VScroll1->maximum());
        results->PushButton8->click();
        form_->ListView1->removeRow(1);
        form_->ListView1->appendRow(QStringLiteral("/d/empty.docx"));
        form_->PushButton2->click();
        QCOMPARE(results->rowCount(), 0);
        QCOMPARE(results->mTotalImages, 0);
        QVERIFY(results->Picture1->picture().isNull());
        QCOMPARE(results->Picture1->size(), QSize(0, 0));
        for (QScrollBar* bar : {results->HScroll1, results->VScroll1}) {
            QVERIFY(!bar->isEnabled());
            QCOMPARE(bar->value(), 0);
        }
        QVERIFY(services_->prompts.messages.isEmpty());
    }

    void unreadableDocumentsAreNamedBeforeTheResultsShow() {
        engine_->documents[QStringLiteral("/d/good.docx")].inlinePictures = {
            test::solidPicture(3, 3)};
        engine_->documents[QStringLiteral("/d/bad.docx")].openFails = true;
        form_->ListView1->appendRow(QStringLiteral("/d/bad.docx"));
        form_->ListView1->appendRow(QStringLiteral("/d/good.docx"));
        form_->PushButton2->click();
        QCOMPARE(services_->prompts.messages.size(), 1);
        QCOMPARE(services_->prompts.messages[0].icon, platform::MsgIcon::Exclamation);
        QCOMPARE(
            services_->prompts.messages[0].text,
            QStringLiteral("This document could not be read:\n/d/bad.docx: the file is damaged"));
        QCOMPARE(ResultsWindowIfLoaded(*form_)->rowCount(), 1);
    }

    void theUnreadableListStopsAtTwentyLines() {
        QList<QPair<QString, QString>> failures;
        for (int i = 0; i < 23; ++i) {
            failures.append({QStringLiteral("/d/%1.doc").arg(i), QStringLiteral("damaged")});
        }
        const QString text = extract::UnreadableDocumentsMessage(failures);
        QCOMPARE(text.count(QLatin1Char('\n')), 21);
        QVERIFY(text.endsWith(QStringLiteral("\nand 3 more")));
        QVERIFY(text.contains(QStringLiteral("/d/19.doc")));
        QVERIFY(!text.contains(QStringLiteral("/d/20.doc")));
    }

  private:
    std::unique_ptr<test::ScriptedServices> services_;
    std::unique_ptr<test::ProgramFolderSandbox> programDir_;
    std::unique_ptr<test::ScriptedEngine> engine_;
    std::unique_ptr<Form1> form_;
    QStringList temporaryFolders_;
};

QTEST_MAIN(RunTest)
#include "run_test.moc"
