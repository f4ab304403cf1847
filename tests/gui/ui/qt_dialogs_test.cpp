#include "FolderTree.h"
#include "gui/ui/QtFileDialog.h"
#include "gui/ui/QtFolderDialog.h"
#include "gui/ui/QtServices.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace pictrove;

namespace {

// Runs `act` on the file dialog as soon as it is up, from inside its modal loop.
void whenDialogShows(std::function<void(QFileDialog*)> act) {
    auto* timer = new QTimer(qApp);  // owned by the application until it fires
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

// The message box of QtPrompts as it shows: its width, the text shown and the text
// behind its details button. The box is closed once measured.
struct ShownMessage {
    int width = 0;
    QString text;
    QString details;
};

ShownMessage showMessage(const QString& text, platform::MsgIcon icon) {
    ShownMessage shown;
    auto* timer = new QTimer(qApp);  // owned by the application until it fires
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            shown = {box->width(), box->text(), box->detailedText()};
            box->accept();
        }
    });
    timer->start();
    platform::QtPrompts().message(text, platform::MsgButtons::Ok, icon);
    return shown;
}

// Opens the dialog with fixed answers for the tests.
class OpenDialog final : public platform::QtFileDialog {
  public:
    using QtFileDialog::pickFiles;
};

}  // namespace

class QtDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    // A short message still leaves the frame room for the title; a path too long to
    // wrap is cut in the middle, keeping its file name, instead of widening the box.
    void messageBoxesStayReadable() {
        const ShownMessage done = showMessage(QStringLiteral("Done."), platform::MsgIcon::None);
        QVERIFY2(done.width >= 300, qPrintable(QString::number(done.width)));
        QCOMPARE(done.text, QStringLiteral("Done."));
        QVERIFY(done.details.isEmpty());

        const QString path = QStringLiteral("/home/user/") + QString(120, u'x') + u'/' +
                             QString(120, u'y') + QStringLiteral("/Reports/annual_2019.docx");
        const QString text = QStringLiteral("Cannot save ") + path + QStringLiteral(": disk full");
        const ShownMessage error = showMessage(text, platform::MsgIcon::Exclamation);
        QVERIFY2(error.width <= 560, qPrintable(QString::number(error.width)));
        QVERIFY(error.text.startsWith(QStringLiteral("Cannot save /home/")));
        QVERIFY(error.text.endsWith(QStringLiteral("annual_2019.docx: disk full")));
        QVERIFY(error.text.size() < text.size());
        QCOMPARE(error.details, text);

        const QString sentence = QStringLiteral("Word is running. ").repeated(20).trimmed();
        const ShownMessage warning = showMessage(sentence, platform::MsgIcon::Exclamation);
        QVERIFY2(warning.width <= 560, qPrintable(QString::number(warning.width)));
        QCOMPARE(warning.text, sentence);  // wrapped, not cut
        QVERIFY(warning.details.isEmpty());
    }

    void folderBrowserOpensAtTheRootEveryTime_data() {
        QTest::addColumn<QString>("choose");  // "" cancels; "<tmp>" the temporary folder
        QTest::addColumn<QString>("result");
        QTest::newRow("root") << "/"
                              << "/";
        QTest::newRow("folder") << "<tmp>"
                                << "<tmp>";
        QTest::newRow("cancel") << ""
                                << "";
    }
    void folderBrowserOpensAtTheRootEveryTime() {
        QFETCH(QString, choose);
        QFETCH(QString, result);
        QTemporaryDir tmp;
        choose.replace("<tmp>", tmp.path());
        result.replace("<tmp>", tmp.path());
        QString startedAt;
        QString title;
        bool foldersOnly = false;
        whenDialogShows([&](QFileDialog* dialog) {
            startedAt = dialog->directory().absolutePath();
            title = dialog->windowTitle();
            foldersOnly = dialog->fileMode() == QFileDialog::Directory &&
                          dialog->testOption(QFileDialog::ShowDirsOnly);
            if (choose.isEmpty()) {
                dialog->reject();
            } else {
                dialog->setDirectory(choose);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        platform::QtFolderDialog browser;
        QCOMPARE(browser.browse(nullptr, QStringLiteral("Please select folder to add:")), result);
        QCOMPARE(startedAt, QDir::rootPath());
        QCOMPARE(title, QStringLiteral("Please select folder to add:"));
        QVERIFY(foldersOnly);
    }

    void openDialogShowsTheRequestAndReturnsTheChoice() {
        QTemporaryDir tmp;
        QVERIFY(test::makeTree(tmp.path(), {"a.doc", "b.docx", "c.txt"}));
        platform::FileDialog::Request request;
        request.title = QStringLiteral("Add File(s)");
        request.filters = platform::FileDialog::parseFilter(
            QStringLiteral("Word Documents (*.do*)|*.do*|All Files (*.*)|*.*"));
        request.multiSelect = true;

        QStringList filters;
        QString selectedFilter;
        bool multi = false;
        whenDialogShows([&](QFileDialog* dialog) {
            filters = dialog->nameFilters();
            selectedFilter = dialog->selectedNameFilter();
            multi = dialog->fileMode() == QFileDialog::ExistingFiles;
            dialog->setDirectory(tmp.path());
            // What the user types; selectFile() would skip a focused line edit.
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (edit) {
                edit->setText(QStringLiteral("\"a.doc\" \"b.docx\""));
            }
            static_cast<QDialog*>(dialog)->accept();
            if (dialog->isVisible()) {
                dialog->reject();  // not taken: fail below rather than hang
            }
        });
        OpenDialog dialog;
        const std::optional<QStringList> chosen = dialog.pickFiles(nullptr, request);
        QVERIFY(chosen);
        QCOMPARE(*chosen, QStringList({tmp.filePath("a.doc"), tmp.filePath("b.docx")}));
        QCOMPARE(filters, QStringList({"Word Documents (*.do*) (*.do*)", "All Files (*.*) (*)"}));
        // Only the description shows, exactly as the caller wrote it.
        QCOMPARE(selectedFilter, QStringLiteral("Word Documents (*.do*)"));
        QVERIFY(multi);

        whenDialogShows([](QFileDialog* d) { d->reject(); });
        QCOMPARE(dialog.pickFiles(nullptr, request), std::nullopt);
    }
};

QTEST_MAIN(QtDialogsTest)
#include "qt_dialogs_test.moc"
