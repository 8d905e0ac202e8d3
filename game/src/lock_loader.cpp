// LarkLoader.dll: an ASI loader in the mode that starts the modules from its
// own DllMain, under the loader lock. The game loads it in its lock mode and
// reads the loader's report back.
#include <windows.h>

#include "asi_loader.hpp"

namespace {

AsiReport report;
bool done = false;

} // namespace

extern "C" __declspec(dllexport) const AsiReport* lockReport() {
    return done ? &report : nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        report = loadAsiModules(AsiOptions{});
        done = true;
    }
    return TRUE;
}
