#include "enforce.hpp"

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>

#include "globals.hpp"
#include "lkm/cvar_class.hpp"

namespace lkm::plugin {

namespace {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "CVar values are IEEE 754 floats");

// One rounding of a double to float, as IEEE 754 rounds to nearest: a magnitude
// from FLT_MAX + half an ulp on becomes an infinity (which the next set of the
// CVar replaces by the default FOV). The cast itself sees only values in range.
float roundToFloat(double value) {
    constexpr float infinity = std::numeric_limits<float>::infinity();
    constexpr double overflow = 0x1.ffffffp+127; // FLT_MAX + 2^103: this midpoint rounds to even, 2^128
    if (std::fabs(value) >= overflow) return value > 0 ? infinity : -infinity;
    return static_cast<float>(value);
}

float fieldOfView(float current) {
    if (enforced.forcedBaseFov != 0) {
        // BaseFOV is a 4:3 field of view: scale it by 4:3 over the target aspect.
        const double targetAspect = double(enforced.resolutionX) / double(enforced.resolutionY);
        return roundToFloat(double(enforced.forcedBaseFov) * (4.0 / 3.0) / targetAspect);
    }
    // The game's own value, scaled by its camera aspect over the target aspect.
    const double game =
        std::isfinite(current) && current > 0.0f ? double(current) : double(enforced.defaultFocal);
    return roundToFloat(game * enforced.focalFactor);
}

} // namespace

Cvar enforcedCvar(uint32_t object) {
    if (object == 0) return Cvar::none;
    if (object == enforced.xresCvar) return Cvar::xres;
    if (object == enforced.yresCvar) return Cvar::yres;
    if (object == enforced.fullscreenCvar) return Cvar::fullscreen;
    if (object == enforced.fovCvar) return Cvar::fov;
    return Cvar::none;
}

float enforcedValue(Cvar cvar, float current) {
    switch (cvar) {
    case Cvar::xres:
        return float(enforced.resolutionX);
    case Cvar::yres:
        return float(enforced.resolutionY);
    case Cvar::fullscreen:
        return enforced.windowed != 0 ? 0.0f : 1.0f;
    case Cvar::fov:
        return fieldOfView(current);
    case Cvar::none:
        break;
    }
    return current;
}

int32_t truncateSaturating(float value) {
    if (std::isnan(value)) return 0;
    // -2^31 and 2^31 are exact floats; everything strictly between truncates in range.
    if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

void arm(const Enforcement& values) {
    enforced = values;
    // After the values it guards: a setter replacement that sees it set sees them too.
    active.store(true, std::memory_order_release);
}

void enforce(void* object) {
    if (!active.load(std::memory_order_acquire)) return;
    const uintptr_t pointer = reinterpret_cast<uintptr_t>(object);
    const uint32_t address = static_cast<uint32_t>(pointer);
    if (address != pointer) return; // beyond 32 bits: no game object
    const Cvar cvar = enforcedCvar(address);
    if (cvar == Cvar::none) return;

    uint8_t* const fields = static_cast<uint8_t*>(object);
    float current;
    std::memcpy(&current, fields + lkm::cvar::floatField, sizeof current);
    uint32_t currentBits;
    std::memcpy(&currentBits, &current, sizeof currentBits);
    // The game's own field of view read back and set again is what enforce wrote
    // last: it is written again as it is, never scaled a second time.
    const bool fovReadBack = cvar == Cvar::fov && enforced.forcedBaseFov == 0 &&
                             currentBits != noFovWritten &&
                             currentBits == lastWrittenFov.load(std::memory_order_relaxed);
    const float value = fovReadBack ? current : enforcedValue(cvar, current);
    if (cvar == Cvar::fov) {
        uint32_t valueBits;
        std::memcpy(&valueBits, &value, sizeof valueBits);
        lastWrittenFov.store(valueBits, std::memory_order_relaxed);
    }
    const int32_t integer = truncateSaturating(value);
    const uint8_t truth = value != 0.0f ? 1 : 0;

    // Three plain stores in this order; the fences keep the compiler from reordering them.
    std::memcpy(fields + lkm::cvar::floatField, &value, sizeof value);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(fields + lkm::cvar::intField, &integer, sizeof integer);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    fields[lkm::cvar::boolField] = truth;
}

} // namespace lkm::plugin
