// Bounded little-endian access to byte vectors and the failure primitive.
// Every number read from the game goes through these before it is used.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "lkm/messages.hpp"

namespace lkm {

// Throws std::runtime_error carrying `message` when `condition` is false.
inline void require(bool condition, const std::string& message) {
    if (!condition) throw std::runtime_error(message);
}

namespace detail {
// offset <= length and length - offset >= width, in that order: no sum can wrap.
inline bool fits(std::size_t length, uint32_t offset, uint32_t width) {
    return offset <= length && length - offset >= width;
}

// The `width` bytes (at most 4) at `at`, lowest byte first; the caller has bounded them.
inline uint32_t littleEndian(const uint8_t* at, std::size_t width) {
    uint32_t bits = 0;
    for (std::size_t i = 0; i < width; ++i) bits |= uint32_t(at[i]) << (8 * i);
    return bits;
}
} // namespace detail

// The `width` bytes at `offset` of a byte vector, which the caller has bounded.
// Other byte containers (lkm::ImageBytes) offer a copyBytes of their own.
inline void copyBytes(const std::vector<uint8_t>& bytes, uint32_t offset, uint8_t* out, std::size_t width) {
    std::memcpy(out, bytes.data() + offset, width);
}

// Reads a uint16_t, uint32_t or float (bit pattern, lowest byte first) from a
// byte vector or any container with size() and a copyBytes.
template <class T, class Bytes>
T read(const Bytes& bytes, uint32_t offset) {
    static_assert(std::is_same_v<T, uint16_t> || std::is_same_v<T, uint32_t> || std::is_same_v<T, float>,
                  "lkm::read supports uint16_t, uint32_t and float");
    require(detail::fits(bytes.size(), offset, sizeof(T)), message::invalidImageRange);
    uint8_t raw[sizeof(T)];
    copyBytes(bytes, offset, raw, sizeof(T));
    const uint32_t bits = detail::littleEndian(raw, sizeof(T));
    if constexpr (std::is_same_v<T, float>) {
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    } else {
        return static_cast<T>(bits);
    }
}

// Writes a uint32_t or float (bit pattern, lowest byte first); the length never changes.
template <class T>
void put(std::vector<uint8_t>& bytes, uint32_t offset, T value) {
    static_assert(std::is_same_v<T, uint32_t> || std::is_same_v<T, float>,
                  "lkm::put supports uint32_t and float");
    require(detail::fits(bytes.size(), offset, sizeof(T)), message::invalidPatchRange);
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (uint32_t i = 0; i < sizeof(T); ++i) bytes[offset + i] = uint8_t(bits >> (8 * i));
}

} // namespace lkm
