#include <algorithm>
#include <string>

#include "lkm/image.hpp"
#include "lkm/messages.hpp"

namespace lkm {

uint32_t one(std::vector<uint32_t> candidates, const char* what) {
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    if (candidates.size() != 1) throw std::runtime_error(recognitionCountMessage(what, candidates.size()));
    return candidates.front();
}

} // namespace lkm
