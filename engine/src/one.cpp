#include <algorithm>
#include <string>

#include "lkm/image.hpp"

namespace lkm {

uint32_t one(std::vector<uint32_t> candidates, const char* what) {
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    if (candidates.size() != 1)
        throw std::runtime_error("Engine recognition failed: " + std::string(what) + " has " +
                                 std::to_string(candidates.size()) + " matches.");
    return candidates.front();
}

} // namespace lkm
