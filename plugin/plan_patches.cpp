#include "plan_patches.hpp"

#include <stdexcept>

namespace lwf {

void addPlanPatches(Transaction& transaction, uint8_t* liveBase, const std::vector<uint8_t>& snapshot,
                    const std::vector<uint8_t>& plan) {
    if (plan.size() != snapshot.size()) throw std::runtime_error("Invalid patch range.");
    const std::size_t length = plan.size();
    std::size_t i = 0;
    while (i < length) {
        if (plan[i] == snapshot[i]) {
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        while (j < length && plan[j] != snapshot[j]) ++j;
        transaction.add(liveBase + i, snapshot.data() + i, plan.data() + i, unsigned(j - i));
        i = j;
    }
}

} // namespace lwf
