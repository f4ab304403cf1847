#include "gui/main/Form1.h"
#include "ProgramFolderSandbox.h"
#include "ScriptedServices.h"
#include "gui/ui/ShellHelpers.h"

#include <QDir>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;
using shell::Form1;

class Form1Test : public QObject {
    Q_OBJECT

  private slots:
    void init() {
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
        QTest::addColumn<QString>("caption");
        QTest::newRow("list") << "ListView1" << QRect(8, 8, 448, 153) << "";
        QTest::newRow("add files") << "PushButton1" << QRect(8, 168, 145, 97) << "Add Word File(s)";
        QTest::newRow("add folder")
            << "PushButton4" << QRect(160, 168, 145, 97) << "Add All Word Files In Folder";
        QTest::newRow("start") << "PushButton2" << QRect(312, 168, 144, 97)
                               << "Start Extracting Images";
        QTest::newRow("progress") << "ProgressBar1" << QRect(8, 272, 448, 27) << "";
    }
    void controlsSitWhereTheLayoutPutsThem() {
        QFETCH(QString, name);
        QFETCH(QRect, place);
        QFETCH(QString, caption);
        Form1 form;
        form.load();
        QCOMPARE(form.size(), QSize(464, 307));
        auto* control = form.findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->geometry(), place);
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            QCOMPARE(button->text(), caption);
            QCOMPARE(button->iconSize(), QSize(32, 32));
            QVERIFY(!button->icon().isNull());
            QCOMPARE(button->icon().pixmap(32, 32).size(), QSize(32, 32));
            QVERIFY(button->font().bold());
            QCOMPARE(button->font().pointSizeF(), 11.25);
        }
    }

    void loadSetsCaptionColumnAndTooltip() {
        Form1 form;
        QCOMPARE(form.ListView1->columnCount(), 0);
        form.load();
        form.load();  // the handler runs once per process
        QCOMPARE(form.windowTitle(), QStringLiteral("Pictrove"));
        QCOMPARE(form.ListView1->columnCount(), 1);
        QCOMPARE(form.ListView1->headerItem()->text(0), QStringLiteral(" Word File(s)"));
        QCOMPARE(form.ListView1->columnWidth(0), 367);  // 5500 twips
        QCOMPARE(form.ListView1->toolTip(),
                 QStringLiteral("Drag and drop files here. Double-click item to remove it. Move "
                                "bar to right and out of window to reveal full names."));
        QCOMPARE(form.ListView1->rowCount(), 0);
        QVERIFY(form.font().bold());
        QCOMPARE(form.font().pointSizeF(), 9.0);
    }

    void hoverRuleNeverReplacesTheHourglass() {
        Form1 form;
        form.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::mouseMove(form.PushButton1, QPoint(10, 10));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerCustom));
        // From a button straight onto the list: no handler there, the hand stays.
        QTest::mouseMove(form.ListView1->viewport(), QPoint(20, 20));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerCustom));
        QTest::mouseMove(&form, QPoint(4, 300));  // window background
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerDefault));

        form.MousePointer.setKind(shell::kPointerHourglass);
        QTest::mouseMove(form.PushButton2, QPoint(10, 10));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerHourglass));
        QTest::mouseMove(&form, QPoint(4, 300));
        QCOMPARE(form.MousePointer.kind(), qint16(shell::kPointerHourglass));
        QCOMPARE(form.cursor().shape(), Qt::WaitCursor);
    }

    void doubleClickRemovesTheSelectedRow() {
        Form1 form;
        form.load();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // An empty list: nothing happens, nothing is shown.
        QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
        QCOMPARE(form.ListView1->rowCount(), 0);

        for (const char* path : {"/d/a.doc", "/d/b.doc", "/d/c.doc", "/d/b.doc"}) {
            form.ListView1->appendRow(QString::fromLatin1(path));
        }
        const QRect second = form.ListView1->visualItemRect(form.ListView1->topLevelItem(1));
        QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, second.center());
        QCOMPARE(form.ListView1->rowCount(), 3);
        QCOMPARE(*form.ListView1->rowText(1), QStringLiteral("/d/a.doc"));
        QCOMPARE(*form.ListView1->rowText(2), QStringLiteral("/d/c.doc"));
        QCOMPARE(*form.ListView1->rowText(3), QStringLiteral("/d/b.doc"));
        QVERIFY(services_->prompts.messages.isEmpty());
    }

    void closingTheWindowEndsTheProgram() {
        Form1 form;
        form.load();
        form.show();
        form.close();
        QCOMPARE(services_->endProgramCalls, 1);
    }

    void handPointerComesFromTheCursorBesideTheProgram() {
        QFile::copy(QStringLiteral(PICTROVE_RESOURCE_DIR "/HAND-M.CUR"),
                    programDir_->filePath(QStringLiteral("HAND-M.CUR")));
        Form1 form;
        form.load();
        QVERIFY(form.MousePointer.hasCustomCursor());
        form.MousePointer.setKind(shell::kPointerCustom);
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.cursor().hotSpot(), QPoint(10, 0));
    }

    void handPointerComesFromTheInstalledDataFolder() {
        const QString installed = programDir_->root() + QStringLiteral("/share/pictrove");
        QVERIFY(QDir().mkpath(installed));
        QVERIFY(QFile::copy(QStringLiteral(PICTROVE_RESOURCE_DIR "/HAND-M.CUR"),
                            installed + QStringLiteral("/HAND-M.CUR")));
        Form1 form;
        form.load();
        QVERIFY(form.MousePointer.hasCustomCursor());
    }

    void brokenCursorFileLeavesTheDefaultPointer() {
        QFile file(programDir_->filePath(QStringLiteral("HAND-M.CUR")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\0\0\2\0\1\0garbage", 14);
        file.close();
        Form1 form;
        form.load();
        QVERIFY(!form.MousePointer.hasCustomCursor());
        form.MousePointer.setKind(shell::kPointerCustom);
        QCOMPARE(form.cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(form.windowTitle(), QStringLiteral("Pictrove"));  // the load went on
    }

  private:
    std::unique_ptr<test::ScriptedServices> services_;
    std::unique_ptr<test::ProgramFolderSandbox> programDir_;
};

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
