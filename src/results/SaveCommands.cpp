#include "results/SaveCommands.h"

#include "platform/Prompts.h"
#include "platform/Services.h"
#include "results/Form2.h"
#include "results/save/SaveResults.h"

namespace pictrove::results {

void SaveResultsClicked(Form2& form) {
    SaveOptions options;
    options.folder = form.Text1->text();
    options.format = form.Option2->isChecked() ? OutputFormat::Jpg : OutputFormat::Bmp;
    options.quality = std::uint8_t(qBound(0, form.Slider1->value(), 255));
    const SaveOutcome outcome = SaveResults(form, options);
    if (platform::Prompts* prompts = platform::services().prompts) {
        prompts->message(outcome.message(), platform::MsgButtons::Ok,
                         outcome.status == SaveStatus::Done ? platform::MsgIcon::None
                                                            : platform::MsgIcon::Exclamation);
    }
}

void BrowseOutputFolder(Form2&) {}

}  // namespace pictrove::results
