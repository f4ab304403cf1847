#include "FolderTree.h"
#include "gui/ui/QtFileDialog.h"
#include "gui/ui/QtFolderDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
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

// Opens the dialog with fixed answers for the tests.
class OpenDialog final : public platform::QtFileDialog {
  public:
    using QtFileDialog::pickFiles;
};

}  // namespace

class QtDialogsTest : public QObject {
    Q_OBJECT

  private slots:
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
