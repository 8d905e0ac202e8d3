#include "hook_code.hpp"

#include <algorithm>
#include <stdexcept>

#include "lkm/bytes.hpp"
#include "lkm/machine_code.hpp"

namespace lkm::game::rival {

namespace {

constexpr uint8_t jmpRel32 = 0xE9;
constexpr uint8_t nop = 0x90;

struct Form {
    uint8_t opcode[2];
    std::size_t opcodeLength;
    std::size_t length;
};
constexpr Form forms[] = {
    {{0x64, 0xA1}, 2, 6}, // mov eax, fs:[imm32]
    {{0xD9, 0x05}, 2, 6}, // fld dword ptr [abs32]
    {{jmpRel32}, 1, 5},   // jmp rel32
    {{nop}, 1, 1},        // nop
};

// The rel32 of the E9 at `code`, whose five bytes the caller has bounded.
uint32_t rel32(const uint8_t* code) {
    return uint32_t(code[1]) | uint32_t(code[2]) << 8 | uint32_t(code[3]) << 16 | uint32_t(code[4]) << 24;
}

// E9 rel32 at game address `at`, to `destination`.
void appendJump(std::vector<uint8_t>& code, uint32_t at, uint32_t destination) {
    const auto start = uint32_t(code.size());
    code.resize(code.size() + jumpLength);
    code[start] = jmpRel32;
    put(code, start + 1, relativeBranch(at, destination));
}

} // namespace

std::size_t instructionLength(const uint8_t* code, std::size_t available) {
    for (const Form& form : forms) {
        // The opcode as far as the bytes go: the start of a form cut short is that form.
        const std::size_t known = std::min(available, form.opcodeLength);
        if (!std::equal(form.opcode, form.opcode + known, code)) continue;
        if (available < form.length)
            throw std::runtime_error("The hook's target ends inside an instruction.");
        return form.length;
    }
    throw std::runtime_error("Unsupported instruction at the hook's target.");
}

Detour detour(const uint8_t* code, std::size_t available, uint32_t target, uint32_t trampoline,
              uint32_t hook) {
    Detour result;
    std::size_t displaced = 0;
    bool leaves = false; // the last displaced instruction is a jmp
    while (displaced < jumpLength) {
        const uint8_t* instruction = code + displaced;
        const std::size_t length = instructionLength(instruction, available - displaced);
        const auto at = uint32_t(target + displaced);
        leaves = instruction[0] == jmpRel32;
        if (leaves) // the same destination, reached from the trampoline
            appendJump(result.trampoline, trampoline + uint32_t(result.trampoline.size()),
                       at + uint32_t(jumpLength) + rel32(instruction));
        else
            result.trampoline.insert(result.trampoline.end(), instruction, instruction + length);
        displaced += length;
    }
    if (!leaves)
        appendJump(result.trampoline, trampoline + uint32_t(result.trampoline.size()),
                   target + uint32_t(displaced));
    appendJump(result.entry, target, hook);
    result.entry.resize(displaced, nop);
    return result;
}

} // namespace lkm::game::rival
