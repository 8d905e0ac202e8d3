// The times of the start-up's phases, for the benchmark build of the plug-in
// (LKM_STARTUP_PHASES): performance-counter ticks, read by the stand-in game
// through the export LkmStartupPhases.
#include <windows.h>

#include <cstdint>

#include "startup_phases.hpp"

#ifdef LKM_STARTUP_PHASES

namespace lkm::plugin {

namespace {

// [0] ticks per second, [1] when the start-up began, [2 + phase] when each
// phase ended (0 for one that did not).
int64_t times[2 + phaseCount] = {};

int64_t now() {
    LARGE_INTEGER ticks{};
    QueryPerformanceCounter(&ticks);
    return ticks.QuadPart;
}

} // namespace

void startupBegan() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    times[0] = frequency.QuadPart;
    times[1] = now();
}

void phaseEnded(Phase phase) {
    times[2 + int(phase)] = now();
}

} // namespace lkm::plugin

// The frequency, the start and the end of each phase, as 64-bit counts.
extern "C" const int64_t* LkmStartupPhases() {
    return lkm::plugin::times;
}

#endif
