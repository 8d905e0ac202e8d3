// Where the stand-in rival mods hook and poke, found as such mods find it: by
// byte patterns over the executable sections of the game's main module, the
// first match in address order. No platform header: the native tests search
// synthetic code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "lkm/cvar_class.hpp"

namespace lkm::game::rival {

// An executable section as mapped; the ranges of a module are given in address order.
struct CodeRange {
    const uint8_t* bytes;
    std::size_t size;
};

// A place found: its first byte, and how many bytes of its range lie from there on.
struct Place {
    const uint8_t* at = nullptr;
    std::size_t available = 0;
};

// A byte, or `anyByte`.
using Pattern = std::vector<int>;
inline constexpr int anyByte = -1;

// "D9 05 ?? ..." (two hexadecimal digits or ?? per byte, separated by blanks)
// as a pattern; throws std::runtime_error "Bad byte pattern." for other text.
Pattern pattern(std::string_view text);
// Every match of `wanted` in `ranges`, in address order.
std::vector<Place> matches(const std::vector<CodeRange>& ranges, const Pattern& wanted);

// The first CVar setter with `frame`: any 6 bytes for the first instruction
// (64 A1 00 00 00 00 in the stock game, another module's jump after a hook),
// the rest of the exception prologue, the frame and the setters' body
// (lkm::cvar). With cvar::frame60 this is the game's integer setter CVar::SetInt;
// its boolean setter, the other with that frame, comes later.
// Throws "No CVar setter with the chosen frame."
Place firstSetter(const std::vector<CodeRange>& ranges, const cvar::SetterFrame& frame);
// The first GUI forward conversion (lkm::signature::forwardConversion): the
// horizontal units-to-pixels conversion of the game. Throws "No GUI forward conversion."
Place firstForwardConversion(const std::vector<CodeRange>& ranges);
// The aspect operand (68 imm32, the imm32) of the one camera projection site
// (lkm::signature::cameraProjection) that pushes the float with bits `aspect`.
// Throws "Not exactly one camera projection pushes the aspect to replace."
Place cameraAspectOperand(const std::vector<CodeRange>& ranges, uint32_t aspect);

} // namespace lkm::game::rival
