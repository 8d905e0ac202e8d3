// One write of the game's image: what the patch plan is made of, and what the
// plug-in's transaction commits at the module's place in memory.
#pragma once

#include <cstdint>
#include <vector>

namespace lkm {

// One change of the image: the bytes from `offset` on go from `expected` to
// `replacement` (equally long).
struct Patch {
    uint32_t offset = 0;
    std::vector<uint8_t> expected;
    std::vector<uint8_t> replacement;

    uint64_t end() const { return uint64_t(offset) + expected.size(); }
};

} // namespace lkm
