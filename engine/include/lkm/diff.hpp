// Maximal runs of bytes in which two equally long byte vectors differ.
#pragma once

#include <cstdint>
#include <vector>

namespace lkm {

// A range of indexes: a run of differing bytes, or any range of image offsets.
struct Run {
    uint32_t offset; // first index
    uint32_t length; // number of consecutive indexes
};

// Runs in ascending order; bytes beyond the shorter vector are not compared.
std::vector<Run> differingRuns(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

} // namespace lkm
