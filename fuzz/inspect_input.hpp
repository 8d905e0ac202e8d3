// The input of the inspect target: one of the synthetic engine images
// (tests/support/engine_image.hpp) and a list of byte edits applied to it.
//
//   byte 0        variant: stock, or one of four earlier on-disk patches
//   then records  [length: 1 byte][offset: 4 bytes, little-endian][length bytes]
//
// An edit's offset lands in [headerPage, image size): the DOS and PE headers and
// the section table in the first page stay valid, so inputs reach recognition
// instead of ending in the header checks. Every section, the import tables
// included, can be edited. An edit that runs past the image end is cut there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine_image.hpp"

namespace lkm::fuzz::inspect_input {

inline constexpr uint32_t headerPage = 0x1000;

struct Edit {
    uint32_t offset; // as stored; see place()
    std::vector<uint8_t> bytes;
};

struct Input {
    uint8_t variant = 0;
    std::vector<Edit> edits;
};

enum Variant : uint8_t { stock, wide16x9, wide16x10, tall5x4, ultraWide21x9, variantCount };

Input decode(const uint8_t* data, std::size_t size);
std::vector<uint8_t> encode(const Input& input);

// The stored offset for an edit at image offset `offset` (at or after headerPage).
inline uint32_t storedOffset(uint32_t offset) {
    return offset - headerPage;
}
// The image offset at which an edit with the stored offset `stored` lands.
inline uint32_t place(uint32_t stored, uint32_t imageSize) {
    return headerPage + stored % (imageSize - headerPage);
}

// The synthetic engine of a variant (the variant byte modulo variantCount),
// built once and cached with its bytes and the layout recognition must return.
struct Engine {
    lkm::test::EngineImage image;
    std::vector<uint8_t> bytes;
    lkm::Layout expected;
};
const Engine& engine(uint8_t variant);

// Applies the edits in order.
void apply(const Input& input, std::vector<uint8_t>& bytes);

} // namespace lkm::fuzz::inspect_input
