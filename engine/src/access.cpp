// Bounded conversions and reads over the image: addresses and offsets, strings,
// relative branches and the writable-range test.
#include <cstdint>
#include <string>

#include "lkm/image.hpp"
#include "lkm/messages.hpp"

namespace lkm {

namespace {
constexpr uint32_t maxString = 512; // positions scanned for the terminator, the terminator included
constexpr uint8_t callRel32 = 0xE8;
constexpr uint8_t jmpRel32 = 0xE9;
} // namespace

uint32_t Image::offset(uint32_t address) const {
    require(address >= base && address - base < bytes.size(), message::pointerOutsideModule);
    return address - base;
}

uint32_t Image::address(uint32_t offset) const {
    return gameAddress(base, bytes.size(), offset);
}

std::string Image::stringAt(uint32_t offset) const {
    require(offset < bytes.size(), message::invalidImageString);
    const std::size_t left = bytes.size() - offset;
    const std::size_t limit = left < maxString ? left : maxString;
    std::string text;
    for (std::size_t i = 0; i < limit; ++i) {
        const uint8_t c = bytes[offset + i];
        if (c == 0) return text;
        text += char(c);
    }
    throw std::runtime_error(message::unterminatedImageString);
}

uint32_t Image::branch(uint32_t offset) const {
    require(offset < bytes.size() && (bytes[offset] == callRel32 || bytes[offset] == jmpRel32),
            message::expectedBranch);
    const uint32_t from = address(offset);
    // offset < length <= 2^32 - 1, so offset + 1 does not wrap.
    const uint32_t displacement = read<uint32_t>(bytes, offset + 1);
    return from + 5 + displacement; // modulo 2^32: a negative displacement branches backwards
}

bool Image::writable(uint32_t offset, uint32_t length) const {
    const uint64_t end = uint64_t(offset) + length;
    for (const Section& s : sections)
        if ((s.characteristics & sectionWrite) && s.rva <= offset && end <= uint64_t(s.rva) + s.size)
            return true;
    return false;
}

} // namespace lkm
