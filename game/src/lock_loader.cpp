// LarkLoader.dll: an ASI loader in the mode that starts the modules from its
// own DllMain, under the loader lock. The game loads it in its lock mode and
// reads the loader's report back.
#include <windows.h>

#include "asi_loader.hpp"

namespace lkm::game {

namespace {

AsiReport report;
bool done = false;

} // namespace

} // namespace lkm::game

extern "C" __declspec(dllexport) const lkm::game::AsiReport* lockReport() {
    return lkm::game::done ? &lkm::game::report : nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        lkm::game::report = lkm::game::loadAsiModules(lkm::game::AsiOptions{});
        lkm::game::done = true;
    }
    return TRUE;
}
