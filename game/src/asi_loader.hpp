// The game's ASI loader: at start every *.asi module in the game's folder is
// loaded and its InitializeASI export is called.
#pragma once

#include <string>
#include <vector>

enum class AsiMode {
    once,    // one call per module
    twice,   // two calls in a row
    threads, // two threads call at the same moment
    none,    // no module is loaded
};

struct AsiModule {
    std::string file; // file name, UTF-8
    bool loaded = false;
    bool hasEntry = false;   // exports InitializeASI
    unsigned long error = 0; // GetLastError of a failed load
};

struct AsiReport {
    AsiMode mode = AsiMode::once;
    std::vector<AsiModule> modules; // in file-name order
    int calls = 0;                  // InitializeASI calls made, over all modules
};

AsiReport loadAsiModules(AsiMode mode);
const char* asiModeName(AsiMode mode);
