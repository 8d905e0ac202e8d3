#include "lkm/diff.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lkm {

std::vector<Run> differingRuns(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<Run> runs;
    const std::size_t length = std::min(a.size(), b.size());
    const uint8_t* const x = a.data();
    const uint8_t* const y = b.data();
    std::size_t i = 0;
    while (i < length) {
        // Equal stretches, which are nearly everything, are passed over eight bytes at a time.
        while (length - i >= 8) {
            uint64_t u, v;
            std::memcpy(&u, x + i, 8);
            std::memcpy(&v, y + i, 8);
            if (u != v) break;
            i += 8;
        }
        if (i == length) break;
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
