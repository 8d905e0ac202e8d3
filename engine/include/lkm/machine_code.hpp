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

} // namespace lkm
