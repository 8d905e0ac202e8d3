#include "startup.hpp"

namespace lkm::plugin {

HMODULE moduleHandle = nullptr;
volatile LONG initialized = notStarted;

} // namespace lkm::plugin

// Runs under the loader lock: it records the module and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        lkm::plugin::moduleHandle = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// The first caller runs the start-up; every other caller, concurrent or later,
// returns only once it has ended. Nothing here allocates or can fail.
extern "C" void InitializeASI() {
    using namespace lkm::plugin;
    if (InterlockedCompareExchange(&initialized, running, notStarted) == notStarted) {
        initialize();
        InterlockedExchange(&initialized, done);
        return;
    }
    while (InterlockedCompareExchange(&initialized, done, done) != done) Sleep(1);
}
