#pragma once

namespace pictrove::results {

class Form2;

// "Save Results": writes every picture of the window into the output folder in the
// chosen format and reports the outcome in a message box.
void SaveResultsClicked(Form2& form);

// "...": asks for the output folder; the chosen folder, with a trailing separator, goes
// into the folder box.
void BrowseOutputFolder(Form2& form);

}  // namespace pictrove::results
