#include "gui/results/SaveCommands.h"

#include "core/platform/Prompts.h"
#include "core/platform/Services.h"
#include "core/save/SaveResults.h"
#include "core/scan/AddFolder.h"
#include "gui/results/Form2.h"

#include <QDir>
#include <QPointer>

namespace pictrove::results {

void SaveResultsClicked(Form2& form) {
    SaveOptions options;
    options.folder = form.Text1->text();
    options.format = form.Option2->isChecked()   ? OutputFormat::Jpg
                     : form.Option3->isChecked() ? OutputFormat::Original
                                                 : OutputFormat::Bmp;
    options.quality = std::uint8_t(qBound(0, form.Slider1->value(), 255));

    // A save of many pictures yields to the event loop like a run; the window is busy
    // meanwhile, so nothing can start a second save or change the options.
    QPointer<Form2> alive(&form);
    form.setSaving(true);
    const queue::YieldPoint yield = queue::eventLoopYield();
    const SaveOutcome outcome = SaveResults(form, options, [&](int row, int rows, const QString&) {
        if (!alive) {
            return false;
        }
        form.setWindowTitle(QStringLiteral("Pictrove - saving %1 of %2").arg(row).arg(rows));
        return yield() && alive;
    });
    if (!alive) {
        return;
    }
    form.setSaving(false);
    if (outcome.status == SaveStatus::Stopped) {
        return;  // the program is ending
    }
    if (platform::Prompts* prompts = platform::services().prompts) {
        prompts->message(outcome.message(), platform::MsgButtons::Ok,
                         outcome.status == SaveStatus::Done ? platform::MsgIcon::None
                                                            : platform::MsgIcon::Exclamation);
    }
}

void BrowseOutputFolder(Form2& form) {
    const QString folder = queue::SelectFolder(&form, QStringLiteral("Save images to this folder"));
    if (folder.isEmpty()) {
        return;
    }
    // The root comes back with its separator; every other folder gets one.
    form.Text1->setText(folder.endsWith(QDir::separator()) ? folder : folder + QDir::separator());
}

}  // namespace pictrove::results
