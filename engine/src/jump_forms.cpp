#include "lkm/jump_forms.hpp"

#include <array>

#include "lkm/bytes.hpp"

namespace lkm {

namespace {

constexpr uint8_t jmpRel32 = 0xE9;
constexpr uint8_t indirectPrefix = 0xFF, indirectAbsolute = 0x25;
constexpr uint8_t push = 0x68, ret = 0xC3;

std::optional<uint32_t> liveWord(const LiveBytes& live, uint32_t address) {
    std::array<uint8_t, 4> bytes;
    if (!live.read(address, bytes.data(), bytes.size())) return std::nullopt;
    return detail::littleEndian(bytes.data(), bytes.size());
}

} // namespace

std::optional<uint32_t> jumpTarget(const LiveBytes& live, uint32_t address) {
    // The opcode first, then the whole form from its start (so that no read
    // wraps past 2^32): a jump that ends at the last readable byte still decodes.
    std::array<uint8_t, 6> code;
    if (!live.read(address, code.data(), 1)) return std::nullopt;
    switch (code[0]) {
    case jmpRel32:
        if (!live.read(address, code.data(), 5)) return std::nullopt;
        return address + 5 + detail::littleEndian(code.data() + 1, 4);
    case indirectPrefix:
        if (!live.read(address, code.data(), 6) || code[1] != indirectAbsolute) return std::nullopt;
        return liveWord(live, detail::littleEndian(code.data() + 2, 4));
    case push:
        if (!live.read(address, code.data(), 6) || code[5] != ret) return std::nullopt;
        return detail::littleEndian(code.data() + 1, 4);
    default:
        return std::nullopt;
    }
}

} // namespace lkm
