#include "plan_patches.hpp"

#include <stdexcept>

namespace lwf {

namespace {

void addRuns(Transaction& transaction, uint8_t* liveBase, const std::vector<uint8_t>& snapshot,
             const std::vector<uint8_t>& plan, const std::vector<lkm::Run>& runs) {
    for (const lkm::Run& run : runs)
        transaction.add(liveBase + run.offset, snapshot.data() + run.offset, plan.data() + run.offset,
                        run.length);
}

} // namespace

void addPlanPatches(Transaction& transaction, uint8_t* liveBase, const std::vector<uint8_t>& snapshot,
                    const std::vector<uint8_t>& plan) {
    if (plan.size() != snapshot.size()) throw std::runtime_error("Invalid patch range.");
    addRuns(transaction, liveBase, snapshot, plan, lkm::differingRuns(snapshot, plan));
}

void addPlanPatches(Transaction& transaction, uint8_t* liveBase, const std::vector<uint8_t>& snapshot,
                    const std::vector<uint8_t>& plan, const std::vector<lkm::Run>& ranges) {
    if (plan.size() != snapshot.size()) throw std::runtime_error("Invalid patch range.");
    addRuns(transaction, liveBase, snapshot, plan, lkm::differingRunsWithin(snapshot, plan, ranges));
}

} // namespace lwf
