// The module's entry points and the start-up they run once (Windows builds only).
#pragma once

#include <windows.h>

namespace lkm::plugin {

extern HMODULE moduleHandle; // the plug-in's own module, set at process attach
// The only guard against a second start-up: notStarted, then running, then done.
inline constexpr LONG notStarted = 0, running = 1, done = 2;
extern volatile LONG initialized;

// The whole start-up; reports its own failures and never lets an exception out.
void initialize();

} // namespace lkm::plugin

// The one export, called by the ASI loader.
extern "C" void InitializeASI();
