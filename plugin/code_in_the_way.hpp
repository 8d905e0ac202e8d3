// A stop because the game's code is not what the plug-in found or expects at
// a place it is about to change: another program may stand in the way, so the
// start-up explains the stop (stop_explanation.hpp) before its stop line.
#pragma once

#include <stdexcept>

namespace lkm::plugin {

struct CodeInTheWay : std::runtime_error {
    using std::runtime_error::runtime_error;
};

namespace refusal {
// A setter's first instruction is neither the engine's own nor, with
// ChainHooks=1, another mod's jump that the executable file confirms.
inline constexpr char unsupportedHookInstruction[] = "Unsupported CVar hook instruction.";
// The commit's re-check: live bytes differ from those recognition found.
inline constexpr char gameCodeChanged[] = "Game code changed during initialization; no patches applied.";
} // namespace refusal

} // namespace lkm::plugin
