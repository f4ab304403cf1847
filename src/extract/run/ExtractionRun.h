#pragma once

namespace pictrove::shell {
class Form1;
}

namespace pictrove::extract {

// "Start Extracting Images": extracts the pictures of every queued document and shows
// them in the results window.
void StartExtractingImages(shell::Form1& form);

}  // namespace pictrove::extract
