#pragma once

namespace pictrove::extract {

// True when a running word processor is found that calls itself "Microsoft Word".
// Every failure of the lookup answers false.
bool IsWordRunning();

// Warns when Word is running and asks whether to go on. True means: abandon the run
// (Word runs and the user said No); false: go on.
bool WarnIfWordOpen();

}  // namespace pictrove::extract
