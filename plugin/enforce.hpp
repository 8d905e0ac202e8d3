// Value enforcement: after every successful set of one of the four CVars the
// plug-in controls, the configured width, height, fullscreen flag or field of
// view is written back into the CVar object.
#pragma once

#include <cstdint>

#include "globals.hpp"

namespace lkm::plugin {

enum class Cvar { none, xres, yres, fullscreen, fov };

// Which of the four enforced CVars lives at a game address;
// `none` for any other address, and for 0 (a CVar that was never found).
Cvar enforcedCvar(uint32_t object);

// The configured value of `cvar` from the plug-in globals. `current` is the float
// the object holds now; only the FOV without BaseFOV reads it. `none` keeps `current`.
float enforcedValue(Cvar cvar, float current);

// Truncation toward zero, defined for every float: beyond the int32 range the
// result saturates at INT32_MIN or INT32_MAX, and NaN gives 0.
int32_t truncateSaturating(float value);

// Publishes `values` for enforcement, then arms it: the one place that writes
// what enforcement reads, called once, immediately before the first enforce.
void arm(const Enforcement& values);

// Writes the configured value into `object` (float, then integer, then bool)
// when `active` is set and the object is one of the four; otherwise does nothing.
// Without BaseFOV, an r_fov that holds exactly the float enforce wrote there last
// (the game read it back and set it again) is written again unscaled.
void enforce(void* object);

} // namespace lkm::plugin
