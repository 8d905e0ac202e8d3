#include "plan_patches.hpp"

#include <stdexcept>

namespace lkm::plugin {

void addPlanPatches(Transaction& transaction, uint8_t* liveBase, const std::vector<uint8_t>& snapshot,
                    const std::vector<uint8_t>& plan, const std::vector<lkm::Run>& ranges) {
    if (plan.size() != snapshot.size()) throw std::runtime_error("Invalid patch range.");
    for (const lkm::Run& run : lkm::differingRunsWithin(snapshot, plan, ranges))
        transaction.add(liveBase + run.offset, snapshot.data() + run.offset, plan.data() + run.offset,
                        run.length);
}

} // namespace lkm::plugin
