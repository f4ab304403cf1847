#include "gui/run/ExtractionRun.h"

#include "core/extract/RunningWordCheck.h"
#include "core/platform/Prompts.h"
#include "core/platform/Services.h"
#include "core/platform/TemporaryFiles.h"
#include "gui/results/Form2.h"

#include <memory>

namespace pictrove::extract {

namespace {

std::function<ExtractionEnvironment(const QString&)> g_makeEnvironment;

// Owns the results window for the life of the main window; the results window itself
// stays a window of its own, with no owner.
class ResultsWindowOwner : public QObject {
  public:
    explicit ResultsWindowOwner(QWidget* form) : QObject(form) { setObjectName(kName); }
    static inline const QString kName = QStringLiteral("resultsWindowOwner");
    std::unique_ptr<results::Form2> window;
};

void message(const QString& text, platform::MsgIcon icon) {
    if (platform::Prompts* prompts = platform::services().prompts) {
        prompts->message(text, platform::MsgButtons::Ok, icon);
    }
}

}  // namespace

void SetEnvironmentForTesting(std::function<ExtractionEnvironment(const QString&)> make) {
    g_makeEnvironment = std::move(make);
}

results::Form2* ResultsWindowIfLoaded(RunWindow& form) {
    // The owner has no meta-object of its own, so it is found by name.
    QObject* owner =
        form.runWindow().findChild<QObject*>(ResultsWindowOwner::kName, Qt::FindDirectChildrenOnly);
    return owner ? static_cast<ResultsWindowOwner*>(owner)->window.get() : nullptr;
}

results::Form2& ResultsWindow(RunWindow& form) {
    if (results::Form2* existing = ResultsWindowIfLoaded(form)) {
        return *existing;
    }
    auto* owner = new ResultsWindowOwner(&form.runWindow());  // owned by the main window
    owner->window = std::make_unique<results::Form2>(&form.runWindow());
    owner->window->load();
    return *owner->window;
}

QString UnreadableDocumentsMessage(const QList<QPair<QString, QString>>& failures) {
    constexpr int kMaxLines = 20;
    QString text = failures.size() == 1 ? QStringLiteral("This document could not be read:")
                                        : QStringLiteral("These documents could not be read:");
    for (int i = 0; i < failures.size() && i < kMaxLines; ++i) {
        text +=
            QStringLiteral("\n") + failures[i].first + QStringLiteral(": ") + failures[i].second;
    }
    if (failures.size() > kMaxLines) {
        text += QStringLiteral("\nand %1 more").arg(failures.size() - kMaxLines);
    }
    return text;
}

void StartExtractingImages(RunWindow& form) {
    form.setBusy(true);
    auto finish = [&form] {
        form.setBusy(false);
        form.setProgressPercent(0);
        form.setControlsEnabled(true);
    };
    if (form.documentCount() == 0) {
        message(QStringLiteral("No files added."), platform::MsgIcon::None);
        finish();
        return;
    }
    if (WarnIfWordOpen()) {
        finish();
        return;
    }
    // Without a private folder the run would have to put its temporary pictures where
    // the user's own files are: it does not start.
    const platform::PrivateFolder temporary;
    if (!temporary.isValid()) {
        message(platform::noTemporaryFolderMessage(temporary), platform::MsgIcon::Critical);
        finish();
        return;
    }
    // The run yields to the event loop; nothing may start a second run or change the
    // list meanwhile.
    form.setControlsEnabled(false);
    int counter = 1;
    results::Form2& results = ResultsWindow(form);
    results.beginRun();

    const QString folder = temporary.path();
    const ExtractionEnvironment env =
        g_makeEnvironment ? g_makeEnvironment(folder) : defaultEnvironment(folder);

    QList<QPair<QString, QString>> unreadable;
    const int n = form.documentCount();
    for (int i = 1; i <= n && !platform::programEnding(); ++i) {
        form.setBusy(true);
        const QString path = form.document(i);
        form.setBusy(true);
        const DocumentOutcome outcome = ExtractImagesFromDocument(path, counter, results, env);
        if (!outcome.opened) {
            unreadable.append({path, outcome.reason});
        }
        const int c = form.documentCount();
        form.setProgressPercent(double(i + 1) / double(c + 1) * 100.0);
    }
    if (platform::programEnding()) {
        return;
    }

    results.mTotalImages = counter - 1;
    if (!unreadable.isEmpty()) {
        message(UnreadableDocumentsMessage(unreadable), platform::MsgIcon::Exclamation);
    }
    results.presentRun();
    form.runWindow().hide();
    finish();
}

}  // namespace pictrove::extract
