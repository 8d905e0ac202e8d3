// The game's ASI loader: at start every *.asi module in the game's folder, then
// in scripts/, plugins/ and update/ (each after its subfolders), is loaded with
// the working directory at its own folder, and its InitializeASI export is called.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process_cost.hpp"

namespace lkm::game {

enum class AsiMode {
    once,    // one call per module
    twice,   // two calls in a row
    threads, // two threads call at the same moment
    none,    // no module is loaded
    lock,    // one call per module, from the DllMain of a loader DLL, under the loader lock
};

struct AsiModule {
    std::string file; // path from the game folder, UTF-8
    bool loaded = false;
    bool hasEntry = false;   // exports InitializeASI
    unsigned long error = 0; // GetLastError of a failed load
    // A rival mod's GetHookCalls export, read for the report after the engine
    // ran: how many times the module's hook ran.
    uint32_t (*hookCalls)() = nullptr;
    // Measured with --cost only: each InitializeASI call, and the process's memory
    // with the module loaded but not started, after its calls, and the committed
    // peak sampled meanwhile.
    std::vector<double> callMs;
    // The plug-in's own times of its start-up's phases, in microseconds, when
    // its benchmark build reports them (LkmStartupPhases); -1 for a phase that
    // did not end.
    std::vector<int64_t> phaseUs;
    ProcessMemory before, after;
    uint64_t sampledPeakCommit = 0;
};

struct AsiOptions {
    AsiMode mode = AsiMode::once;
    bool lowMemory = false; // the address space is full while InitializeASI runs (once mode)
    bool cost = false;      // measure time and memory
};

struct AsiReport {
    AsiMode mode = AsiMode::once;
    std::vector<AsiModule> modules; // in file-name order
    int calls = 0;                  // InitializeASI calls made, over all modules
    bool cost = false;              // measured: the members below and each module's
    uint32_t imageSize = 0;         // SizeOfImage of the game's main module
    double coldCopyMs = 0;          // one memcpy of it into fresh memory
};

AsiReport loadAsiModules(const AsiOptions& options);
// The file name of the loader DLL that the lock mode loads from the game folder.
inline constexpr wchar_t lockLoaderName[] = L"LarkLoader.dll";
const char* asiModeName(AsiMode mode);

} // namespace lkm::game
