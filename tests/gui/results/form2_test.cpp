#include "gui/results/Form2.h"
#include "Pictures.h"
#include "ProgramFolderSandbox.h"
#include "ScriptedServices.h"
#include "gui/ui/Settings.h"
#include "gui/ui/ShellHelpers.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using results::Form2;

namespace {
QString setting(const QString& key) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, shell::kAppName,
                       QStringLiteral("Pictrove"));
    return settings.value(QStringLiteral("Pictrove/") + key).toString();
}
}  // namespace

class Form2Test : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        QSettings(QSettings::IniFormat, QSettings::UserScope, shell::kAppName,
                  QStringLiteral("Pictrove"))
            .clear();
        services_ = std::make_unique<test::ScriptedServices>();
        programDir_ = std::make_unique<test::ProgramFolderSandbox>();
    }
    void cleanup() {
        programDir_.reset();
        services_.reset();
    }

    void controlsSitWhereTheLayoutPutsThem_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("place");
        QTest::newRow("list") << "ListView1" << QRect(8, 8, 520, 121);
        QTest::newRow("results label") << "Label3" << QRect(8, 138, 153, 17);
        QTest::newRow("viewport") << "Picture2" << QRect(8, 160, 504, 298);
        QTest::newRow("vertical bar") << "VScroll1" << QRect(511, 154, 17, 301);
        QTest::newRow("horizontal bar") << "HScroll1" << QRect(8, 456, 504, 17);
        QTest::newRow("format frame") << "Frame2" << QRect(8, 480, 232, 49);
        QTest::newRow("BMP") << "Option1" << QRect(16, 18, 53, 22);
        QTest::newRow("JPG") << "Option2" << QRect(96, 18, 45, 22);
        QTest::newRow("Original") << "Option3" << QRect(152, 18, 72, 22);
        QTest::newRow("quality label") << "Label5" << QRect(248, 480, 169, 17);
        QTest::newRow("quality") << "Slider1" << QRect(248, 496, 280, 32);
        QTest::newRow("folder frame") << "Frame1" << QRect(8, 536, 521, 54);
        QTest::newRow("folder") << "Text1" << QRect(16, 20, 436, 23);
        QTest::newRow("browse") << "PushButton7" << QRect(464, 20, 40, 23);
        QTest::newRow("back") << "PushButton8" << QRect(8, 600, 248, 27);
        QTest::newRow("save") << "PushButton6" << QRect(264, 600, 264, 27);
    }
    void controlsSitWhereTheLayoutPutsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        Form2 form(nullptr);
        QCOMPARE(form.size(), QSize(536, 636));
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), place);
    }

    void firstLoadOffersTheHomeFolderAndBmp() {
        Form2 form(nullptr);
        form.load();
        QCOMPARE(form.windowTitle(), QStringLiteral("Pictrove"));
        const QString home = QDir::homePath() + QDir::separator();
        QCOMPARE(form.Text1->text(), home);
        QCOMPARE(setting(QStringLiteral("Output Folder")), home);  // written back at load
        QVERIFY(form.Option1->isChecked());
        QVERIFY(!form.Slider1->isEnabled());
        QCOMPARE(form.Slider1->value(), 85);
        QCOMPARE(form.ListView1->headerItem()->text(0), QStringLiteral("Preview"));
        QCOMPARE(form.ListView1->headerItem()->text(1), QStringLiteral("Image No."));
        QCOMPARE(form.ListView1->columnWidth(0), 330);
        QCOMPARE(form.ListView1->columnWidth(1), 150);
    }

    void loadRestoresStoredOptions_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("checked");  // 1 BMP, 2 JPG, 3 Original
        QTest::newRow("1 is BMP") << "1" << 1;
        QTest::newRow("2 is JPG") << "2" << 2;
        QTest::newRow("3 is Original") << "3" << 3;
        QTest::newRow("4 keeps BMP") << "4" << 1;
        QTest::newRow("not a number keeps BMP") << "x" << 1;
    }
    void loadRestoresStoredOptions() {
        QFETCH(QString, stored);
        QFETCH(int, checked);
        const bool jpg = checked == 2;
        shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Option2"), stored);
        shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Output Folder"),
                           QStringLiteral("/srv/out"));
        Form2 form(nullptr);
        form.load();
        QCOMPARE(form.Option1->isChecked(), checked == 1);
        QCOMPARE(form.Option2->isChecked(), jpg);
        QCOMPARE(form.Option3->isChecked(), checked == 3);
        QCOMPARE(form.Slider1->isEnabled(), jpg);
        QCOMPARE(form.Text1->text(), QStringLiteral("/srv/out"));
    }

    void resetPreviewFollowsTheScrollArithmetic_data() {
        QTest::addColumn<int>("extra");  // picture width minus the viewport's outer width
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<int>("step");
        QTest::newRow("equal") << 0 << false << 0 << 0;
        QTest::newRow("+1") << 1 << true << 1 << 1;
        QTest::newRow("+100") << 100 << true << 100 << 1;
        QTest::newRow("+101") << 101 << true << 10 << 10;
        QTest::newRow("+125 halves to even") << 125 << true << 12 << 10;
        QTest::newRow("+135 halves to even") << 135 << true << 14 << 10;
    }
    void resetPreviewFollowsTheScrollArithmetic() {
        QFETCH(int, extra);
        QFETCH(bool, enabled);
        QFETCH(int, maximum);
        QFETCH(int, step);
        Form2 form(nullptr);
        form.load();
        form.Picture1->setPicture(test::solidPicture(504 + extra, 298 + extra));
        form.ResetPreview();
        QCOMPARE(form.Picture1->pos(), QPoint(0, 0));
        for (QScrollBar* bar : {form.HScroll1, form.VScroll1}) {
            QCOMPARE(bar->isEnabled(), enabled);
            if (enabled) {
                QCOMPARE(bar->maximum(), maximum);
                QCOMPARE(bar->value(), 0);
            }
        }
        QCOMPARE(form.mScrollStepX, step);
        QCOMPARE(form.mScrollStepY, step);
        if (enabled) {
            form.HScroll1->setValue(maximum);
            QCOMPARE(form.Picture1->x(), -(maximum * step));
            form.VScroll1->setValue(maximum);
            QCOMPARE(form.Picture1->y(), -(maximum * step));
        }
    }

    void aNewPictureStartsAtTheTopLeftAndADisabledBarKeepsItsValue() {
        Form2 form(nullptr);
        form.load();
        form.Picture1->setPicture(test::solidPicture(700, 400));
        form.ResetPreview();
        form.HScroll1->setValue(form.HScroll1->maximum());
        form.VScroll1->setValue(form.VScroll1->maximum());
        const int oldVertical = form.VScroll1->value();
        form.Picture1->setPicture(test::solidPicture(600, 100));  // lower than the viewport
        form.ResetPreview();
        QCOMPARE(form.Picture1->pos(), QPoint(0, 0));
        QCOMPARE(form.HScroll1->value(), 0);
        QVERIFY(!form.VScroll1->isEnabled());
        QCOMPARE(form.VScroll1->value(), oldVertical);
        QCOMPARE(form.mScrollStepY, 0);
    }

    void dragClampsToTheViewportsInside() {
        Form2 form(nullptr);
        form.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QSize inner = form.Picture2->contentsRect().size();
        QCOMPARE(inner, QSize(500, 294));

        form.Picture1->setPicture(test::solidPicture(1000, 800));
        form.ResetPreview();
        QTest::mousePress(form.Picture1, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(form.Picture1, QPoint(60, 70));  // 40 left, 30 up, button held
        QCOMPARE(form.Picture1->pos(), QPoint(-40, -30));
        // The grabbed point stays under the pointer: dragging back to the right stops at 0.
        QTest::mouseMove(form.Picture1, QPoint(400, 400));
        QCOMPARE(form.Picture1->pos(), QPoint(0, 0));
        // Far to the left: the right edge stops at the inner right edge.
        QTest::mouseMove(form.Picture1, QPoint(-900, -900));
        QCOMPARE(form.Picture1->pos(), QPoint(500 - 1000, 294 - 800));
        QTest::mouseRelease(form.Picture1, Qt::LeftButton);
        QCOMPARE(form.HScroll1->value(), 0);  // the drag leaves the scroll bars alone

        // A picture smaller than the viewport jumps to the right edge on any drag.
        form.Picture1->setPicture(test::solidPicture(100, 50));
        form.ResetPreview();
        QTest::mousePress(form.Picture1, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(form.Picture1, QPoint(5, 5));
        QCOMPARE(form.Picture1->pos(), QPoint(400, 244));
        QTest::mouseRelease(form.Picture1, Qt::LeftButton);
    }

    void backRemovesTheRunsHoldersButTheFirst() {
        QWidget main;
        Form2 form(&main);
        form.load();
        for (int i = 0; i < 5; ++i) {
            if (i > 0) {
                QVERIFY(form.createHolder(i));
            }
            QVERIFY(form.setHolder(i, test::solidPicture(10 + i, 10)));
            form.setRowNumber(form.appendRow(QStringLiteral("/d/a.docx")), QString::number(i + 1));
        }
        form.mTotalImages = 5;
        form.show();
        form.PushButton8->click();
        QCOMPARE(form.holderCount(), 1);
        QCOMPARE(form.holder(0).size(), QSize(10, 10));
        QVERIFY(main.isVisible());
        QVERIFY(form.isHidden());
        QCOMPARE(form.rowCount(), 5);  // the rows stay until the next run
    }

    void listClickShowsThatRowsPicture() {
        Form2 form(nullptr);
        form.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.setHolder(0, test::solidPicture(30, 20));
        form.createHolder(1);
        form.setHolder(1, test::solidPicture(900, 20));
        form.appendRow(QStringLiteral("/d/a.docx"));
        form.appendRow(QStringLiteral("/d/a.docx"));
        form.Picture1->setPicture(form.holder(0));
        // A click on the empty part of the list selects nothing: nothing changes.
        QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, QPoint(50, 100));
        QCOMPARE(form.Picture1->size(), QSize(30, 20));
        const QRect second = form.ListView1->visualItemRect(form.ListView1->topLevelItem(1));
        QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(form.Picture1->size(), QSize(900, 20));
        QVERIFY(form.HScroll1->isEnabled());
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerDefault));
    }

    void hoverHandOverSaveStaysOverTheListAndPreview() {
        Form2 form(nullptr);
        form.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseMove(form.PushButton6, QPoint(5, 5));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerCustom));
        QTest::mouseMove(form.ListView1->viewport(), QPoint(5, 5));
        QTest::mouseMove(form.Picture2, QPoint(50, 50));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerCustom));
        QTest::mouseMove(form.Text1, QPoint(5, 5));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerDefault));
        QTest::mouseMove(form.PushButton7, QPoint(5, 5));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerCustom));
        QTest::mouseMove(form.Frame1, QPoint(3, 50));  // the frame itself
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerDefault));
        form.MousePointer.setKind(shell::kPointerHourglass);
        QTest::mouseMove(form.PushButton8, QPoint(5, 5));
        QTest::mouseMove(&form, QPoint(530, 140));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerHourglass));
    }

    void everyChangeOfTheFolderAndFormatIsStored() {
        Form2 form(nullptr);
        form.load();
        form.Text1->clear();
        QTest::keyClicks(form.Text1, QStringLiteral("/o"));
        QCOMPARE(setting(QStringLiteral("Output Folder")), QStringLiteral("/o"));
        form.Text1->clear();
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, shell::kAppName,
                           QStringLiteral("Pictrove"));
        QVERIFY(settings.contains(QStringLiteral("Pictrove/Output Folder")));
        QCOMPARE(setting(QStringLiteral("Output Folder")), QString());
        form.Option2->click();
        QCOMPARE(setting(QStringLiteral("Option2")), QStringLiteral("2"));
        QVERIFY(form.Slider1->isEnabled());
        form.Option3->click();
        QCOMPARE(setting(QStringLiteral("Option2")), QStringLiteral("3"));
        QVERIFY(!form.Slider1->isEnabled());
        form.Option1->click();
        QCOMPARE(setting(QStringLiteral("Option2")), QStringLiteral("1"));
        QVERIFY(!form.Slider1->isEnabled());
    }

    void qualityLabelShowsTheSlidersValue() {
        Form2 form(nullptr);
        form.load();
        QCOMPARE(form.Label5->text(), QStringLiteral("JPG Image Quality: 85"));
        form.Slider1->setValue(40);
        QCOMPARE(form.Label5->text(), QStringLiteral("JPG Image Quality: 40"));
    }

    // Moving the highlighted row with the keyboard shows its picture, as a click does.
    void keyboardInTheListMovesThePreview() {
        Form2 form(nullptr);
        form.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int i = 0; i < 12; ++i) {
            if (i > 0) {
                QVERIFY(form.createHolder(i));
            }
            form.setHolder(i, test::solidPicture(600 + i, 20));
            form.setRowNumber(form.appendRow(QStringLiteral("/d/a.docx")), QString::number(i + 1));
        }
        form.mTotalImages = 12;
        form.presentRun();
        form.ListView1->setFocus();
        const QRect first = form.ListView1->visualItemRect(form.ListView1->topLevelItem(0));
        QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(form.Picture1->width(), 600);
        form.HScroll1->setValue(form.HScroll1->maximum());

        QTest::keyClick(form.ListView1, Qt::Key_Down);
        QCOMPARE(form.Picture1->width(), 601);
        QCOMPARE(form.Picture1->pos(), QPoint(0, 0));  // reset as after a click
        QCOMPARE(form.HScroll1->value(), 0);
        QTest::keyClick(form.ListView1, Qt::Key_End);
        QCOMPARE(form.Picture1->width(), 611);
        QTest::keyClick(form.ListView1, Qt::Key_Up);
        QCOMPARE(form.Picture1->width(), 610);
        QTest::keyClick(form.ListView1, Qt::Key_Home);
        QCOMPARE(form.Picture1->width(), 600);
        QTest::keyClick(form.ListView1, Qt::Key_PageDown);
        QCOMPARE(form.Picture1->width(), 600 + *form.ListView1->selectedIndex() - 1);
        QVERIFY(form.Picture1->width() > 601);
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerDefault));
    }

    // A long path is cut in the middle, so its file name stays visible; the whole path
    // is the row's tooltip.
    void longPathsKeepTheirFileName() {
        Form2 form(nullptr);
        form.load();
        const QString path = QStringLiteral("/home/user/") + QString(120, u'x') +
                             QStringLiteral("/Reports/annual_2019.docx");
        form.appendRow(path);
        QCOMPARE(form.ListView1->textElideMode(), Qt::ElideMiddle);
        QCOMPARE(form.ListView1->topLevelItem(0)->toolTip(0), path);
    }

    // The save yields to the event loop: meanwhile the window shows the hourglass, its
    // controls are disabled and the caption counts the rows.
    void saveShowsItsProgressAndKeepsTheWindowAlive() {
        Form2 form(nullptr);
        form.load();
        form.show();
        QTemporaryDir out;
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                QVERIFY(form.createHolder(i));
            }
            form.setHolder(i, test::solidPicture(8, 8));
            form.setRowNumber(form.appendRow(QStringLiteral("/d/report.docx")),
                              QString::number(i + 1));
        }
        form.Text1->setText(out.path());
        form.Option2->click();
        bool ranDuringSave = false;
        QMetaObject::invokeMethod(
            &form,
            [&] {
                ranDuringSave = true;
                QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerHourglass));
                QVERIFY(form.windowTitle().startsWith(QStringLiteral("Pictrove - saving ")));
                QVERIFY(form.windowTitle().endsWith(QStringLiteral(" of 3")));
                for (QWidget* w :
                     {static_cast<QWidget*>(form.PushButton6),
                      static_cast<QWidget*>(form.PushButton8),
                      static_cast<QWidget*>(form.PushButton7), static_cast<QWidget*>(form.Text1),
                      static_cast<QWidget*>(form.Option1), static_cast<QWidget*>(form.Slider1),
                      static_cast<QWidget*>(form.ListView1)}) {
                    QVERIFY(!w->isEnabled());
                }
                form.PushButton6->click();  // refused: no second save
            },
            Qt::QueuedConnection);
        form.PushButton6->click();
        QVERIFY(ranDuringSave);
        QCOMPARE(services_->prompts.messages.size(), 1);
        QCOMPARE(services_->prompts.messages[0].text,
                 QStringLiteral("Done.\n\n3 files were written to:\n") + out.path());
        QCOMPARE(form.windowTitle(), QStringLiteral("Pictrove"));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerDefault));
        QVERIFY(form.PushButton6->isEnabled() && form.Slider1->isEnabled() &&
                form.ListView1->isEnabled() && form.Text1->isEnabled());
        QCOMPARE(QDir(out.path()).entryList(QDir::Files).size(), 3);
    }

    // Closing the window while a save yields ends the save at once, with no message.
    void closingDuringASaveEndsIt() {
        platform::services().endProgram = [] { platform::setProgramEnding(true); };
        Form2 form(nullptr);
        form.load();
        form.show();
        QTemporaryDir out;
        form.setHolder(0, test::solidPicture(8, 8));
        form.createHolder(1);
        form.setHolder(1, test::solidPicture(8, 8));
        form.appendRow(QStringLiteral("/d/a.docx"));
        form.appendRow(QStringLiteral("/d/b.docx"));
        form.Text1->setText(out.path());
        QMetaObject::invokeMethod(
            &form, [&] { form.close(); }, Qt::QueuedConnection);
        form.PushButton6->click();
        QVERIFY(platform::programEnding());
        QVERIFY(services_->prompts.messages.isEmpty());
        QVERIFY(QDir(out.path()).entryList(QDir::Files).isEmpty());
        platform::setProgramEnding(false);
    }

    void saveResultsReportsInAMessageBox() {
        Form2 form(nullptr);
        form.load();
        QTemporaryDir out;
        form.setHolder(0, test::solidPicture(8, 8));
        form.setRowNumber(form.appendRow(QStringLiteral("/d/report.docx")), QStringLiteral("1"));
        form.Text1->setText(out.filePath(QStringLiteral("missing")));
        form.PushButton6->click();
        QCOMPARE(services_->prompts.messages.size(), 1);
        QCOMPARE(services_->prompts.messages[0].text, QStringLiteral("Output folder not exists."));
        QCOMPARE(services_->prompts.messages[0].icon, platform::MsgIcon::Exclamation);

        form.Text1->setText(out.path());
        form.Option2->click();
        form.Slider1->setValue(40);
        form.PushButton6->click();
        QCOMPARE(services_->prompts.messages.size(), 2);
        QCOMPARE(services_->prompts.messages[1].text,
                 QStringLiteral("Done.\n\n1 file was written to:\n") + out.path());
        QCOMPARE(services_->prompts.messages[1].icon, platform::MsgIcon::None);
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("report_1.jpg"))));

        form.Option3->click();
        form.PushButton6->click();
        QCOMPARE(services_->prompts.messages.size(), 3);
        QCOMPARE(services_->prompts.messages[2].text, services_->prompts.messages[1].text);
        QVERIFY(QFileInfo::exists(out.filePath(QStringLiteral("report_1.png"))));
    }

    void browseAddsTheSeparatorOnlyWhenMissing() {
        Form2 form(nullptr);
        form.load();
        form.Text1->setText(QStringLiteral("/before/"));
        services_->folderBrowser.answers = {QStringLiteral("/srv/out"), QStringLiteral("/"),
                                            QString()};
        form.PushButton7->click();
        QCOMPARE(form.Text1->text(), QStringLiteral("/srv/out/"));
        QCOMPARE(setting(QStringLiteral("Output Folder")), QStringLiteral("/srv/out/"));
        form.PushButton7->click();
        QCOMPARE(form.Text1->text(), QStringLiteral("/"));
        form.PushButton7->click();  // cancelled: nothing changes
        QCOMPARE(form.Text1->text(), QStringLiteral("/"));
        QCOMPARE(services_->folderBrowser.calls.size(), 3);
        QCOMPARE(services_->folderBrowser.calls[0].text,
                 QStringLiteral("Save images to this folder"));
        QCOMPARE(services_->folderBrowser.calls[0].owner, &form);
    }

    void closingEndsTheProgram() {
        Form2 form(nullptr);
        form.load();
        form.show();
        form.close();
        QCOMPARE(services_->endProgramCalls, 1);
    }

  private:
    std::unique_ptr<test::ScriptedServices> services_;
    std::unique_ptr<test::ProgramFolderSandbox> programDir_;
};

QTEST_MAIN(Form2Test)
#include "form2_test.moc"
