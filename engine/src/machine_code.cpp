#include "lkm/machine_code.hpp"

#include <algorithm>

#include "lkm/bytes.hpp"

namespace lkm {

std::vector<uint8_t> callBytes(uint32_t at, uint32_t target) {
    std::vector<uint8_t> code(5);
    code[0] = 0xE8; // +0: E8 rel32, call target
    put(code, 1, relativeBranch(at, target));
    return code;
}

std::vector<uint8_t> centringTrampolineBytes(uint32_t at, uint8_t stackDisplacement, float argument,
                                             uint32_t target) {
    // +0: C7 44 24 d imm32, mov dword ptr [esp+d], argument
    std::vector<uint8_t> code = {0xC7, 0x44, 0x24, stackDisplacement, 0, 0, 0, 0, 0xE9, 0, 0, 0, 0};
    put(code, 4, argument);
    // +8: E9 rel32, jmp target
    put(code, 9, relativeBranch(at + 8, target));
    return code;
}

std::vector<uint8_t> gatewayBytes(const SetterEntry& first, uint32_t gateway, uint32_t setter) {
    const uint32_t entry = uint32_t(first.size());
    std::vector<uint8_t> code(first.begin(), first.end()); // +0: the setter's first instruction
    code.resize(gatewayLength);
    code[entry] = 0xE9; // +6: E9 rel32, jmp setter + 6
    put<uint32_t>(code, entry + 1, (setter + entry) - (gateway + gatewayLength));
    return code;
}

std::vector<uint8_t> redirectionBytes(uint32_t setter, uint32_t hook) {
    std::vector<uint8_t> code(redirectionLength);
    code[0] = 0xE9; // +0: E9 rel32, jmp hook
    put(code, redirectionTargetOffset, relativeBranch(setter, hook));
    code[5] = 0x90; // +5: nop, no half instruction left behind
    return code;
}

std::vector<uint8_t> chainedGatewayBytes(uint32_t other, uint32_t gateway, uint32_t setter) {
    // +0: E9 rel32, jmp other; +5: 90, in place of the first instruction.
    const std::vector<uint8_t> jump = redirectionBytes(gateway, other);
    SetterEntry first;
    std::copy(jump.begin(), jump.end(), first.begin());
    return gatewayBytes(first, gateway, setter);
}

std::vector<uint8_t> chainedRedirectionBytes(uint32_t setter, uint32_t hook) {
    std::vector<uint8_t> code = redirectionBytes(setter, hook);
    code.resize(chainedRedirectionLength); // +0: E9 rel32, jmp hook
    return code;
}

} // namespace lkm
