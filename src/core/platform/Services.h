#pragma once

#include <functional>

namespace pictrove::platform {

class Prompts;
class Launcher;
class Random;
class FolderBrowser;
class FileDialog;
class RunningObjectTable;

// The outside world as the windows see it. The desktop program installs the Qt
// implementations at start; tests install scripted ones. Pointers are not owned.
struct Services {
    Prompts* prompts = nullptr;
    Launcher* launcher = nullptr;
    Random* random = nullptr;
    FolderBrowser* folderBrowser = nullptr;
    FileDialog* fileDialog = nullptr;
    RunningObjectTable* runningObjects = nullptr;
    // Ends the whole program at once (closing either window). Long loops that yield
    // to the event loop stop when programEnding() turns true.
    std::function<void()> endProgram;
};

Services& services();

// True once endProgram has been asked for; loops that yield check it.
bool programEnding();
void setProgramEnding(bool ending);

}  // namespace pictrove::platform
