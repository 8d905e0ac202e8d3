// The INI's options read and judged in the start-up's fixed order: the rules
// that the plug-in and the compatibility page share.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "ini_keys.hpp"

namespace lkm::plugin {

// The options as the start-up uses them.
struct Settings {
    bool enabled = true;
    int32_t resolutionX = 0; // 0 with resolutionY 0: the desktop's mode
    int32_t resolutionY = 0;
    int32_t keepUiAspectRatio = 1;
    int32_t windowed = 0;
    int32_t baseFov = 0;    // 0 keeps the game's own field of view
    int32_t chainHooks = 0; // 1 runs the plug-in behind another mod's hook on a setter entry
};

// The value of one key of section MAIN, or the default when the key is absent.
using OptionReader = std::function<int(const wchar_t* key, int defaultValue)>;

// Reads the keys in the order of ini::keys and judges each as it is read; the
// first that fails throws its sentence and nothing after it is read. With
// Enabled 0 nothing else is read. The resolution is judged later, by
// requireResolution.
Settings readSettings(const OptionReader& read);

// The settings' values in the order of ini::keys, Enabled as 0 or 1.
std::array<int32_t, ini::keyCount> valuesOf(const Settings& settings);

// Both resolution keys 0: the plug-in takes the desktop's mode.
bool automaticResolution(int32_t width, int32_t height);

// Throws ini::resolutionRefusal unless lkm::supportedResolution accepts the
// size (the limits that ini::resX and ini::resY name).
void requireResolution(int32_t width, int32_t height);

} // namespace lkm::plugin
