// GuiHook.asi: another mod's hook on a place that the plug-in's recognition
// reads but does not redirect, loaded before the plug-in: the game's horizontal
// GUI conversion from units to pixels (lkm::game::rival::firstForwardConversion).
// Its first instruction, D9 05 abs32 (fld dword ptr [r_xres value], 6 bytes),
// moves into the trampoline, followed by E9 rel32 back to the conversion + 6;
// over it the module writes
//   E9 rel32   jmp conversionHook
//   90         nop
// The game computes the same results through the hook.
#include <atomic>
#include <cstdint>

#include "rival_win32.hpp"

namespace lkm::game::rival {

namespace {

// The conversions: one float on the stack (cdecl), the result in st(0).
using Conversion = float (*)(float);

void* trampoline = nullptr;
std::atomic<uint32_t> calls{0};

float conversionHook(float units) {
    calls.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<Conversion>(trampoline)(units);
}

void install() {
    const Place conversion = firstForwardConversion(gameCode());
    installDetour(conversion, reinterpret_cast<const void*>(&conversionHook), trampoline);
}

} // namespace

} // namespace lkm::game::rival

extern "C" void InitializeASI() {
    lkm::game::rival::startOnce(LKM_RIVAL_NAME, lkm::game::rival::install);
}

// How many times the hook ran: every call of the conversion since InitializeASI.
extern "C" uint32_t GetHookCalls() {
    return lkm::game::rival::calls.load(std::memory_order_relaxed);
}
