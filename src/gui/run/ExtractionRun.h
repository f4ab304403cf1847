#pragma once

#include "core/extract/DocumentExtraction.h"

#include <functional>

class QWidget;

namespace pictrove::results {
class Form2;
}

namespace pictrove::extract {

// What a run needs of the window that starts it: the queued documents, a way to show
// that it is busy and how far it got, and the window itself, which owns the results
// window and hides once the results show.
class RunWindow {
  public:
    virtual ~RunWindow() = default;
    virtual QWidget& runWindow() = 0;
    virtual int documentCount() const = 0;
    // Document `row` (1-based); "" for a row that is not there.
    virtual QString document(int row) const = 0;
    // Shows the hourglass (true) or the default pointer (false).
    virtual void setBusy(bool busy) = 0;
    virtual void setProgressPercent(double percent) = 0;
    // Enables or disables everything that could start a second run or change the queue.
    virtual void setControlsEnabled(bool enabled) = 0;
};

// "Start Extracting Images": extracts the pictures of every queued document and shows
// them in the results window.
void StartExtractingImages(RunWindow& window);

// The results window of this main window, created and loaded on first use.
results::Form2& ResultsWindow(RunWindow& window);
// The results window if a run has created it, else nullptr.
results::Form2* ResultsWindowIfLoaded(RunWindow& window);

// Tests replace the engine or the event loop of the runs that follow; an empty
// function restores the program's own.
void SetEnvironmentForTesting(std::function<ExtractionEnvironment(const QString&)> make);

// The message that names the documents that could not be read (at most 20 lines).
QString UnreadableDocumentsMessage(const QList<QPair<QString, QString>>& failures);

}  // namespace pictrove::extract
