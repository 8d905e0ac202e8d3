// The module's entry points and the start-up they run once (Windows builds only).
#pragma once

#include <windows.h>

#include <mutex>

namespace lwf {

extern HMODULE moduleHandle;       // the plug-in's own module, set at process attach
extern std::once_flag initialized; // the only guard against a second start-up

// The whole start-up; reports its own failures and never lets an exception out.
void initialize();

} // namespace lwf

// The one export, called by the ASI loader.
extern "C" void InitializeASI();
