// Maximal runs of bytes in which two equally long byte vectors differ.
#pragma once

#include <cstdint>
#include <vector>

namespace lkm {

struct Run {
    uint32_t offset; // first differing index
    uint32_t length; // number of consecutive differing bytes
};

// Runs in ascending order; bytes beyond the shorter vector are not compared.
std::vector<Run> differingRuns(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// The same runs for vectors known to differ nowhere outside `ranges` (each an
// offset and a length, in any order, overlapping or not): only the bytes inside
// the ranges are compared.
std::vector<Run> differingRunsWithin(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                                     std::vector<Run> ranges);

} // namespace lkm
