// pictrove-cli against hostile inputs and faulty conditions: an unusable temporary
// folder, devices and pipes, names that are long, not UTF-8 or full of control
// characters, interruptions and their leftovers, pictures that cannot be read, and
// password-protected packages.

#include "support/CfbBuilder.h"
#include "support/MetafileBuilder.h"
#include "support/TestDocuments.h"
#include "support/ZipBuilder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

using namespace pictrove;

namespace {

struct Run {
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    int exitCode = -1;
    QString out, err;
    bool finished = false;
};

// Runs the tool with a bounded address space, so that a reader that grows without end
// fails instead of taking the machine.
Run cli(const QStringList& args, const QProcessEnvironment& env = {},
        const QString& workingFolder = {}, int timeoutMs = 60000) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    if (!workingFolder.isEmpty())
        p.setWorkingDirectory(workingFolder);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer reserves terabytes of shadow address space, so a sanitizer build
    // runs without the limit; the timeout still ends a reader that never stops.
    p.setChildProcessModifier([] {
        const rlimit limit{rlim_t(4) << 30, rlim_t(4) << 30};
        setrlimit(RLIMIT_AS, &limit);
    });
#endif
    p.start(QStringLiteral(PICTROVE_CLI_PATH), args);
    Run r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    }
    r.exitStatus = p.exitStatus();
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The environment with TMPDIR set; Qt's runtime folder stays out of it.
QProcessEnvironment withTmpdir(const QString& tmpdir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), tmpdir);
    const QString runtime = QFileInfo(tmpdir).absolutePath() + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return env;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes `bytes` under a name given as raw bytes (it need not be UTF-8).
void writeRaw(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
}

QString write(const QString& path, const QByteArray& bytes) {
    writeRaw(QFile::encodeName(path), bytes);
    return path;
}

QString inlinePic(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:drawing><wp:inline><a:graphic><a:graphicData><pic:pic><pic:blipFill>"
               "<a:blip r:embed=\"%1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
               "</wp:inline></w:drawing></w:r></w:p>")
        .arg(rel);
}

QString floatingPic(const QString& rel) {
    return QStringLiteral(
               "<w:p><w:r><w:pict><v:shape style=\"position:absolute\"><v:imagedata "
               "r:id=\"%1\"/></v:shape></w:pict></w:r></w:p>")
        .arg(rel);
}

// One inline and one floating picture.
QByteArray twoPictureDocx() {
    test::DocxPackage pkg;
    pkg.parts = {
        {QStringLiteral("rId1"), QStringLiteral("media/a.png"), test::pngBytes({12, 8}, Qt::red)}};
    pkg.body = inlinePic(QStringLiteral("rId1")) + floatingPic(QStringLiteral("rId1"));
    return test::makeDocx(pkg);
}

// The pid of a process that has ended.
qint64 endedProcessId() {
    QProcess p;
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
    p.waitForFinished();
    return p.readAllStandardOutput().trimmed().toLongLong();
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

}  // namespace

class HostileCliTest : public QObject {
    Q_OBJECT
  private slots:
    // Without a private temporary folder nothing is extracted, and above all nothing
    // is written where the user's files are.
    void saveRefusesToStartWithoutPrivateTemporaryFolder() {
        QTemporaryDir dir;
        const QString doc = write(dir.filePath(QStringLiteral("d.docx")), twoPictureDocx());
        const QString out = dir.filePath(QStringLiteral("out"));
        QDir().mkdir(out);
        const QString work = dir.filePath(QStringLiteral("work"));
        QDir().mkdir(work);
        // The user's files of the names a run would use for its temporary pictures.
        for (const QString& name :
             {QStringLiteral("1.bmp"), QStringLiteral("d1.bmp"), QStringLiteral("0000000001.bmp")})
            write(QDir(work).filePath(name), "mine");
        const QString notAFolder = write(dir.filePath(QStringLiteral("tmpfile")), "x");
        for (const QString& tmpdir : {notAFolder, dir.filePath(QStringLiteral("missing"))}) {
            const Run r = cli({QStringLiteral("save"), QStringLiteral("--format"),
                               QStringLiteral("bmp"), QStringLiteral("--out"), out, doc},
                              withTmpdir(tmpdir), work);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.err.contains(QStringLiteral("private temporary folder")), qPrintable(r.err));
            QVERIFY(!r.out.contains(QStringLiteral("Done.")));
            QCOMPARE(entries(out), QStringList());
            QCOMPARE(entries(work).size(), 3);
            for (const QString& name : entries(work))
                QCOMPARE(readAll(QDir(work).filePath(name)), QByteArray("mine"));
        }
    }

    // Only regular files are read: a link to a device and a pipe without a writer are
    // documents that cannot be read, found out at once.
    void devicesAndPipesAreNoDocuments() {
        QTemporaryDir dir;
        const QString zero = dir.filePath(QStringLiteral("zero.docx"));
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), zero));
        const QString fifo = dir.filePath(QStringLiteral("pipe.docx"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QString good = write(dir.filePath(QStringLiteral("good.docx")), twoPictureDocx());
        QElapsedTimer timer;
        timer.start();
        const Run r = cli({QStringLiteral("list"), zero, fifo, good}, {}, {}, 20000);
        QVERIFY2(r.finished, "the tool blocked");
        QVERIFY(timer.elapsed() < 15000);
        QCOMPARE(r.exitStatus, QProcess::NormalExit);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(zero + QStringLiteral(": not a regular file")), qPrintable(r.err));
        QVERIFY2(r.err.contains(fifo + QStringLiteral(": not a regular file")), qPrintable(r.err));
        QCOMPARE(r.out.count(good + u'\t'), 2);
    }

    // Any name that fits the file system works: the temporary names add nothing to it.
    void longNamesKeepEveryPicture() {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out"));
        QDir().mkdir(out);
        // 245 + ".docx" = 250 bytes; its outputs "..._1.bmp" 251 bytes. 80 CJK characters
        // are 240 bytes.
        const QStringList stems = {QString(245, u'a'), QString(80, QChar(0x6F22))};
        for (const QString& stem : stems) {
            const QString doc =
                write(dir.filePath(stem + QStringLiteral(".docx")), twoPictureDocx());
            const Run listed = cli({QStringLiteral("list"), doc});
            QCOMPARE(listed.exitCode, 0);
            QCOMPARE(listed.out.count(u'\n'), 3);
            const Run saved = cli({QStringLiteral("save"), QStringLiteral("--format"),
                                   QStringLiteral("bmp"), QStringLiteral("--out"), out, doc});
            QVERIFY2(saved.exitCode == 0, qPrintable(saved.err));
            for (const char* n : {"_1.bmp", "_2.bmp"}) {
                const QImage image(QDir(out).filePath(stem + QLatin1String(n)));
                QCOMPARE(image.size(), QSize(12, 8));
            }
        }
        QCOMPARE(entries(out).size(), 4);
    }

    // An interrupting signal removes the temporary folder and any half-written output
    // and ends the tool with 128 + the signal.
    void interruptedSaveLeavesNothingBehind_data() {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void interruptedSaveLeavesNothingBehind() {
        QFETCH(int, signal);
        QTemporaryDir dir;
        const QString tmpdir = dir.filePath(QStringLiteral("tmp"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QDir().mkdir(tmpdir);
        QDir().mkdir(out);
        const QByteArray bytes = twoPictureDocx();
        QStringList args = {QStringLiteral("save"), QStringLiteral("--format"),
                            QStringLiteral("bmp"), QStringLiteral("--out"), out};
        for (int i = 0; i < 3000; ++i)
            args << write(dir.filePath(QStringLiteral("d%1.docx").arg(i)), bytes);
        QProcess p;
        p.setProcessEnvironment(withTmpdir(tmpdir));
        p.start(QStringLiteral(PICTROVE_CLI_PATH), args);
        QVERIFY(p.waitForStarted());
        // Interrupted once the run has its folder and has written some pictures.
        QTRY_VERIFY_WITH_TIMEOUT(entries(out).size() > 10, 30000);
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 128 + signal);
        QCOMPARE(entries(tmpdir), QStringList());
        for (const QString& name : entries(out))
            QVERIFY2(name.endsWith(QStringLiteral(".bmp")) && !name.startsWith(u'.'),
                     qPrintable(name));
    }

    // What a killed run left is removed by the next one, and only that: the folders
    // and part files of processes that are alive, and names that are not ours, stay.
    void leftoversOfEndedRunsAreRemovedAndNothingElse() {
        QTemporaryDir dir;
        const QString tmpdir = dir.filePath(QStringLiteral("tmp"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QDir().mkdir(tmpdir);
        QDir().mkdir(out);
        const qint64 dead = endedProcessId();
        QVERIFY(dead > 0 && ::kill(pid_t(dead), 0) != 0);
        const QString alive = QString::number(QCoreApplication::applicationPid());
        const QString staleFolder = QStringLiteral("pictrove-%1-0").arg(dead);
        QDir(tmpdir).mkpath(staleFolder + QStringLiteral("/sub"));
        write(QDir(tmpdir).filePath(staleFolder + QStringLiteral("/0000000001.bmp")), "x");
        const QStringList keptFolders = {QStringLiteral("pictrove-%1-0").arg(alive),
                                         QStringLiteral("pictrove-cli-AbCdEf"),
                                         QStringLiteral("other-%1-0").arg(dead)};
        for (const QString& name : keptFolders)
            QDir(tmpdir).mkdir(name);
        // A link of our name leads elsewhere: neither it nor what it leads to goes.
        const QString target = dir.filePath(QStringLiteral("target"));
        QDir().mkdir(target);
        write(QDir(target).filePath(QStringLiteral("keep")), "x");
        QVERIFY(
            QFile::link(target, QDir(tmpdir).filePath(QStringLiteral("pictrove-%1-1").arg(dead))));

        const QString stalePart = QStringLiteral(".pictrove-%1-7.part").arg(dead);
        const QStringList keptParts = {QStringLiteral(".pictrove-%1-7.part").arg(alive),
                                       QStringLiteral(".d_1.bmp.0123456789abcdef.part"),
                                       QStringLiteral("pictrove-%1-7.part").arg(dead)};
        write(QDir(out).filePath(stalePart), "half");
        for (const QString& name : keptParts)
            write(QDir(out).filePath(name), "keep");

        const QString doc = write(dir.filePath(QStringLiteral("d.docx")), twoPictureDocx());
        const Run r = cli({QStringLiteral("save"), QStringLiteral("--format"),
                           QStringLiteral("bmp"), QStringLiteral("--out"), out, doc},
                          withTmpdir(tmpdir));
        QCOMPARE(r.exitCode, 0);
        QStringList expectedTmp = keptFolders;
        expectedTmp << QStringLiteral("pictrove-%1-1").arg(dead);
        expectedTmp.sort();
        QStringList tmp = entries(tmpdir);
        tmp.sort();
        QCOMPARE(tmp, expectedTmp);
        QVERIFY(QFile::exists(QDir(target).filePath(QStringLiteral("keep"))));
        QStringList expectedOut = keptParts;
        expectedOut << QStringLiteral("d_1.bmp") << QStringLiteral("d_2.bmp");
        expectedOut.sort();
        QStringList outEntries = entries(out);
        outEntries.sort();
        QCOMPARE(outEntries, expectedOut);
    }

    // A name is bytes: one that is no UTF-8 is opened, listed with its odd bytes as \xHH,
    // and its pictures are saved under names of the same bytes.
    void namesThatAreNoUtf8AreOpened() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path());
        writeRaw(folder + "/caf\xe9.docx", twoPictureDocx());
        QDir().mkdir(dir.filePath(QStringLiteral("out")));
        QProcess p;
        p.setWorkingDirectory(dir.path());
        // Through the shell, which passes the name's bytes as they are.
        p.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$0\" list caf*.docx && \"$0\" save --format bmp --out out "
                                "caf*.docx"),
                 QStringLiteral(PICTROVE_CLI_PATH)});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY2(out.contains(QStringLiteral("caf\\xe9.docx\t1\tinline\t1\tpng\t12\t8\n")),
                 qPrintable(out));
        struct stat st {};
        QCOMPARE(::stat(folder + "/out/caf\xe9_1.bmp", &st), 0);
        QCOMPARE(::stat(folder + "/out/caf\xe9_2.bmp", &st), 0);
        std::error_code ignored;  // QTemporaryDir cannot remove names that are no UTF-8
        std::filesystem::remove_all(folder.toStdString(), ignored);
    }

    // A name with a tab or a line break cannot forge rows.
    void controlCharactersInNamesAreEscaped() {
        QTemporaryDir dir;
        const QString doc =
            write(dir.filePath(QStringLiteral("a\tb\nc\\d.docx")), twoPictureDocx());
        const Run r = cli({QStringLiteral("list"), doc});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        const QString shown = dir.path() + QStringLiteral("/a\\tb\\nc\\\\d.docx");
        QCOMPARE(lines[1], shown + QStringLiteral("\t1\tinline\t1\tpng\t12\t8"));
        QCOMPARE(lines[2].section(u'\t', 0, 0), shown);
        QCOMPARE(lines[2].count(u'\t'), 6);
    }

    // A picture that is there but cannot be read is named on standard error and gives
    // status 3; a shape without picture is no failure; an unreadable document wins.
    void unreadablePicturesAreReported() {
        QTemporaryDir dir;
        QByteArray huge = test::pngBytes({4, 4}, Qt::red);
        // IHDR width and height: 100000 x 100000.
        const QByteArray side("\x00\x01\x86\xa0", 4);
        huge.replace(16, 4, side).replace(20, 4, side);
        test::DocxPackage pkg;
        pkg.parts = {
            {QStringLiteral("rId1"), QStringLiteral("media/a.png"),
             test::pngBytes({12, 8}, Qt::red)},
            {QStringLiteral("rId2"), QStringLiteral("media/b.png"), "no picture at all"},
            {QStringLiteral("rId3"), QStringLiteral("media/c.png"), huge},
            {QStringLiteral("rId4"), QStringLiteral("http://example.invalid/d.png"), {}, true}};
        pkg.body = inlinePic(QStringLiteral("rId2")) + inlinePic(QStringLiteral("rId1")) +
                   inlinePic(QStringLiteral("rId4")) + inlinePic(QStringLiteral("rId3"));
        const QString doc = write(dir.filePath(QStringLiteral("d.docx")), test::makeDocx(pkg));
        pkg.body = inlinePic(QStringLiteral("rId1")) + inlinePic(QStringLiteral("rId4"));
        const QString linked = write(dir.filePath(QStringLiteral("l.docx")), test::makeDocx(pkg));
        const QString bad = write(dir.filePath(QStringLiteral("bad.docx")), "garbage");
        const QString out = dir.filePath(QStringLiteral("out"));
        QDir().mkdir(out);

        const Run listed = cli({QStringLiteral("list"), doc});
        QCOMPARE(listed.exitCode, 3);
        QCOMPARE(listed.out.count(u'\n'), 2);
        const QStringList errors = listed.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors[0].startsWith(QStringLiteral("pictrove-cli: ") + doc +
                                      QStringLiteral(": picture 1: ")),
                 qPrintable(errors[0]));
        QVERIFY2(errors[1].startsWith(QStringLiteral("pictrove-cli: ") + doc +
                                      QStringLiteral(": picture 4: ")),
                 qPrintable(errors[1]));
        QVERIFY(errors[1].contains(QStringLiteral("100000")));

        const Run saved = cli({QStringLiteral("save"), QStringLiteral("--format"),
                               QStringLiteral("bmp"), QStringLiteral("--out"), out, doc});
        QCOMPARE(saved.exitCode, 3);
        QCOMPARE(saved.err, listed.err);
        QCOMPARE(entries(out), QStringList{QStringLiteral("d_2.bmp")});

        // A checksum that does not match the picture's bytes.
        test::DocxPackage one;
        one.parts = {pkg.parts[0]};
        one.body = inlinePic(QStringLiteral("rId1"));
        QByteArray zip = test::makeDocx(one);
        const QByteArray name("word/media/a.png");
        for (qsizetype at = zip.indexOf(name); at >= 0; at = zip.indexOf(name, at + 1)) {
            // The CRC sits 16 bytes before the name in a local header, 30 in a central one.
            const bool local = at >= 30 && zip.mid(at - 30, 4) == "PK\x03\x04";
            const bool central = at >= 46 && zip.mid(at - 46, 4) == "PK\x01\x02";
            if (local || central) {
                const qsizetype crc = local ? at - 16 : at - 30;
                zip[crc] = char(zip[crc] ^ 0x5a);
            }
        }
        const QString crc = write(dir.filePath(QStringLiteral("crc.docx")), zip);
        const Run checked = cli({QStringLiteral("list"), crc});
        QCOMPARE(checked.exitCode, 3);
        QVERIFY2(checked.err.startsWith(QStringLiteral("pictrove-cli: ") + crc +
                                        QStringLiteral(": picture 1: the zip entry")),
                 qPrintable(checked.err));

        QCOMPARE(cli({QStringLiteral("list"), linked}).exitCode, 0);
        QCOMPARE(cli({QStringLiteral("list"), doc, bad}).exitCode, 1);
        QCOMPARE(cli({QStringLiteral("list"), bad, doc}).exitCode, 1);
    }

    // A password-protected package is said to be one.
    void passwordProtectedPackagesAreNamed() {
        QTemporaryDir dir;
        test::CfbBuilder cfb;
        cfb.addStream(QStringLiteral("EncryptionInfo"), QByteArray(200, '\x04'));
        cfb.addStream(QStringLiteral("EncryptedPackage"), QByteArray(5000, '\x5a'));
        const QString doc = write(dir.filePath(QStringLiteral("secret.docx")), cfb.build());
        test::ZipBuilder zip;
        zip.add(QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text",
                test::ZipBuilder::Method::Store)
            .add(QStringLiteral("content.xml"), QByteArray(300, '\x9c'))
            .add(QStringLiteral("META-INF/manifest.xml"),
                 "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:"
                 "manifest:1.0\"><manifest:file-entry manifest:full-path=\"content.xml\">"
                 "<manifest:encryption-data/></manifest:file-entry></manifest:manifest>");
        const QString odt = write(dir.filePath(QStringLiteral("secret.odt")), zip.build());
        const Run r = cli({QStringLiteral("list"), doc, odt});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QStringLiteral("pictrove-cli: ") + doc +
                            QStringLiteral(": the document is password-protected\n") +
                            QStringLiteral("pictrove-cli: ") + odt +
                            QStringLiteral(": the document is password-protected\n"));
    }

    // list reads sizes from headers: a group of pictures that are slow to draw is
    // listed at once, with the size composing it would give.
    void listDrawsNothing() {
        QTemporaryDir dir;
        test::EmfBuilder emf(1500, 1500);
        emf.createBrush(1, 0, Qt::blue).selectObject(1);
        for (int i = 0; i < 4000; ++i)
            emf.ellipse(QRect(i % 7, i % 5, 1490, 1490));
        const QByteArray slow = emf.finish();
        test::DocxPackage pkg;
        pkg.parts = {{QStringLiteral("rId1"), QStringLiteral("media/a.emf"), slow},
                     {QStringLiteral("rId2"), QStringLiteral("media/b.emf"), slow}};
        pkg.body = test::pictureGroupXml({{QStringLiteral("rId1"), QRect(0, 0, 100, 100)},
                                          {QStringLiteral("rId2"), QRect(100, 0, 100, 100)}},
                                         QSize(200, 100));
        const QString doc = write(dir.filePath(QStringLiteral("g.docx")), test::makeDocx(pkg));
        QElapsedTimer timer;
        timer.start();
        const Run r = cli({QStringLiteral("list"), doc});
        const qint64 ms = timer.elapsed();
        QCOMPARE(r.exitCode, 0);
        // Two 1500-pixel children side by side.
        QCOMPARE(r.out.section(u'\n', 1, 1),
                 doc + QStringLiteral("\t1\tfloating\t1\tpng\t3000\t1500"));
        QVERIFY2(ms < 3000, qPrintable(QString::number(ms)));
    }
};

QTEST_GUILESS_MAIN(HostileCliTest)
#include "hostile_cli_test.moc"
