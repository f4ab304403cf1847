#pragma once

#include "extract/Image.h"

#include <functional>

namespace pictrove::shell {
class Form1;
}
namespace pictrove::results {
class Form2;
}

namespace pictrove::extract {

// "Start Extracting Images": extracts the pictures of every queued document and shows
// them in the results window.
void StartExtractingImages(shell::Form1& form);

// The results window of this main window, created and loaded on first use.
results::Form2& ResultsWindow(shell::Form1& form);
// The results window if a run has created it, else nullptr.
results::Form2* ResultsWindowIfLoaded(shell::Form1& form);

// Tests replace the engine or the event loop of the runs that follow; an empty
// function restores the program's own.
void SetEnvironmentForTesting(std::function<ExtractionEnvironment(const QString&)> make);

// The message that names the documents that could not be read (at most 20 lines).
QString UnreadableDocumentsMessage(const QList<QPair<QString, QString>>& failures);

}  // namespace pictrove::extract
