#include "startup.hpp"

namespace lwf {

HMODULE moduleHandle = nullptr;
std::once_flag initialized;

} // namespace lwf

// Runs under the loader lock: it records the module and does nothing else.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        lwf::moduleHandle = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" void InitializeASI() {
    std::call_once(lwf::initialized, lwf::initialize);
}
