// The machine code that the stand-in rival mods write, composed as bytes the
// way hooking libraries compose it: the first whole instructions of a target
// move into a trampoline (a relative jump among them re-emitted with its
// displacement fixed for the trampoline's address), and a jump to the hook
// takes their place. Addresses are 32-bit game addresses; every rel32 wraps
// modulo 2^32, as the processor computes it. No platform header: the native
// tests check these bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lkm::game::rival {

inline constexpr std::size_t jumpLength = 5; // E9 rel32

// The length of the instruction at `code`, one of the few forms met at the
// rival mods' targets:
//   64 A1 imm32   mov eax, fs:[imm32]      6  a CVar setter's first instruction
//   D9 05 abs32   fld dword ptr [abs32]    6  a GUI conversion's first instruction
//   E9 rel32      jmp rel32                5  another module's hook
//   90            nop                      1  the padding behind such a jump
// Throws std::runtime_error "Unsupported instruction at the hook's target." for
// any other form, and "The hook's target ends inside an instruction." when
// fewer bytes than its length (or none at all) are `available`.
std::size_t instructionLength(const uint8_t* code, std::size_t available);

struct Detour {
    std::vector<uint8_t> entry;      // written over the target's first entry.size() bytes
    std::vector<uint8_t> trampoline; // written at the trampoline's address
};

// The detour of the code at game address `target` (its bytes at `code`, of
// which `available` may be read) to `hook`, through a trampoline at `trampoline`.
// The whole instructions that cover the first five bytes are displaced:
//   entry       E9 rel32       jmp hook
//               90 ...         nop over the rest of the last displaced instruction
//   trampoline  the displaced instructions in order, each E9 rel32 re-emitted
//               to reach its own destination from its new address; then
//               E9 rel32       jmp target + displaced length
//               unless the last displaced instruction was a jmp, which never comes back.
Detour detour(const uint8_t* code, std::size_t available, uint32_t target, uint32_t trampoline,
              uint32_t hook);

} // namespace lkm::game::rival
