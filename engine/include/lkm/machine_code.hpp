// The machine code the plug-in writes into the game or beside it, composed as
// bytes. Addresses are 32-bit game addresses; every rel32 wraps modulo 2^32, as
// the processor computes it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "lkm/cvar_class.hpp"

namespace lkm {

inline constexpr uint32_t gatewayLength = 11;          // bytes of code in one gateway
inline constexpr uint32_t redirectionLength = 6;       // bytes replaced at a setter's entry
inline constexpr uint32_t redirectionTargetOffset = 1; // where the rel32 of a redirection starts

// The rel32 of a 5-byte E8/E9 instruction at `at` that reaches `target`.
inline uint32_t relativeBranch(uint32_t at, uint32_t target) {
    return target - (at + 5);
}

// The root GUI initializer call, at `at`:
//   E8 rel32           call target
std::vector<uint8_t> callBytes(uint32_t at, uint32_t target);

// A centring trampoline at `at`, entered with the return address at [esp]:
//   C7 44 24 d imm32   mov dword ptr [esp+d], argument (float bits)
//   E9 rel32           jmp target
std::vector<uint8_t> centringTrampolineBytes(uint32_t at, uint8_t stackDisplacement, float argument,
                                             uint32_t target);

// The first instruction of a setter, as a gateway runs it (cvar::setterPrologue).
using SetterEntry = std::array<uint8_t, cvar::setterPrologue.size()>;

// Gateway at `gateway` for the setter at `setter` whose first six bytes are `first`:
//   +0  <first 6 bytes>   mov eax, fs:[0]
//   +6  E9 rel32           jmp setter + 6
std::vector<uint8_t> gatewayBytes(const SetterEntry& first, uint32_t gateway, uint32_t setter);

// Redirection written over the setter's first instruction:
//   +0  E9 rel32           jmp hook
//   +5  90                 nop
std::vector<uint8_t> redirectionBytes(uint32_t setter, uint32_t hook);

// Where another mod's jump replaced the setter's first instruction, the
// plug-in runs behind that mod's hook: its gateway runs the other jump,
// relocated, where the first instruction would be, and the redirection
// replaces exactly the 5 bytes of the other jump.
inline constexpr uint32_t chainedRedirectionLength = 5;
// Gateway at `gateway` for the setter at `setter` whose entry jumps to `other`:
//   +0  E9 rel32           jmp other (the other mod's hook)
//   +5  90                 nop
//   +6  E9 rel32           jmp setter + 6 (as in every gateway; the hook returns by its own way)
std::vector<uint8_t> chainedGatewayBytes(uint32_t other, uint32_t gateway, uint32_t setter);
// Redirection over the other mod's jump at `setter`:
//   +0  E9 rel32           jmp hook
std::vector<uint8_t> chainedRedirectionBytes(uint32_t setter, uint32_t hook);

} // namespace lkm
