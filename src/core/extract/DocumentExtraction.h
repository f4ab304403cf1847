#pragma once

#include "core/extract/Results.h"

#include <QString>

#include <functional>
#include <memory>

namespace pictrove::picture {
class Clipboard;
class PictureStore;
}  // namespace pictrove::picture
namespace pictrove::word {
class Application;
}

namespace pictrove::extract {

// The engine that a document's sequence drives.
struct EngineEnvironment {
    // Makes the word-processor engine for one document (tests script failures here).
    std::function<std::unique_ptr<word::Application>(picture::Clipboard&)> makeApplication;
    // One pass of the event loop; null for a program without windows.
    std::function<void()> yield;
};

// What one document's extraction needs from outside.
struct ExtractionEnvironment : EngineEnvironment {
    // A private folder for the temporary picture files of this run.
    QString temporaryFolder;
    // Where the recorded pictures' bytes are kept; null keeps them in the heap.
    std::shared_ptr<picture::PictureStore> store;
};

// The real engine, with no event loop to keep alive.
EngineEnvironment realEngine();

// The environment of the program: the real engine, the Qt event loop and a new store.
ExtractionEnvironment defaultEnvironment(const QString& temporaryFolder);

// A picture that is in a document but could not be read (damaged, over the limits, a
// checksum that does not match): its step's number and why.
struct UnreadablePicture {
    qint32 number;
    QString reason;
};

// How one document went.
struct DocumentOutcome {
    bool opened = false;                  // false: the document could not be opened
    QString reason;                       // why, when it could not be opened
    int recorded = 0;                     // pictures recorded
    QList<UnreadablePicture> unreadable;  // in step order
};

// One picture step of a document: a shape was selected and copied.
struct CopiedShape {
    enum class Collection { Inline, Floating };

    const QString& document;  // the path as given
    qint32 number;            // the step's number in its document: 1 and up, every shape counts
    Collection collection;
    qint32 index;                     // the shape's 1-based position in its collection
    const picture::Picture& picture;  // what the clipboard holds now; null: no picture
    const QString& unreadable;        // why the shape's picture could not be read, or ""
};

// The engine sequence of one document, which every way of extracting goes through:
// create, open, inline count, select and copy each inline shape, floating count, select
// and copy each floating shape, close, quit. `onCopy` sees each copy in that order. The
// clipboard is not emptied before a copy: copying a selected shape replaces its content
// (a shape without a picture leaves it empty), and a copy that fails leaves the picture
// of the step before. A failing step is skipped and the next one runs. `recorded` of the
// outcome stays 0; `unreadable` names the steps whose picture is there but could not be
// read.
DocumentOutcome CopyDocumentShapes(const QString& documentPath,
                                   const std::function<void(const CopiedShape&)>& onCopy,
                                   const EngineEnvironment& env);

// Extracts every picture of one document through CopyDocumentShapes(), each through a
// temporary file, into the next rows and holders of `sink`. `counter` is the run-wide
// number of the next picture (1-based); picture g goes to holder g - 1. A document never
// stops the run.
DocumentOutcome ExtractImagesFromDocument(const QString& documentPath, int& counter,
                                          ResultSink& sink, const ExtractionEnvironment& env);

// The path before its extension: everything before the last "." of the file name. A
// file name without "." gives the whole path.
QString PathWithoutExtension(const QString& path);

}  // namespace pictrove::extract
