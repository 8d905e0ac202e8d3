// The jumps that hooking libraries write over the entry of a function, decoded
// from live bytes. Targets wrap modulo 2^32, as the processor computes them.
#pragma once

#include <cstdint>
#include <optional>

#include "lkm/live_bytes.hpp"

namespace lkm {

// Where the jump at `address` leads, for these forms:
//   E9 rel32          jmp address + 5 + rel32
//   FF 25 abs32       jmp dword ptr [abs32]   (the target read at abs32)
//   68 imm32 C3       push imm32; ret
// None when the bytes there are none of them, or any byte needed cannot be read.
std::optional<uint32_t> jumpTarget(const LiveBytes& live, uint32_t address);

} // namespace lkm
