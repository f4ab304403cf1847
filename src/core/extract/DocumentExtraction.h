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

// What one document's extraction needs from outside.
struct ExtractionEnvironment {
    // A private folder for the temporary picture files of this run.
    QString temporaryFolder;
    // Makes the word-processor engine for one document (tests script failures here).
    std::function<std::unique_ptr<word::Application>(picture::Clipboard&)> makeApplication;
    // One pass of the event loop.
    std::function<void()> yield;
    // Where the recorded pictures' bytes are kept; null keeps them in the heap.
    std::shared_ptr<picture::PictureStore> store;
};

// The environment of the program: the real engine, the Qt event loop and a new store.
ExtractionEnvironment defaultEnvironment(const QString& temporaryFolder);

// How one document went.
struct DocumentOutcome {
    bool opened = false;  // false: the document could not be opened
    QString reason;       // why, when it could not be opened
    int recorded = 0;     // pictures recorded
};

// Extracts every picture of one document, inline pictures first, then floating shapes,
// each through the clipboard and a temporary file, into the next rows and holders of
// `sink`. `counter` is the run-wide number of the next picture (1-based); picture g goes
// to holder g - 1. A failing step is skipped and the next one runs; a document never
// stops the run.
DocumentOutcome ExtractImagesFromDocument(const QString& documentPath, int& counter,
                                          ResultSink& sink, const ExtractionEnvironment& env);

// The path before its extension: everything before the last "." of the file name. A
// file name without "." gives the whole path.
QString PathWithoutExtension(const QString& path);

}  // namespace pictrove::extract
