#include "gui/dialogs/QtCommonDialogs.h"
#include "gui/dialogs/clsCommonDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace pictrove::dialogs;
using namespace pictrove::platform;

namespace {

// Runs `act` on the modal dialog of type T once it is open.
template <typename T>
void whenShown(std::function<void(T*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog) {
            whenShown<T>(act);  // not open yet
            return;
        }
        act(dialog);
    });
}

}  // namespace

class QtCommonDialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

    void name_filters_follow_the_pairs() {
        const QList<FilterPair> pairs = {{"Word Documents (*.do*)", "*.do*"},
                                         {"Pictures", "*.bmp;*.jpg"}};
        QCOMPARE(qtNameFilters(pairs),
                 QStringList({"Word Documents (*.do*)", "Pictures (*.bmp *.jpg)"}));
    }

    void color_refs_are_bbggrr() {
        QCOMPARE(colorFromColorRef(0x00332211u), QColor(0x11, 0x22, 0x33));
        QCOMPARE(colorRefFromColor(QColor(0x11, 0x22, 0x33)), 0x00332211u);
    }

    void open_dialog_returns_the_chosen_file_through_the_record() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.final.docx"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        QtCommonDialogs dialogs;
        clsCommonDialog d(dialogs);
        d.setFilter(QStringLiteral("Word Documents (*.do*)|*.do*|All Files|*.*"));
        d.setFilterIndex(2);
        d.setInitDir(dir.path());
        d.setFilename(QStringLiteral("report.final.docx"));
        QString title;
        QStringList filters;
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            filters = dialog->nameFilters();
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(!d.ShowOpen());
        QCOMPARE(title, QStringLiteral("Please Select a File"));
        QCOMPARE(filters, QStringList({"Word Documents (*.do*)", "All Files (*.*)"}));
        QCOMPARE(d.APIReturn(), 1);
        QCOMPARE(d.Filename(), path);
        QCOMPARE(d.FileTitle(), QStringLiteral("report.final.docx"));

        // The same choice with a buffer too small for it.
        d.setMaxFileSize(8);
        d.setFilename(QStringLiteral("x"));
        whenShown<QFileDialog>([&](QFileDialog* dialog) {
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(!d.ShowOpen());
        QCOMPARE(d.APIReturn(), 0);
        QCOMPARE(d.ExtendedError(), FNERR_BUFFERTOOSMALL);
        QCOMPARE(d.Filename(), QStringLiteral("x"));
    }

    void rejected_dialogs_are_a_plain_cancel() {
        QtCommonDialogs dialogs;
        clsCommonDialog d(dialogs);
        d.setCancelError(true);
        whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        const auto fileError = d.ShowSave();
        QVERIFY(fileError);
        QCOMPARE(fileError->number, 2001);
        QCOMPARE(d.ExtendedError(), 0);

        QList<QColor> offered;
        whenShown<QColorDialog>([&](QColorDialog* dialog) {
            for (int i = 0; i < 16; ++i) {
                offered.append(QColorDialog::customColor(i));
            }
            dialog->reject();
        });
        const auto colorError = d.ShowColor();
        QVERIFY(colorError);
        QCOMPARE(colorError->description, QStringLiteral("Cancel Pressed"));
        QCOMPARE(offered, QList<QColor>(16, QColor(Qt::white)));
    }

    void accepted_colour_comes_back_as_bbggrr() {
        QtCommonDialogs dialogs;
        clsCommonDialog d(dialogs);
        d.setColor(0x00000000);
        whenShown<QColorDialog>([](QColorDialog* dialog) {
            dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
            static_cast<QDialog*>(dialog)->accept();
        });
        QVERIFY(!d.ShowColor());
        QCOMPARE(d.APIReturn(), 1);
        QCOMPARE(d.Color(), 0x00302010);
    }
};

QTEST_MAIN(QtCommonDialogsTest)
#include "QtCommonDialogs_test.moc"
