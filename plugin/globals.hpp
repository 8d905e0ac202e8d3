// The plug-in's state that outlives the start-up. Everything here is written
// by the start-up before `active` becomes true and only read afterwards, on
// any thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>

#include "compiler.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/layout.hpp"

namespace lkm::plugin {

// Entry-point type of the engine's CVar setters and of their replacements:
// object in ECX, a pass-through value in EDX, one stack argument removed by the callee.
using Setter = bool(LKM_FASTCALL*)(void* object, void* passThrough, unsigned value);

// One entry per engine setter: index k for setter k of Layout::setters.
using Setters = std::array<Setter, lkm::cvar::setterCount>;
using HookAddresses = std::array<uint32_t, lkm::cvar::setterCount>; // the setter replacements' addresses

extern std::FILE* logFile;      // open log, null when none is open
extern int32_t resolutionX;     // target width in pixels
extern int32_t resolutionY;     // target height in pixels
extern int32_t windowed;        // Windowed option, 0 or 1
extern int32_t forcedBaseFov;   // BaseFOV option, 0 keeps the game's own FOV
extern lkm::Layout layout;      // what recognition found
extern Setters originalSetters; // gateway k reaches engine setter k
extern double focalFactor;      // camera aspect / target aspect
extern const Setters hooks;     // setHook<0> .. setHook<4>

// Enforcement armed after the commit: stored with release after every global
// above is written, loaded with acquire by the setter replacements.
extern std::atomic<bool> active;

// The float bit pattern enforce last wrote into r_fov, read and written by the
// setter replacements on any engine thread without a lock. enforce never writes
// a NaN, so this quiet NaN means "nothing written yet".
inline constexpr uint32_t noFovWritten = 0x7FC0DEADu;
extern std::atomic<uint32_t> lastWrittenFov;

} // namespace lkm::plugin
