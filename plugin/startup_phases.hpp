// The start-up's phases, timed in the benchmark build of the plug-in only
// (LKM_STARTUP_PHASES, which also exports LkmStartupPhases); in the plug-in
// that ships, marking a phase compiles to nothing.
#pragma once

namespace lkm::plugin {

enum class Phase {
    paths,       // the plug-in's files, the banner, the INI, the target resolution, the claim
    regions,     // the game module's headers and its regions, queried once
    search,      // every signature, in one pass over the code
    recognition, // the recognition steps and the plan
    gateways,    // the transaction filled, the gateways built
    commit,      // the module pinned, the other threads held, the commit
    log,         // enforcement armed, the values applied, the closing lines
};
inline constexpr int phaseCount = 7;

#ifdef LKM_STARTUP_PHASES
// Notes the moment `phase` ended.
void phaseEnded(Phase phase);
// Notes the moment the start-up began.
void startupBegan();
#else
inline void phaseEnded(Phase) {}
inline void startupBegan() {}
#endif

} // namespace lkm::plugin
