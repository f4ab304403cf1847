// The save under faulty conditions: files of the user in the output folder, damaged
// pictures, impossible names and sizes, a full disk, a folder in the way, two saves at
// once, and a save spread over several threads.

#include "Pictures.h"
#include "ResultRows.h"
#include "core/extract/Results.h"
#include "core/save/BmpFile.h"
#include "core/save/SaveAsJPG.h"
#include "core/save/SaveResults.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace pictrove;
using results::OutputFormat;
using results::RowProblem;
using results::SaveOptions;
using results::SaveOutcome;
using results::SaveResults;
using results::SaveStatus;

namespace {

using Rows = QList<std::tuple<QString, QString, picture::Picture>>;

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                  QDir::Name);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A PNG whose header is sound and whose pixel data is cut short: it lists, but does not
// decode.
picture::Picture damagedPicture() {
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            image.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return picture::Picture::fromEncoded(png.left(png.size() / 2));
}

// Rows of every kind a save meets: good pictures, clashing names, a damaged picture,
// rows without picture, and pictures of different sizes.
Rows mixedRows() {
    Rows rows;
    for (int i = 0; i < 24; ++i) {
        const QString document = QStringLiteral("/d%1/report%2.docx").arg(i % 3).arg(i % 5);
        picture::Picture picture =
            i % 7 == 3   ? damagedPicture()
            : i % 6 == 5 ? picture::Picture()
                         : test::solidPicture(20 + i, 10 + 2 * i, QColor(i * 10, 255 - i * 9, 80));
        rows.append({document, QString::number(i / 5 + 1), picture});
    }
    return rows;
}

// The folder's files and their bytes.
QMap<QString, QByteArray> contents(const QString& folder) {
    QMap<QString, QByteArray> out;
    for (const QString& name : filesIn(folder)) {
        out.insert(name, readAll(QDir(folder).filePath(name)));
    }
    return out;
}

// Mounts a small file system at `folder`; false where that is not allowed.
bool mountTinyDisk(const QString& folder) {
    return QProcess::execute(QStringLiteral("mount"),
                             {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                              QStringLiteral("size=64k"), QStringLiteral("tmpfs"), folder}) == 0;
}

}  // namespace

class HostileSaveTest : public QObject {
    Q_OBJECT

  private slots:
    void jpg_save_leaves_the_users_bmp_files_alone() {
        QTemporaryDir out;
        writeFile(out.filePath(QStringLiteral("report_1.bmp")), "an earlier BMP save");
        const auto rows = test::resultRows({{"/d/report.docx", "1", test::solidPicture(40, 30)}});
        const SaveOutcome outcome = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(outcome.files, QStringList{out.filePath(QStringLiteral("report_1.jpg"))});
        QCOMPARE(filesIn(out.path()), (QStringList{"report_1.bmp", "report_1.jpg"}));
        QCOMPARE(readAll(out.filePath(QStringLiteral("report_1.bmp"))),
                 QByteArray("an earlier BMP save"));
    }

    void jpg_is_encoded_from_the_same_bitmap_a_bmp_file_would_hold() {
        QImage image(37, 23, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                image.setPixel(x, y, qRgba(x * 7, y * 11, 90, (x * y) % 256));
            }
        }
        const picture::Picture picture = picture::Picture::fromImage(image);
        QTemporaryDir out;
        const QString bmp = out.filePath(QStringLiteral("through.bmp"));
        QVERIFY(results::writeBmp(picture.toImage(), bmp).ok());
        QVERIFY(!results::SaveJPGFile(results::readBmp(bmp).image,
                                      out.filePath(QStringLiteral("through.jpg")), 77));
        const auto rows = test::resultRows({{"/d/a.docx", "1", picture}});
        QCOMPARE(SaveResults(rows, {out.path(), OutputFormat::Jpg, 77}).status, SaveStatus::Done);
        QCOMPARE(readAll(out.filePath(QStringLiteral("a_1.jpg"))),
                 readAll(out.filePath(QStringLiteral("through.jpg"))));
    }

    // What another save (or anything else) keeps at NAME.bmp is no business of a JPG save.
    void a_jpg_save_needs_nothing_at_the_bitmaps_name() {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkdir(QStringLiteral("report_1.bmp")));
        const auto rows = test::resultRows({{"/d/report.docx", "1", test::solidPicture(40, 30)}});
        const SaveOutcome outcome = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(outcome.written, 1);
        QCOMPARE(QImage(out.filePath(QStringLiteral("report_1.jpg"))).size(), QSize(40, 30));
    }

    void two_saves_into_one_folder_at_once_do_not_collide() {
        Rows many;
        for (int i = 1; i <= 60; ++i) {
            many.append({QStringLiteral("/d/a.docx"), QString::number(i),
                         test::solidPicture(200, 150, QColor(i * 4, 0, 0))});
        }
        const auto rows = test::resultRows(many);
        QTemporaryDir out;
        SaveOutcome first, second;
        std::thread other([&] {
            first = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85, 1});
        });
        second = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85, 1});
        other.join();
        QCOMPARE(first.status, SaveStatus::Done);
        QCOMPARE(second.status, SaveStatus::Done);
        QCOMPARE(first.written, 60);
        QCOMPARE(second.written, 60);
        QCOMPARE(filesIn(out.path()).size(), 60);
        for (const QString& name : filesIn(out.path())) {
            QVERIFY2(name.endsWith(QStringLiteral(".jpg")), qPrintable(name));
            QCOMPARE(QImage(out.filePath(name)).size(), QSize(200, 150));
        }
    }

    void a_damaged_picture_costs_only_its_row() {
        QTemporaryDir out;
        const auto rows = test::resultRows({{"/d/a.docx", "1", test::solidPicture(8, 8)},
                                            {"/d/a.docx", "2", damagedPicture()},
                                            {"/d/b.docx", "1", test::solidPicture(8, 8)},
                                            {"/d/b.docx", "2", picture::Picture()}});
        for (const OutputFormat format : {OutputFormat::Bmp, OutputFormat::Jpg}) {
            const SaveOutcome outcome = SaveResults(rows, {out.path(), format, 85});
            QCOMPARE(outcome.status, SaveStatus::Done);
            QCOMPARE(outcome.written, 2);
            QVERIFY2(outcome.message().endsWith(
                         QStringLiteral("\n\n1 row had no picture and was not saved.\n"
                                        "1 row had a damaged picture and was not saved.")),
                     qPrintable(outcome.message()));
        }
        QCOMPARE(filesIn(out.path()), (QStringList{"a_1.bmp", "a_1.jpg", "b_1.bmp", "b_1.jpg"}));
    }

    void a_name_too_long_costs_only_its_row() {
        QTemporaryDir out;
        const QString longName =
            QStringLiteral("/d/") + QString(250, u'n') + QStringLiteral(".docx");
        const auto rows = test::resultRows({{longName, "1", test::solidPicture(8, 8)},
                                            {"/d/short.docx", "1", test::solidPicture(8, 8)}});
        const SaveOutcome outcome = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(filesIn(out.path()), QStringList{QStringLiteral("short_1.jpg")});
        QVERIFY2(outcome.message().endsWith(
                     QStringLiteral("\n\n1 row had a file name too long for the output folder "
                                    "and was not saved.")),
                 qPrintable(outcome.message()));
    }

    void a_picture_too_wide_for_jpeg_costs_only_its_row() {
        QTemporaryDir out;
        const auto rows = test::resultRows({{"/d/wide.docx", "1", test::solidPicture(65501, 1)},
                                            {"/d/wide.docx", "2", test::solidPicture(65500, 1)}});
        const SaveOutcome outcome = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(filesIn(out.path()), QStringList{QStringLiteral("wide_2.jpg")});
        QVERIFY2(outcome.message().endsWith(
                     QStringLiteral("\n\n1 row had a picture too large for its file format and "
                                    "was not saved.")),
                 qPrintable(outcome.message()));
        // BMP has no such limit.
        QCOMPARE(SaveResults(rows, {out.path(), OutputFormat::Bmp, 85}).written, 2);
    }

    void a_folder_in_the_way_is_named_and_costs_only_its_row() {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkdir(QStringLiteral("b_1.jpg")));
        const auto rows = test::resultRows({{"/d/a.docx", "1", test::solidPicture(4, 4)},
                                            {"/d/b.docx", "1", test::solidPicture(4, 4)},
                                            {"/d/c.docx", "1", test::solidPicture(4, 4)}});
        const SaveOutcome outcome = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85});
        QCOMPARE(outcome.status, SaveStatus::Done);
        QCOMPARE(outcome.written, 2);
        QVERIFY2(outcome.message().endsWith(QStringLiteral(
                     "\n\n1 row was not saved: a folder named b_1.jpg is in the way.")),
                 qPrintable(outcome.message()));
    }

    void a_full_disk_is_called_so_and_stops_the_save() {
        QTemporaryDir parent;
        const QString disk = parent.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkdir(disk));
        if (!mountTinyDisk(disk)) {
            QSKIP("cannot mount a small file system here");
        }
        const auto rows = test::resultRows({{"/d/a.docx", "1", test::solidPicture(8, 8)},
                                            {"/d/b.docx", "1", test::solidPicture(300, 300)},
                                            {"/d/c.docx", "1", test::solidPicture(8, 8)}});
        const SaveOutcome outcome = SaveResults(rows, {disk, OutputFormat::Bmp, 85});
        const QStringList left = filesIn(disk);
        QProcess::execute(QStringLiteral("umount"), {disk});
        QCOMPARE(outcome.status, SaveStatus::Failed);
        QCOMPARE(outcome.message(), QStringLiteral("Cannot write %1: the disk is full.")
                                        .arg(QDir(disk).filePath(QStringLiteral("b_1.bmp"))));
        QCOMPARE(left, QStringList{QStringLiteral("a_1.bmp")});
    }

    // The rows skipped, with their reasons, for the command line to name them.
    void skipped_rows_are_listed_in_row_order_with_their_reasons() {
        QTemporaryDir out;
        QVERIFY(QDir(out.path()).mkdir(QStringLiteral("c_1.jpg")));
        const auto rows = test::resultRows({{"/d/a.docx", "1", damagedPicture()},
                                            {"/d/w.docx", "1", test::solidPicture(70000, 1)},
                                            {"/d/c.docx", "1", test::solidPicture(4, 4)}});
        const SaveOutcome outcome = SaveResults(rows, {out.path(), OutputFormat::Jpg, 85, 2});
        QCOMPARE(outcome.notSaved.size(), 3);
        QCOMPARE(outcome.notSaved[0].problem, RowProblem::Undecodable);
        QCOMPARE(outcome.notSaved[0].document, QStringLiteral("/d/a.docx"));
        QCOMPARE(outcome.notSaved[1].problem, RowProblem::TooLarge);
        QVERIFY(outcome.notSaved[1].reason.contains(QStringLiteral("70000 x 1")));
        QCOMPARE(outcome.notSaved[2].problem, RowProblem::FolderInTheWay);
        QCOMPARE(outcome.notSaved[2].row, 3);
        QCOMPARE(outcome.notSaved[2].number, QStringLiteral("1"));
    }

    void a_failed_write_stops_at_that_row_for_any_number_of_jobs() {
        for (const int jobs : {1, 3}) {
            QTemporaryDir parent;
            const QString out = parent.filePath(QStringLiteral("out"));
            QVERIFY(QDir().mkdir(out));
            Rows many;
            for (int i = 1; i <= 12; ++i) {
                many.append(
                    {QStringLiteral("/d/a.docx"), QString::number(i), test::solidPicture(30, 30)});
            }
            // The folder goes away just before row 5 is written.
            const auto progress = [&](int row, int, const QString&) {
                if (row == 5) {
                    QDir().rename(out, parent.filePath(QStringLiteral("gone")));
                }
                return true;
            };
            const SaveOutcome outcome =
                SaveResults(test::resultRows(many), {out, OutputFormat::Jpg, 85, jobs}, progress);
            QCOMPARE(outcome.status, SaveStatus::Failed);
            QCOMPARE(outcome.written, 4);
            QVERIFY(outcome.message().startsWith(
                QStringLiteral("Cannot write %1:")
                    .arg(QDir(out).filePath(QStringLiteral("a_5.jpg")))));
            QCOMPARE(filesIn(parent.filePath(QStringLiteral("gone"))),
                     (QStringList{"a_1.jpg", "a_2.jpg", "a_3.jpg", "a_4.jpg"}));
        }
    }

    void a_save_on_several_threads_writes_what_one_thread_writes() {
        const auto rows = test::resultRows(mixedRows());
        for (const OutputFormat format :
             {OutputFormat::Bmp, OutputFormat::Jpg, OutputFormat::Original}) {
            QTemporaryDir one, four;
            QStringList progressOne, progressFour;
            const SaveOutcome a =
                SaveResults(rows, {one.path(), format, 60, 1}, [&](int row, int, const QString&) {
                    progressOne << QString::number(row);
                    return true;
                });
            const SaveOutcome b =
                SaveResults(rows, {four.path(), format, 60, 4}, [&](int row, int, const QString&) {
                    progressFour << QString::number(row);
                    return true;
                });
            QCOMPARE(a.message().replace(one.path(), QString()),
                     b.message().replace(four.path(), QString()));
            QCOMPARE(a.written, b.written);
            QCOMPARE(a.notSaved.size(), b.notSaved.size());
            // Original keeps the stored bytes, damaged or not: nothing is decoded to write them.
            QCOMPARE(a.notSaved.isEmpty(), format == OutputFormat::Original);
            for (qsizetype i = 0; i < a.notSaved.size(); ++i) {
                QCOMPARE(a.notSaved[i].row, b.notSaved[i].row);
                QCOMPARE(a.notSaved[i].reason, b.notSaved[i].reason);
            }
            QCOMPARE(progressOne, progressFour);
            QCOMPARE(contents(one.path()), contents(four.path()));
        }
    }
};

QTEST_MAIN(HostileSaveTest)
#include "hostile_save_test.moc"
