// Turns the patch plan into memory patches: every maximal run of bytes in which
// the plan differs from the image snapshot becomes one patch of the live module.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/diff.hpp"
#include "transaction.hpp"

namespace lkm::plugin {

// Adds the runs in ascending order: target liveBase + i, expected the snapshot's
// bytes from i, replacement the plan's. The plan is known to equal the snapshot
// outside `ranges` (lkm::planRanges), so only the bytes inside them are
// compared. Plan and snapshot must be equally long ("Invalid patch range.").
void addPlanPatches(Transaction& transaction, uint8_t* liveBase, const std::vector<uint8_t>& snapshot,
                    const std::vector<uint8_t>& plan, const std::vector<lkm::Run>& ranges);

} // namespace lkm::plugin
