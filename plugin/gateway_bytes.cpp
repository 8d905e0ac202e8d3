#include "gateway_bytes.hpp"

#include "lkm/bytes.hpp"

namespace lwf {

std::vector<uint8_t> gatewayBytes(const std::array<uint8_t, 6>& first, uint32_t gateway, uint32_t setter) {
    std::vector<uint8_t> code(first.begin(), first.end()); // +0: the setter's first instruction
    code.resize(gatewayLength);
    code[6] = 0xE9; // +6: E9 rel32, jmp setter + 6
    lkm::put<uint32_t>(code, 7, (setter + 6) - (gateway + gatewayLength));
    return code;
}

std::vector<uint8_t> redirectionBytes(uint32_t setter, uint32_t hook) {
    std::vector<uint8_t> code(redirectionLength);
    code[0] = 0xE9; // +0: E9 rel32, jmp hook
    lkm::put<uint32_t>(code, 1, hook - (setter + 5));
    code[5] = 0x90; // +5: nop, no half instruction left behind
    return code;
}

} // namespace lwf
