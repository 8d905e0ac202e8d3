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

namespace lkm::plugin {

// Entry-point type of the engine's CVar setters and of their replacements:
// object in ECX, a pass-through value in EDX, one stack argument removed by the callee.
using Setter = bool(LKM_FASTCALL*)(void* object, void* passThrough, unsigned value);

// One entry per engine setter: index k for setter k of Layout::setters.
using Setters = std::array<Setter, lkm::cvar::setterCount>;
using HookAddresses = std::array<uint32_t, lkm::cvar::setterCount>; // the setter replacements' addresses

// What enforcement applies: the configured values and the CVars recognition
// found. The start-up publishes it once, immediately before it sets `active`;
// nothing writes it afterwards.
struct Enforcement {
    int32_t resolutionX = 0;   // target width in pixels
    int32_t resolutionY = 0;   // target height in pixels
    int32_t windowed = 0;      // Windowed option, 0 or 1
    int32_t forcedBaseFov = 0; // BaseFOV option, 0 keeps the game's own FOV
    double focalFactor = 1.0;  // camera aspect / target aspect
    uint32_t xresCvar = 0;     // addresses of the four CVar objects
    uint32_t yresCvar = 0;
    uint32_t fovCvar = 0;
    uint32_t fullscreenCvar = 0;
    int32_t defaultFocal = 0; // r_fov construction default, 1..9999
};

extern std::FILE* logFile;      // open log, null when none is open
extern Enforcement enforced;    // see Enforcement
extern Setters originalSetters; // gateway k reaches engine setter k; written before the commit
extern const Setters hooks;     // setHook<0> .. setHook<4>

// Enforcement armed after the commit: stored with release right after
// `enforced` is published, loaded with acquire by the setter replacements.
extern std::atomic<bool> active;

// The float bit pattern enforce last wrote into r_fov, read and written by the
// setter replacements on any engine thread without a lock. enforce never writes
// a NaN, so this quiet NaN means "nothing written yet".
inline constexpr uint32_t noFovWritten = 0x7FC0DEADu;
extern std::atomic<uint32_t> lastWrittenFov;

} // namespace lkm::plugin
