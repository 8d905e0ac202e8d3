// Internal steps of lkm::inspect and the small bounded readers they share.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "lkm/cvar_class.hpp"
#include "lkm/image.hpp"
#include "lkm/layout.hpp"
#include "lkm/messages.hpp"
#include "lkm/signature_matches.hpp"
#include "lkm/signatures.hpp"

namespace lkm::recognition {

// Values one step finds and a later step needs, which the layout does not keep.
struct Handover {
    SignatureMatches matches;             // the signature matches every step starts from
    uint32_t cameraSite = 0;              // offset of the camera projection call site (step 1 -> 7)
    uint32_t initializerBody = 0;         // offset of the root GUI initializer body (step 2 -> 3, 5)
    uint32_t currentReciprocal = 0;       // address the vertical forward conversion multiplies by (3 -> 5)
    uint32_t currentReciprocalOffset = 0; // its offset
    uint32_t xresSite = 0;                // offset of the r_xres construction site (7 -> 8)
};

// The little-endian 32-bit value at an image offset ("Invalid image range.").
inline uint32_t read32(const Image& image, uint32_t offset) {
    return read<uint32_t>(image.bytes, offset);
}
inline float floatAt(const Image& image, uint32_t offset) {
    return read<float>(image.bytes, offset);
}

// True when at least `count` bytes remain at `offset` and they equal those at `expected`.
inline bool bytesAre(const ImageBytes& bytes, uint64_t offset, const uint8_t* expected, std::size_t count) {
    if (offset > bytes.size() || bytes.size() - offset < count) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (bytes[std::size_t(offset) + i] != expected[i]) return false;
    return true;
}
inline bool bytesAre(const ImageBytes& bytes, uint64_t offset, std::initializer_list<uint8_t> expected) {
    return bytesAre(bytes, offset, expected.begin(), expected.size());
}
template <std::size_t N>
bool bytesAre(const ImageBytes& bytes, uint64_t offset, const std::array<uint8_t, N>& expected) {
    return bytesAre(bytes, offset, expected.data(), N);
}

// True when `count` bytes remain at `offset` and all of them are `value`.
inline bool runOf(const ImageBytes& bytes, uint64_t offset, uint32_t count, uint8_t value) {
    if (offset > bytes.size() || bytes.size() - offset < count) return false;
    for (uint32_t i = 0; i < count; ++i)
        if (bytes[size_t(offset) + i] != value) return false;
    return true;
}

// True when the setter at `setter` reserves `frame` behind its prologue.
inline bool isFrame(const ImageBytes& bytes, uint32_t setter, const cvar::SetterFrame& frame) {
    return bytesAre(bytes, uint64_t(setter) + cvar::frameOffset, frame.code.data(), frame.length);
}

// An offset plus a small distance; a sum past 32 bits is refused like a read past the image.
inline uint32_t plus(uint32_t offset, uint32_t distance) {
    require(offset <= std::numeric_limits<uint32_t>::max() - distance, message::invalidImageRange);
    return offset + distance;
}

// Neither NaN nor of magnitude above the largest finite float.
inline bool finite(float value) {
    return std::fabs(value) <= std::numeric_limits<float>::max();
}

// |x|, rounded to single precision, below `limit`.
inline bool near(double difference, double limit) {
    return double(float(std::fabs(difference))) < limit;
}

// Targets t of the E8 bytes in [from, from + 256) for which accept(t) holds.
// Every E8 byte counts, whether or not an instruction starts there; one whose
// branch or target fails is passed over.
template <class Accept>
std::vector<uint32_t> setterCalls(const Image& image, uint32_t from, Accept&& accept) {
    constexpr uint64_t window = 256;
    std::vector<uint32_t> found;
    if (uint64_t(from) + window > uint64_t(std::numeric_limits<uint32_t>::max()) + 1) return found;
    for (uint64_t p = from; p < from + window && p < image.bytes.size(); ++p) {
        if (image.bytes[size_t(p)] != 0xE8) continue;
        try {
            const uint32_t t = image.offset(image.branch(uint32_t(p)));
            if (accept(t)) found.push_back(t);
        } catch (const std::bad_alloc&) {
            throw; // memory ran out: no verdict on the candidate
        } catch (const std::exception&) {
            // an E8 byte inside another instruction, or a call out of the module
        }
    }
    return found;
}

void findCamera(const Image& image, Layout& layout, Handover& handover);             // step 1
void findRootGui(const Image& image, Layout& layout, Handover& handover);            // step 2
void findGuiFamily(const Image& image, Layout& layout, Handover& handover);          // step 3
void findMouseMapping(const Image& image, Layout& layout, const Handover& handover); // step 4
void checkPatchSpaces(const Image& image, Layout& layout, const Handover& handover); // step 5
void normalize(const Image& image, Layout& layout);                                  // step 6
void findIntegerCvars(const Image& image, Layout& layout, Handover& handover);       // step 7
void findSetterFamily(const Image& image, Layout& layout, const Handover& handover,
                      bool chainHooks);                                                // step 8
void findFullscreenCvar(const Image& image, Layout& layout, const Handover& handover); // step 9

} // namespace lkm::recognition
