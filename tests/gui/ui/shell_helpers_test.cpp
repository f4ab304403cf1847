#include "ProgramFolderSandbox.h"
#include "ScriptedServices.h"
#include "gui/main/Form1.h"
#include "gui/ui/Settings.h"
#include "gui/ui/ShellHelpers.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;

class ShellHelpersTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() {
        programDir_ = std::make_unique<test::ProgramFolderSandbox>();
        qApp->setStyleSheet(QString());
    }
    void cleanup() { programDir_.reset(); }

    void fileExistsAnswersWithoutComplaint() {
        QVERIFY(!shell::FileExists(QString()));
        QVERIFY(!shell::FileExists(programDir_->filePath(QStringLiteral("missing.cur"))));
        QFile file(programDir_->filePath(QStringLiteral("there.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(shell::FileExists(file.fileName()));
        QVERIFY(shell::FileExists(programDir_->path()));
    }

    // A window larger than the screen keeps its title bar and top-left corner visible;
    // in the other direction it is still centred.
    void centerFormKeepsTheTopLeftOfALargeWindowOnTheScreen() {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QWidget small;
        small.resize(200, 100);
        shell::CenterForm(&small);
        QCOMPARE(small.pos(), QPoint((screen.width() - 200) / 2, (screen.height() - 100) / 2));

        QWidget large;
        large.resize(screen.width() + 400, screen.height() + 300);
        shell::CenterForm(&large);
        QCOMPARE(large.pos(), available.topLeft());

        QWidget tall;
        tall.resize(200, screen.height() + 36);
        shell::CenterForm(&tall);
        QCOMPARE(tall.pos(), QPoint((screen.width() - 200) / 2, available.top()));
    }

    void buttonFaceColoursReachOnlyFramesLabelsAndOptions() {
        QWidget window;
        auto* label = new QLabel(&window);
        auto* option = new QRadioButton(&window);
        auto* text = new QLineEdit(&window);
        const QColor textBefore = text->palette().color(QPalette::Window);
        shell::SetButtonFaceColors(&window);
        const QColor face = window.style()->standardPalette().color(QPalette::Button);
        QCOMPARE(window.palette().color(QPalette::Window), face);
        QCOMPARE(label->palette().color(QPalette::Window), face);
        QCOMPARE(option->palette().color(QPalette::Window), face);
        QVERIFY(label->autoFillBackground());
        QVERIFY(!text->autoFillBackground());
        QCOMPARE(text->palette().color(QPalette::Window), textBefore);
    }

    void skinIsAppliedOnlyFromARegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("applied");
        QTest::newRow("present") << "file" << true;
        QTest::newRow("absent") << "none" << false;
        QTest::newRow("a folder of that name") << "folder" << false;
    }
    void skinIsAppliedOnlyFromARegularFile() {
        QFETCH(QString, kind);
        QFETCH(bool, applied);
        QDir dir(programDir_->path());
        QVERIFY(dir.mkdir(QStringLiteral("x")));
        const QString skin = dir.filePath(QStringLiteral("x/o.cjs"));
        const QString sheet = QStringLiteral("QPushButton { color: #123456; }");
        if (kind == "file") {
            QFile file(skin);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(sheet.toUtf8());
        } else if (kind == "folder") {
            QVERIFY(dir.mkdir(QStringLiteral("x/o.cjs")));
        }
        QWidget window;
        window.setAutoFillBackground(false);
        shell::ApplySkin(&window);
        QCOMPARE(qApp->styleSheet() == sheet, applied);
        QCOMPARE(window.autoFillBackground(), applied);  // recoloured only with a skin
        qApp->setStyleSheet(QString());
    }

    // Beside the executable first (a portable copy keeps its own files), then the user's
    // data folder, then the installed data folder beside the installed bin/. A folder of
    // the file's name is passed over.
    void supportFilesAreLookedForInOrder() {
        const QStringList folders = shell::SupportFolders();
        QCOMPARE(folders.size(), 3);
        QCOMPARE(folders[0], programDir_->path());
        QCOMPARE(folders[1], QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                 QStringLiteral("/pictrove"));
        QCOMPARE(folders[2], programDir_->root() + QStringLiteral("/share/pictrove"));
        const QString name = QStringLiteral("x/o.cjs");
        QCOMPARE(shell::FindSupportFile(name), QString());
        QStringList expected;
        for (qsizetype i = folders.size() - 1; i >= 0; --i) {
            QVERIFY(QDir().mkpath(folders[i] + QStringLiteral("/x")));
            QFile file(folders[i] + QLatin1Char('/') + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.close();
            QCOMPARE(shell::FindSupportFile(name), file.fileName());
            expected.prepend(file.fileName());
        }
        QVERIFY(QFile::remove(expected[0]));
        QVERIFY(QDir().mkpath(expected[0]));
        QCOMPARE(shell::FindSupportFile(name), expected[1]);
        QVERIFY(QDir(folders[1]).removeRecursively());
        QCOMPARE(shell::FindSupportFile(name), expected[2]);
    }

    void homePageOpensOnlyOnSeven_data() {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<bool>("opens");
        QTest::newRow("1") << 0.0 << false;
        QTest::newRow("6") << 0.0599 << false;
        QTest::newRow("7 low") << 0.06 << true;
        QTest::newRow("7 high") << 0.0699 << true;
        QTest::newRow("8") << 0.07 << false;
        QTest::newRow("100") << 0.9999 << false;
    }
    void homePageOpensOnlyOnSeven() {
        QFETCH(double, fraction);
        QFETCH(bool, opens);
        test::ScriptedServices services;
        services.random.fractions = {fraction};
        const int before = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        shell::MaybeOpenHomePage();
        const int after = QTime::currentTime().msecsSinceStartOfDay() / 1000;
        QCOMPARE(services.random.seeds.size(), 1);
        QVERIFY(int(services.random.seeds.first()) >= before || after < before);
        QVERIFY(int(services.random.seeds.first()) <= after || after < before);
        QCOMPARE(services.launcher.opened.size(), opens ? 1 : 0);
        if (opens) {
            QCOMPARE(services.launcher.opened.first(), shell::kHomePage);
        }
    }

    void settingsReadDefaultsAndSurviveANewStore() {
        QSettings(QSettings::IniFormat, QSettings::UserScope, shell::kAppName,
                  QStringLiteral("Pictrove"))
            .clear();
        QCOMPARE(shell::GetSetting(shell::kAppName, shell::kSection,
                                   QStringLiteral("Output Folder"), QStringLiteral("/home/x/")),
                 QStringLiteral("/home/x/"));
        shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Output Folder"),
                           QStringLiteral("/tmp/out dir/"));
        shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Option2"),
                           QStringLiteral("2"));
        // An empty text is a value, not a removal.
        shell::SaveSetting(shell::kAppName, shell::kSection, QStringLiteral("Empty"), QString());

        // A second, independent store sees what the first wrote (as a new run would).
        QSettings other(QSettings::IniFormat, QSettings::UserScope, shell::kAppName,
                        QStringLiteral("Pictrove"));
        QCOMPARE(other.value(QStringLiteral("Pictrove/Output Folder")).toString(),
                 QStringLiteral("/tmp/out dir/"));
        QCOMPARE(other.value(QStringLiteral("Pictrove/Option2")).toString(), QStringLiteral("2"));
        QVERIFY(other.contains(QStringLiteral("Pictrove/Empty")));
        QCOMPARE(shell::GetSetting(shell::kAppName, shell::kSection, QStringLiteral("Empty"),
                                   QStringLiteral("default")),
                 QString());
    }

  private:
    std::unique_ptr<test::ProgramFolderSandbox> programDir_;
};

QTEST_MAIN(ShellHelpersTest)
#include "shell_helpers_test.moc"
