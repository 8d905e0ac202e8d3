// Facts of the stock engine's code that recognition, the patch's writes and
// the tools share: the GUI conversion functions' length, the patch spaces
// after them, and the stock values of the places the patch writes.
#pragma once

#include <cstdint>

#include "lkm/bytes.hpp"
#include "lkm/messages.hpp"

namespace lkm::stock {

inline constexpr uint32_t guiConversionLength = 17; // every GUI conversion function, ret included
inline constexpr uint32_t patchSpaceLength = 15;    // the CC run after three of them
inline constexpr uint8_t patchSpaceFiller = 0xCC;   // int3

// The offset of the patch space after the GUI conversion at `conversion`
// ("Invalid engine address." past 32 bits).
inline uint32_t patchSpaceAfter(uint32_t conversion) {
    require(conversion <= UINT32_MAX - guiConversionLength, message::invalidEngineAddress);
    return conversion + guiConversionLength;
}

// Float bit patterns.
inline constexpr uint32_t cameraAspectBits = 0x3FAAAAAB;        // 4/3
inline constexpr uint32_t guiWidthBits = 0x44800000;            // 1024.0
inline constexpr uint32_t guiHeightBits = 0x44400000;           // 768.0
inline constexpr uint32_t guiWidthReciprocalBits = 0x3A800000;  // 1/1024
inline constexpr uint32_t guiHeightReciprocalBits = 0x3AAAAAAB; // nearest float to 1/768

} // namespace lkm::stock
