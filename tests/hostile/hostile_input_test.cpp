// The window's run without a private temporary folder, and the name helpers that keep
// file names as bytes and rows as one line.

#include "Pictures.h"
#include "ProgramFolderSandbox.h"
#include "ScriptedApplication.h"
#include "ScriptedServices.h"
#include "core/extract/FieldEscape.h"
#include "core/platform/PathText.h"
#include "core/platform/TemporaryFiles.h"
#include "gui/main/Form1.h"
#include "gui/run/ExtractionRun.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace pictrove;

class HostileInputTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // The run does not start without its own folder: one message with the reason, no
    // document opened, no results, and nothing written in the current folder.
    void runRefusesToStartWithoutPrivateTemporaryFolder() {
        test::ScriptedServices services;
        test::ProgramFolderSandbox programDir;
        test::ScriptedEngine engine;
        engine.documents[QStringLiteral("/d/a.docx")].inlinePictures = {test::solidPicture(3, 3)};
        QStringList folders;
        extract::SetEnvironmentForTesting([&](const QString& folder) {
            folders << folder;
            return engine.environment(folder);
        });
        QTemporaryDir dir;
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        const QByteArray tmpdir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.filePath(QStringLiteral("missing"))));
        {
            shell::Form1 form;
            form.load();
            form.show();
            form.ListView1->appendRow(QStringLiteral("/d/a.docx"));
            form.PushButton2->click();
            QCOMPARE(services.prompts.messages.size(), 1);
            QCOMPARE(services.prompts.messages[0].icon, platform::MsgIcon::Critical);
            QVERIFY2(services.prompts.messages[0].text.contains(
                         QStringLiteral("private temporary folder")),
                     qPrintable(services.prompts.messages[0].text));
            QVERIFY(folders.isEmpty());
            QVERIFY(engine.calls.isEmpty());
            QVERIFY(!extract::ResultsWindowIfLoaded(form));
            QVERIFY(form.PushButton2->isEnabled());
        }
        qputenv("TMPDIR", tmpdir);
        QDir::setCurrent(before);
        extract::SetEnvironmentForTesting({});
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    }

    // Every byte string comes back as it was; valid UTF-8 is read as text; the odd bytes
    // (including UTF-8 forms of surrogates and overlong forms) are kept one by one.
    void namesRoundTripAsBytes() {
        QByteArray all;
        for (int b = 1; b < 256; ++b)
            all += char(b);
        const QList<QByteArray> names = {
            "caf\xe9.docx",
            "caf\xc3\xa9.docx",
            "\xed\xa0\x80",
            "\xc0\xaf",
            "\xf4\x90\x80\x80",
            "\xe6\xbc\xa2\xe5",  // a whole character, then one cut short
            all};
        for (const QByteArray& name : names)
            QCOMPARE(platform::pathToNative(platform::pathFromNative(name)), name);
        QCOMPARE(platform::pathFromNative("caf\xc3\xa9"), QStringLiteral("caf\u00e9"));
        QCOMPARE(platform::pathFromNative("caf\xe9").size(), 4);
        // A proper surrogate pair is text, not escaped bytes.
        const QString emoji = QString::fromUtf8("\xf0\x9f\x93\xb7");
        QCOMPARE(platform::pathToNative(emoji), QByteArray("\xf0\x9f\x93\xb7"));
        QCOMPARE(extract::EscapeField(emoji), emoji);
    }

    void fieldsStayOneField() {
        QCOMPARE(extract::EscapeField(QStringLiteral("a\tb\nc\\d\re")),
                 QStringLiteral("a\\tb\\nc\\\\d\\re"));
        QCOMPARE(extract::EscapeField(platform::pathFromNative("caf\xe9\\x")),
                 QStringLiteral("caf\\xe9\\\\x"));
    }

    // Temporary and part-file names are short and of one length, whatever they stand for.
    void temporaryNamesAreShort() {
        QCOMPARE(platform::temporaryFileName(1, QStringLiteral(".bmp")),
                 QStringLiteral("0000000001.bmp"));
        QCOMPARE(platform::temporaryFileName(4294967295u, QStringLiteral(".bmp")).size(), 14);
        const QString part = platform::partFileName();
        QVERIFY(part.startsWith(
            QStringLiteral(".pictrove-%1-").arg(QCoreApplication::applicationPid())));
        QVERIFY(part.endsWith(QStringLiteral(".part")));
        QVERIFY(part != platform::partFileName());
    }
};

QTEST_MAIN(HostileInputTest)
#include "hostile_input_test.moc"
