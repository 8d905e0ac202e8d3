// The machine code of a CVar gateway and of a setter redirection, composed as
// bytes. Addresses are 32-bit game addresses; every rel32 wraps modulo 2^32,
// as the processor computes it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace lwf {

// First instruction of every engine CVar setter: 64 A1 00 00 00 00 = mov eax, fs:[0].
inline constexpr std::array<uint8_t, 6> setterPrologue = {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00};

inline constexpr uint32_t gatewayLength = 11;    // bytes of code in one gateway
inline constexpr uint32_t gatewayStride = 16;    // gateway k starts at page + 16 x k
inline constexpr uint32_t redirectionLength = 6; // bytes replaced at a setter's entry

// Gateway at `gateway` for the setter at `setter` whose first six bytes are `first`:
//   +0  <first 6 bytes>   mov eax, fs:[0]
//   +6  E9 rel32           jmp setter + 6
std::vector<uint8_t> gatewayBytes(const std::array<uint8_t, 6>& first, uint32_t gateway, uint32_t setter);

// Redirection written over the setter's first instruction:
//   +0  E9 rel32           jmp hook
//   +5  90                 nop
std::vector<uint8_t> redirectionBytes(uint32_t setter, uint32_t hook);

} // namespace lwf
