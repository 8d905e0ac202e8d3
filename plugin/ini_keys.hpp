// The INI's keys, in the order the start-up reads them: each key's name in
// section MAIN, its default, the values it accepts and the sentence that
// refuses any other. The plug-in, the compatibility page and the INI it offers
// all read this table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lkm/plan.hpp"

namespace lkm::plugin {

struct IniKey {
    const wchar_t* name;
    int32_t defaultValue;
    int32_t lowest; // the values accepted, both bounds included
    int32_t highest;
    const char* refusal; // thrown for a value outside lowest..highest
};

// The key's name as the INI's text spells it (every name is ASCII).
inline std::string nameOf(const IniKey& key) {
    std::string name;
    for (const wchar_t* c = key.name; *c != 0; ++c) name += char(*c);
    return name;
}

namespace ini {

// ResX and ResY are judged as a pair, after the other keys: both 0 takes the
// desktop's mode, and the mode itself must lie within the same limits.
inline constexpr const char* resolutionRefusal =
    "Set both ResX and ResY, or set both to 0 for automatic resolution.";

inline constexpr IniKey enabled{L"Enabled", 1, 0, 1, "Enabled must be 0 or 1."};
inline constexpr IniKey resX{L"ResX", 0, lkm::minResolutionX, lkm::maxResolutionX, resolutionRefusal};
inline constexpr IniKey resY{L"ResY", 0, lkm::minResolutionY, lkm::maxResolutionY, resolutionRefusal};
inline constexpr IniKey keepUiAspectRatio{L"KeepUIAspectRatio", 1, 0, 1, "KeepUIAspectRatio must be 0 or 1."};
inline constexpr IniKey windowed{L"Windowed", 0, 0, 1, "Windowed must be 0 or 1."};
inline constexpr IniKey baseFov{L"BaseFOV", 0, 0, 9999, "BaseFOV must be 0..9999."}; // 0: the game's own
// 1: a setter whose entry another mod hooked is redirected behind that mod's hook.
inline constexpr IniKey chainHooks{L"ChainHooks", 0, 0, 1, "ChainHooks must be 0 or 1."};

// Every key in reading order.
inline constexpr IniKey keys[] = {enabled, resX, resY, keepUiAspectRatio, windowed, baseFov, chainHooks};
inline constexpr std::size_t keyCount = sizeof keys / sizeof keys[0];

} // namespace ini

} // namespace lkm::plugin
