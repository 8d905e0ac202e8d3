#include "lkm/diff.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lkm {

namespace {

// Appends the maximal runs of differing bytes of x and y within [i, end).
void appendRuns(const uint8_t* x, const uint8_t* y, std::size_t i, std::size_t end, std::vector<Run>& runs) {
    while (i < end) {
        // Equal stretches, which are nearly everything, are passed over eight bytes at a time.
        while (end - i >= 8) {
            uint64_t u, v;
            std::memcpy(&u, x + i, 8);
            std::memcpy(&v, y + i, 8);
            if (u != v) break;
            i += 8;
        }
        if (i == end) break;
        if (x[i] == y[i]) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < end && x[j] != y[j]) ++j;
        runs.push_back({uint32_t(i), uint32_t(j - i)});
        i = j;
    }
}

} // namespace

std::vector<Run> differingRuns(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<Run> runs;
    appendRuns(a.data(), b.data(), 0, std::min(a.size(), b.size()), runs);
    return runs;
}

} // namespace lkm
