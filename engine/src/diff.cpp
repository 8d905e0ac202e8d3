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

std::vector<Run> differingRunsWithin(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                                     std::vector<Run> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const Run& l, const Run& r) { return l.offset < r.offset; });
    const std::size_t length = std::min(a.size(), b.size());
    std::vector<Run> runs;
    // Ranges that overlap or touch are compared as one, so that a run across
    // them stays one run; past a merged range the vectors are equal.
    for (std::size_t k = 0; k < ranges.size();) {
        const uint64_t begin = ranges[k].offset;
        uint64_t end = begin + ranges[k].length;
        for (++k; k < ranges.size() && ranges[k].offset <= end; ++k)
            end = std::max(end, uint64_t(ranges[k].offset) + ranges[k].length);
        if (begin < length)
            appendRuns(a.data(), b.data(), std::size_t(begin), std::size_t(std::min<uint64_t>(end, length)),
                       runs);
    }
    return runs;
}

} // namespace lkm
