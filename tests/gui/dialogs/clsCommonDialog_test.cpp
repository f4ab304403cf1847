#include "gui/dialogs/clsCommonDialog.h"

#include <QTest>

using namespace pictrove::dialogs;

namespace {

const QChar NUL(u'\0');

// The platform's dialogs answered by a script: what the user does next, and what the
// dialogs were handed.
class ScriptedDialogs final : public CommonDialogPlatform {
  public:
    enum class Answer { Choose, Cancel, Fail, OddResult };
    Answer answer = Answer::Choose;
    QString chosenFile = QStringLiteral("/home/ann/report.docx");
    QString chosenTitle = QStringLiteral("report.docx");
    std::uint32_t chosenColor = 0x00123456;
    std::optional<ShellItem> chosenFolder;
    std::int32_t failCode = 0x3002;

    int openCalls = 0;
    int saveCalls = 0;
    int colorCalls = 0;
    OpenFileNameRecord fileSeen;
    ChooseColorRecord colorSeen;
    std::array<std::uint32_t, 16> customSeen{};
    BrowseInfoRecord browseSeen;

    std::int32_t getOpenFileName(OpenFileNameRecord& record) override {
        ++openCalls;
        return fileDialog(record);
    }
    std::int32_t getSaveFileName(OpenFileNameRecord& record) override {
        ++saveCalls;
        return fileDialog(record);
    }
    std::int32_t chooseColor(ChooseColorRecord& record) override {
        ++colorCalls;
        colorSeen = record;
        customSeen = *record.lpCustColors;
        record.lpCustColors->fill(0x000000FF);  // the user defines custom colours
        if (answer != Answer::Choose) {
            return finish(answer);
        }
        record.rgbResult = chosenColor;
        return 1;
    }
    std::optional<ShellItem> browseForFolder(const BrowseInfoRecord& record) override {
        browseSeen = record;
        return chosenFolder;
    }
    std::int32_t extendedError() override { return error_; }

  private:
    std::int32_t fileDialog(OpenFileNameRecord& record) {
        fileSeen = record;
        // The user picks another filter pair; the wrapper must not read it back.
        record.nFilterIndex = 3;
        record.Flags |= 0x4;
        if (answer != Answer::Choose) {
            return finish(answer);
        }
        error_ = storeChosenFile(record, chosenFile, chosenTitle);
        return error_ == 0 ? 1 : 0;
    }
    std::int32_t finish(Answer a) {
        error_ = a == Answer::Cancel ? 0 : failCode;
        return a == Answer::OddResult ? 2 : 0;
    }

    std::int32_t error_ = 0;
};

enum class Method { Open, Save, Color };

std::optional<DialogError> show(clsCommonDialog& dialog, Method method) {
    switch (method) {
        case Method::Open:
            return dialog.ShowOpen();
        case Method::Save:
            return dialog.ShowSave();
        case Method::Color:
            return dialog.ShowColor();
    }
    return std::nullopt;
}

}  // namespace

class CommonDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void properties_start_at_their_initial_values() {
        ScriptedDialogs platform;
        const clsCommonDialog d(platform);
        QVERIFY(d.Filter().isNull());
        QCOMPARE(d.FilterIndex(), 0);
        QVERIFY(d.Filename().isNull());
        QVERIFY(d.FileTitle().isNull());
        QVERIFY(d.DefaultExt().isNull());
        QCOMPARE(d.DialogTitle(), QStringLiteral("Please Select a File"));
        QVERIFY(d.InitDir().isNull());
        QCOMPARE(d.flags(), 0);
        QCOMPARE(d.MaxFileSize(), 256);
        QCOMPARE(d.Color(), 0);
        QCOMPARE(d.CancelError(), false);
        QCOMPARE(d.Action(), 0);
        QCOMPARE(d.APIReturn(), 0);
        QCOMPARE(d.ExtendedError(), 0);
        QCOMPARE(d.hDC(), 0);
        QCOMPARE(d.Max(), 256);
        QCOMPARE(d.Min(), 0);
        QCOMPARE(d.Object(), nullptr);
    }

    void filter_reaches_the_dialog_as_nul_separated_pairs_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<int>("pairs");
        QTest::newRow("two pairs") << "Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"
                                   << QString("Word Documents (*.do*)") + NUL + "*.do*" + NUL +
                                          "All Files (*.*)" + NUL + "*.*" + NUL + NUL
                                   << 2;
        QTest::newRow("trailing bar ends in three NULs")
            << "Pictures|*.bmp;*.jpg|"
            << QString("Pictures") + NUL + "*.bmp;*.jpg" + NUL + NUL + NUL << 1;
        QTest::newRow("empty filter") << "" << QString(NUL) + NUL << 0;
        QTest::newRow("null filter") << QString() << QString(NUL) + NUL << 0;
    }
    void filter_reaches_the_dialog_as_nul_separated_pairs() {
        QFETCH(QString, filter);
        QFETCH(QString, seen);
        QFETCH(int, pairs);
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        d.setFilter(filter);
        QVERIFY(!d.ShowOpen());
        QCOMPARE(platform.fileSeen.lpstrFilter, seen);
        QCOMPARE(filterPairs(platform.fileSeen.lpstrFilter).size(), pairs);
        QCOMPARE(d.Filter(), filter);
    }

    void filter_to_api_and_strip_at_null() {
        QCOMPARE(clsCommonDialog::FilterToApi(QString()), QString(NUL));
        QCOMPARE(clsCommonDialog::FilterToApi("A|*.a"), QString("A") + NUL + "*.a" + NUL);
        QCOMPARE(clsCommonDialog::StripAtNull("no nul"), QStringLiteral("no nul"));
        QCOMPARE(clsCommonDialog::StripAtNull(QString("a") + NUL + "b" + NUL), QStringLiteral("a"));
        QCOMPARE(clsCommonDialog::StripAtNull(QString(NUL) + "b"), QString());
    }

    void file_buffers_hold_max_file_size_minus_one_characters_data() {
        QTest::addColumn<int>("maxFileSize");
        QTest::addColumn<int>("nameLength");
        QTest::newRow("300 characters cut to 255") << 256 << 300;
        QTest::newRow("short name padded with blanks") << 256 << 5;
        QTest::newRow("255 treated like any size") << 255 << 300;
        QTest::newRow("one character buffer") << 1 << 5;
    }
    void file_buffers_hold_max_file_size_minus_one_characters() {
        QFETCH(int, maxFileSize);
        QFETCH(int, nameLength);
        ScriptedDialogs platform;
        platform.answer = ScriptedDialogs::Answer::Cancel;
        clsCommonDialog d(platform);
        d.setMaxFileSize(maxFileSize);
        QString name;
        for (int i = 0; i < nameLength; ++i) {
            name += QChar(u'a' + i % 26);
        }
        d.setFilename(name);
        QVERIFY(!d.ShowOpen());
        const OpenFileNameRecord& r = platform.fileSeen;
        const int kept = qMin(nameLength, maxFileSize - 1);
        QCOMPARE(r.lpstrFile.size(), maxFileSize);
        QCOMPARE(r.lpstrFile.left(kept), name.left(kept));
        QCOMPARE(r.lpstrFile.mid(kept, maxFileSize - 1 - kept),
                 QString(maxFileSize - 1 - kept, QLatin1Char(' ')));
        QCOMPARE(r.lpstrFile.back(), NUL);
        QCOMPARE(r.nMaxFile, std::uint32_t(maxFileSize));
        QCOMPARE(r.lpstrFileTitle, QString(maxFileSize - 1, QLatin1Char(' ')) + NUL);
        QCOMPARE(r.nMaxFileTitle, std::uint32_t(maxFileSize));
        QCOMPARE(d.Filename(), name);  // a cancel leaves it as the caller set it
    }

    void max_file_size_below_one_shows_no_dialog_data() {
        QTest::addColumn<int>("maxFileSize");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
    }
    void max_file_size_below_one_shows_no_dialog() {
        QFETCH(int, maxFileSize);
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.APIReturn(), 1);
        d.setMaxFileSize(maxFileSize);
        d.setCancelError(true);
        QVERIFY(!d.ShowOpen());
        QVERIFY(!d.ShowSave());
        QCOMPARE(platform.openCalls, 1);
        QCOMPARE(platform.saveCalls, 0);
        QCOMPARE(d.APIReturn(), 0);
        QCOMPARE(d.ExtendedError(), 0);
    }

    void cancel_raises_only_with_cancel_error_data() {
        QTest::addColumn<Method>("method");
        QTest::addColumn<bool>("cancelError");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        QTest::newRow("open, no CancelError") << Method::Open << false << 0 << QString();
        QTest::newRow("open, CancelError") << Method::Open << true << 2001 << QString();
        QTest::newRow("save, no CancelError") << Method::Save << false << 0 << QString();
        QTest::newRow("save, CancelError") << Method::Save << true << 2001 << QString();
        QTest::newRow("colour, no CancelError") << Method::Color << false << 0 << QString();
        QTest::newRow("colour, CancelError")
            << Method::Color << true << -2147220610 << QStringLiteral("Cancel Pressed");
    }
    void cancel_raises_only_with_cancel_error() {
        QFETCH(Method, method);
        QFETCH(bool, cancelError);
        QFETCH(int, number);
        QFETCH(QString, description);
        ScriptedDialogs platform;
        platform.answer = ScriptedDialogs::Answer::Cancel;
        clsCommonDialog d(platform);
        d.setCancelError(cancelError);
        d.setFilename(QStringLiteral("kept.doc"));
        d.setFileTitle(QStringLiteral("kept"));
        d.setColor(0x00ABCDEF);
        const std::optional<DialogError> error = show(d, method);
        QCOMPARE(error.has_value(), cancelError);
        if (error) {
            QCOMPARE(error->number, number);
            QCOMPARE(error->description, description);
        }
        QCOMPARE(d.APIReturn(), 0);
        QCOMPARE(d.ExtendedError(), 0);
        QCOMPARE(d.Filename(), QStringLiteral("kept.doc"));
        QCOMPARE(d.FileTitle(), QStringLiteral("kept"));
        QCOMPARE(d.Color(), 0x00ABCDEF);
    }

    void name_too_long_for_the_buffer_gives_the_extended_error() {
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        d.setMaxFileSize(10);
        d.setFilename(QStringLiteral("old"));
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.APIReturn(), 0);
        QCOMPARE(d.ExtendedError(), FNERR_BUFFERTOOSMALL);
        QCOMPARE(d.Filename(), QStringLiteral("old"));
        d.setCancelError(true);
        const auto error = d.ShowSave();
        QVERIFY(error);
        QCOMPARE(error->number, kFileDialogCancelError);
        QCOMPARE(d.ExtendedError(), FNERR_BUFFERTOOSMALL);
        // The next successful dialog clears it.
        d.setMaxFileSize(256);
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.ExtendedError(), 0);
    }

    void result_other_than_zero_or_one_keeps_the_extended_error_but_raises_nothing() {
        ScriptedDialogs platform;
        platform.answer = ScriptedDialogs::Answer::OddResult;
        clsCommonDialog d(platform);
        d.setCancelError(true);
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.APIReturn(), 2);
        QCOMPARE(d.ExtendedError(), platform.failCode);
        QVERIFY(!d.ShowColor());
        QCOMPARE(d.APIReturn(), 2);
    }

    void successful_open_fills_names_and_leaves_filter_index_and_flags() {
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        d.setFilter(QStringLiteral("Word|*.doc|All|*.*"));
        d.setFilterIndex(2);
        d.setFlags(0x1000);
        d.setInitDir(QStringLiteral(""));
        d.setDefaultExt(QStringLiteral("doc"));
        QVERIFY(!d.ShowOpen());
        QCOMPARE(platform.openCalls, 1);
        QCOMPARE(d.APIReturn(), 1);
        QCOMPARE(d.Filename(), QStringLiteral("/home/ann/report.docx"));
        QCOMPARE(d.FileTitle(), QStringLiteral("report.docx"));
        QCOMPARE(d.FilterIndex(), 2);
        QCOMPARE(d.flags(), 0x1000);
        const OpenFileNameRecord& r = platform.fileSeen;
        QCOMPARE(r.lStructSize, 76u);
        QCOMPARE(r.nFilterIndex, 2u);
        QCOMPARE(r.Flags, 0x1000u);
        QCOMPARE(r.lpstrTitle, QStringLiteral("Please Select a File"));
        QVERIFY(!r.lpstrInitialDir.isNull() && r.lpstrInitialDir.isEmpty());
        QCOMPARE(r.lpstrDefExt, QStringLiteral("doc"));
        QCOMPARE(r.lpstrFile, QString(255, QLatin1Char(' ')) + NUL);  // null name: blanks
        // A second dialog offers the name the first one chose.
        QVERIFY(!d.ShowSave());
        QCOMPARE(platform.saveCalls, 1);
        QVERIFY(platform.fileSeen.lpstrFile.startsWith(QStringLiteral("/home/ann/report.docx ")));
    }

    void absent_strings_reach_the_dialog_as_null_and_index_widens_with_sign() {
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        d.setFilterIndex(-1);
        d.setDialogTitle(QString());
        QVERIFY(!d.ShowSave());
        const OpenFileNameRecord& r = platform.fileSeen;
        QCOMPARE(r.nFilterIndex, 0xFFFFFFFFu);
        QVERIFY(r.lpstrTitle.isNull());
        QVERIFY(r.lpstrInitialDir.isNull());
        QVERIFY(r.lpstrDefExt.isNull());
        QCOMPARE(platform.openCalls, 0);
    }

    void multiple_selection_gives_only_the_text_before_the_first_nul() {
        ScriptedDialogs platform;
        platform.chosenFile = QString("/home/ann") + NUL + "a.doc" + NUL + "b.doc" + NUL;
        platform.chosenTitle = QStringLiteral("a.doc");
        clsCommonDialog d(platform);
        d.setFlags(std::int32_t(OFN_ALLOWMULTISELECT | OFN_EXPLORER));
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.Filename(), QStringLiteral("/home/ann"));
        QCOMPARE(d.FileTitle(), QStringLiteral("a.doc"));
    }

    void show_color_offers_sixteen_white_custom_colours_every_time() {
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        d.setColor(0x00102030);
        d.setFlags(std::int32_t(CC_RGBINIT));
        std::array<std::uint32_t, 16> white;
        white.fill(0x00FFFFFFu);
        for (int call = 1; call <= 2; ++call) {
            QVERIFY(!d.ShowColor());
            QCOMPARE(platform.colorCalls, call);
            QCOMPARE(platform.customSeen, white);  // not what the user defined last time
        }
        QCOMPARE(platform.colorSeen.lStructSize, 36u);
        QCOMPARE(platform.colorSeen.rgbResult, 0x00123456u);  // the first call's answer
        QCOMPARE(platform.colorSeen.Flags, CC_RGBINIT);
        QCOMPARE(d.Color(), 0x00123456);
        QCOMPARE(d.Action(), 3);
        QCOMPARE(d.APIReturn(), 1);
    }

    void file_dialogs_leave_action_alone() {
        ScriptedDialogs platform;
        clsCommonDialog d(platform);
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.Action(), 0);
    }

    void browse_folder_returns_the_path_or_empty_data() {
        QTest::addColumn<std::optional<ShellItem>>("item");
        QTest::addColumn<QString>("expected");
        QTest::newRow("folder chosen")
            << std::optional(ShellItem{"/home/ann/out"}) << "/home/ann/out";
        QTest::newRow("cancelled") << std::optional<ShellItem>() << "";
        QTest::newRow("virtual folder") << std::optional(ShellItem{QString()}) << "";
        QTest::newRow("path longer than the buffer")
            << std::optional(ShellItem{QString(512, QLatin1Char('x'))}) << "";
        QTest::newRow("longest path that fits")
            << std::optional(ShellItem{QString(511, QLatin1Char('x'))}) << QString(511, 'x');
    }
    void browse_folder_returns_the_path_or_empty() {
        QFETCH(std::optional<ShellItem>, item);
        QFETCH(QString, expected);
        ScriptedDialogs platform;
        platform.chosenFolder = item;
        clsCommonDialog d(platform);
        QVERIFY(!d.ShowOpen());
        const QString folder = d.BrowseFolder(QStringLiteral("Pick a folder"));
        QCOMPARE(folder, expected);
        QVERIFY(!folder.isNull());
        QCOMPARE(platform.browseSeen.lpszTitle, QStringLiteral("Pick a folder"));
        QCOMPARE(platform.browseSeen.ulFlags, BIF_RETURNONLYFSDIRS);
        QCOMPARE(d.APIReturn(), 1);  // untouched by the folder browser
    }
};

QTEST_MAIN(CommonDialogTest)
#include "clsCommonDialog_test.moc"
