#include "core/extract/DocumentExtraction.h"

#include "core/engine/Application.h"
#include "core/picture/Clipboard.h"
#include "core/picture/PictureFile.h"
#include "core/platform/Services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pictrove::extract {

ExtractionEnvironment defaultEnvironment(const QString& temporaryFolder) {
    ExtractionEnvironment env;
    env.temporaryFolder = temporaryFolder;
    env.makeApplication = [](picture::Clipboard& clipboard) {
        return std::make_unique<word::Application>(clipboard);
    };
    env.yield = [] { QCoreApplication::processEvents(); };
    env.store = picture::PictureStore::create();
    return env;
}

QString PathWithoutExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator =
        qMax(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
    // A "." in a folder name is no extension: the floating pictures' names must still
    // be told apart from the document's own folder.
    if (dot < 0 || dot < separator) {
        return path;
    }
    return path.left(dot);
}

namespace {

// Records the picture in the temporary file: a row, the next holder, the counter.
void record(const QString& path, qint32 number, const QString& tempName, int& counter,
            ResultSink& sink, picture::PictureStore* store) {
    const int row = sink.appendRow(path);
    sink.setRowNumber(row, QString::number(number));
    picture::Picture loaded;
    // A picture that does not load back leaves its holder empty, never holding the
    // picture of an earlier run: saving then knows that row has no picture.
    picture::loadPicture(tempName, loaded, nullptr, store);
    if (counter == 1) {
        sink.setHolder(0, loaded);
    } else {
        sink.createHolder(counter - 1);
        sink.setHolder(counter - 1, loaded);
    }
    ++counter;
    QFile::remove(tempName);
}

// Writes the clipboard's picture to the temporary file and records it when the file is
// there.
void keepClipboardPicture(const picture::Clipboard& clipboard, const QString& path, qint32 number,
                          const QString& tempName, int& counter, ResultSink& sink,
                          DocumentOutcome& outcome, picture::PictureStore* store) {
    picture::savePicture(clipboard.picture(), tempName);
    if (QFileInfo(tempName).isFile()) {
        record(path, number, tempName, counter, sink, store);
        ++outcome.recorded;
    }
}

}  // namespace

DocumentOutcome ExtractImagesFromDocument(const QString& documentPath, int& counter,
                                          ResultSink& sink, const ExtractionEnvironment& env) {
    const QString path = documentPath;
    DocumentOutcome outcome;
    picture::Clipboard& clipboard = picture::processClipboard();
    std::unique_ptr<word::Application> app = env.makeApplication(clipboard);
    auto yield = [&env] {
        if (env.yield) {
            env.yield();
        }
    };
    const QDir temp(env.temporaryFolder);

    app->create();
    if (app->documentsOpen(path) == word::CallStatus::Ok) {
        outcome.opened = true;
    } else {
        outcome.reason = app->lastError();
    }
    qint32 inlineCount = 0;
    app->activeDocumentInlineShapesCount(inlineCount);
    qint32 number = 0;
    QString tempName;
    for (qint32 k = 1; k <= inlineCount && !platform::programEnding(); ++k) {
        ++number;
        app->activeDocumentInlineShapesSelect(k);
        app->activeWindowSelectionCopy();
        yield();
        yield();
        tempName = temp.filePath(QString::number(k) + QStringLiteral(".bmp"));
        keepClipboardPicture(clipboard, path, number, tempName, counter, sink, outcome,
                             env.store.get());
    }

    qint32 floatingCount = 0;
    app->activeDocumentShapesCount(floatingCount);
    // Named after the document, as its floating pictures always were, but inside the
    // run's private folder.
    const QString floatingBase = temp.filePath(QFileInfo(PathWithoutExtension(path)).fileName());
    for (qint32 j = 1; j <= floatingCount && !platform::programEnding(); ++j) {
        yield();
        ++number;
        app->activeDocumentShapesSelect(j);
        app->activeWindowSelectionCopy();
        yield();
        yield();
        tempName = floatingBase + QString::number(j) + QStringLiteral(".bmp");
        keepClipboardPicture(clipboard, path, number, tempName, counter, sink, outcome,
                             env.store.get());
    }

    app->documentClose();
    app->quit();
    return outcome;
}

}  // namespace pictrove::extract
