#include "lkm/diff.hpp"

#include <algorithm>

namespace lkm {

std::vector<Run> differingRuns(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<Run> runs;
    const std::size_t length = std::min(a.size(), b.size());
    std::size_t i = 0;
    while (i < length) {
        if (a[i] == b[i]) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < length && a[j] != b[j]) ++j;
        runs.push_back({uint32_t(i), uint32_t(j - i)});
        i = j;
    }
    return runs;
}

} // namespace lkm
