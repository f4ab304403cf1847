#include "core/extract/DocumentExtraction.h"

#include "core/engine/Application.h"
#include "core/picture/Clipboard.h"
#include "core/picture/PictureFile.h"
#include "core/platform/Services.h"
#include "core/platform/TemporaryFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace pictrove::extract {

EngineEnvironment realEngine() {
    EngineEnvironment env;
    env.makeApplication = [](picture::Clipboard& clipboard) {
        return std::make_unique<word::Application>(clipboard);
    };
    return env;
}

ExtractionEnvironment defaultEnvironment(const QString& temporaryFolder) {
    ExtractionEnvironment env{realEngine(), temporaryFolder, picture::PictureStore::create()};
    env.yield = [] { QCoreApplication::processEvents(); };
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

}  // namespace

DocumentOutcome CopyDocumentShapes(const QString& documentPath,
                                   const std::function<void(const CopiedShape&)>& onCopy,
                                   const EngineEnvironment& env) {
    DocumentOutcome outcome;
    picture::Clipboard& clipboard = picture::processClipboard();
    std::unique_ptr<word::Application> app = env.makeApplication(clipboard);
    auto yield = [&env] {
        if (env.yield) {
            env.yield();
        }
    };

    auto report = [&](qint32 number, CopiedShape::Collection collection, qint32 index) {
        const QString unreadable = app->unreadablePicture();
        if (!unreadable.isEmpty()) {
            outcome.unreadable.append({number, unreadable});
        }
        onCopy({documentPath, number, collection, index, clipboard.picture(), unreadable});
    };

    app->create();
    if (app->documentsOpen(documentPath) == word::CallStatus::Ok) {
        outcome.opened = true;
    } else {
        outcome.reason = app->lastError();
    }
    qint32 inlineCount = 0;
    app->activeDocumentInlineShapesCount(inlineCount);
    qint32 number = 0;
    for (qint32 k = 1; k <= inlineCount && !platform::programEnding(); ++k) {
        ++number;
        app->activeDocumentInlineShapesSelect(k);
        app->activeWindowSelectionCopy();
        yield();
        yield();
        report(number, CopiedShape::Collection::Inline, k);
    }

    qint32 floatingCount = 0;
    app->activeDocumentShapesCount(floatingCount);
    for (qint32 j = 1; j <= floatingCount && !platform::programEnding(); ++j) {
        yield();
        ++number;
        app->activeDocumentShapesSelect(j);
        app->activeWindowSelectionCopy();
        yield();
        yield();
        report(number, CopiedShape::Collection::Floating, j);
    }

    app->documentClose();
    app->quit();
    return outcome;
}

DocumentOutcome ExtractImagesFromDocument(const QString& documentPath, int& counter,
                                          ResultSink& sink, const ExtractionEnvironment& env) {
    const QDir temp(env.temporaryFolder);
    int recorded = 0;
    DocumentOutcome outcome = CopyDocumentShapes(
        documentPath,
        [&](const CopiedShape& step) {
            // Short and of fixed length, whatever the document's name: inside the run's
            // private folder the name needs to tell nothing.
            const QString tempName = temp.filePath(
                platform::temporaryFileName(quint32(counter), QStringLiteral(".bmp")));
            // The picture is kept when its temporary file is there.
            picture::savePicture(step.picture, tempName);
            if (QFileInfo(tempName).isFile()) {
                record(step.document, step.number, tempName, counter, sink, env.store.get());
                ++recorded;
            }
        },
        env);
    outcome.recorded = recorded;
    return outcome;
}

}  // namespace pictrove::extract
