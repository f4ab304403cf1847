// The engine over the shared corpus of real documents: its inline and floating
// picture counts against the manifest, which was made with another office suite.

#include "support/TestUtils.h"

#include "core/engine/Application.h"
#include "core/picture/Clipboard.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTest>

using namespace pictrove;

namespace {

// Documents where the manifest's counts are known to be wrong for a word processor,
// with the counts the engine gives and why.
struct Exception {
    int inlineWithImage;
    int floatingWithImage;
    const char* reason;
};
const QHash<QString, Exception>& exceptions() {
    static const QHash<QString, Exception> table = {
        {QStringLiteral("jod_OpenDocument-v1.1.odt"),
         {1, 12,
          "five of its floating pictures are StarView metafiles (Pictures/*.svm), which only the "
          "other suite reads; the manifest counts the EMF copies that suite made when converting"}},
        {QStringLiteral("jod_ODF_Accessibility_Guidelines-v1.0.odt"),
         {1, 0,
          "the floating 'picture' is a draw:plugin frame for a linked sound file; the image in the "
          "manifest is the converting suite's own media placeholder, not part of the document"}},
    };
    return table;
}

struct Counts {
    int inlineWithImage = 0;
    int floatingWithImage = 0;
    bool opened = false;
};

Counts run(const QString& path) {
    picture::Clipboard clipboard;
    word::Application word(clipboard);
    Counts c;
    word.create();
    c.opened = word.documentsOpen(path) == word::CallStatus::Ok;
    qint32 n = 0;
    word.activeDocumentInlineShapesCount(n);
    for (qint32 k = 1; k <= n; ++k) {
        clipboard.clear();
        word.activeDocumentInlineShapesSelect(k);
        word.activeWindowSelectionCopy();
        c.inlineWithImage += clipboard.hasPicture();
    }
    n = 0;
    word.activeDocumentShapesCount(n);
    for (qint32 j = 1; j <= n; ++j) {
        clipboard.clear();
        word.activeDocumentShapesSelect(j);
        word.activeWindowSelectionCopy();
        c.floatingWithImage += clipboard.hasPicture();
    }
    word.documentClose();
    word.quit();
    return c;
}

}  // namespace

class CorpusTest : public QObject {
    Q_OBJECT
  private slots:
    void counts_agree_with_the_manifest() {
        const QString dir = test::corpusDir();
        if (dir.isEmpty())
            QSKIP("no corpus beside this checkout");
        QFile manifest(QDir(dir).filePath(QStringLiteral("MANIFEST.tsv")));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(manifest.readAll()).split(u'\n', Qt::SkipEmptyParts);
        int compared = 0, agreed = 0;
        for (const QString& line : lines.mid(1)) {
            const QStringList f = line.split(u'\t');
            if (f.size() < 6)
                continue;
            const QString& file = f[0];
            if (file.endsWith(u".doc") || file.endsWith(u".dot"))
                continue;  // the binary format has its own reader and its own test
            ++compared;
            const Counts got = run(QDir(dir).filePath(file));
            int wantInline = f[3].toInt(), wantFloating = f[5].toInt();
            QString why;
            if (f[3] == u"NA") {
                // Not a document at all: it must not open.
                if (!got.opened) {
                    ++agreed;
                    continue;
                }
                why = QStringLiteral("opened, but the manifest says it is no document");
            } else if (const auto e = exceptions().constFind(file); e != exceptions().constEnd()) {
                qInfo("known manifest error: %s: %s", qPrintable(file), e->reason);
                wantInline = e->inlineWithImage;
                wantFloating = e->floatingWithImage;
            }
            if (why.isEmpty() && got.inlineWithImage == wantInline &&
                got.floatingWithImage == wantFloating) {
                ++agreed;
                continue;
            }
            qInfo(
                "disagreement: %s: engine %d inline, %d floating; manifest %s inline, %s floating "
                "%s",
                qPrintable(file), got.inlineWithImage, got.floatingWithImage, qPrintable(f[3]),
                qPrintable(f[5]), qPrintable(why));
        }
        qInfo("agreement: %d of %d documents", agreed, compared);
        QVERIFY(compared > 0);
        QVERIFY2(agreed * 100 >= compared * 95, "less than 95% agreement with the manifest");
    }
};

QTEST_GUILESS_MAIN(CorpusTest)
#include "corpus_test.moc"
