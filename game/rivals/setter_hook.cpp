// HookFirst.asi and ZoomHook.asi: another mod's hook on the game's integer
// CVar setter, CVar::SetInt (lkm::game::rival::firstSetter with frame 60h), in the
// two places of the load order: HookFirst sorts before the plug-in's file and
// finds the stock entry, ZoomHook sorts after it and finds the plug-in's
// redirection there. Both write at the setter's entry
//   E9 rel32   jmp setterHook
//   90         nop, when the displaced instruction was 64 A1 00 00 00 00 (6 bytes)
// and keep the displaced instruction in their trampoline: the 6-byte mov
// followed by E9 rel32 back to the setter + 6, or another module's E9 rel32
// re-emitted to reach the same hook (its 90 stays at the setter, never run).
#include <atomic>
#include <cstdint>

#include "rival_win32.hpp"

namespace lkm::game::rival {

namespace {

// The engine's setters: object in ECX, one stack argument removed by the
// callee, bool in AL. Fastcall passes ECX and EDX and lets the callee remove
// the stack argument; EDX goes through unchanged.
using Setter = bool(__fastcall*)(void* object, void* passThrough, unsigned value);

void* trampoline = nullptr;
std::atomic<uint32_t> calls{0};

bool __fastcall setterHook(void* object, void* passThrough, unsigned value) {
    calls.fetch_add(1, std::memory_order_relaxed);
    return reinterpret_cast<Setter>(trampoline)(object, passThrough, value);
}

void install() {
    const Place setter = firstSetter(gameCode(), lkm::cvar::frame60);
    installDetour(setter, reinterpret_cast<const void*>(&setterHook), trampoline);
}

} // namespace

} // namespace lkm::game::rival

extern "C" void InitializeASI() {
    lkm::game::rival::startOnce(LKM_RIVAL_NAME, lkm::game::rival::install);
}

// How many times the hook ran: every call of the setter since InitializeASI.
extern "C" uint32_t GetHookCalls() {
    return lkm::game::rival::calls.load(std::memory_order_relaxed);
}
