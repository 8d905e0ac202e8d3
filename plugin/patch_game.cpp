#include "patch_game.hpp"

#include "gateways.hpp"
#include "plan_patches.hpp"

namespace lkm::plugin {

void patchGame(MemoryServices& memory, const GamePatch& patch, void (*pin)(), Transaction::Warn warn,
               void*& page, bool& committed) {
    committed = false;
    Transaction transaction(memory, warn);
    addPlanPatches(transaction, patch.live, patch.image.bytes, patch.plan, patch.planRanges);
    prepareGateways(memory, transaction, {patch.image.bytes, patch.image.base, patch.live}, patch.setters,
                    patch.hookAddresses, page);
    pin();
    transaction.commit();
    committed = transaction.committed;
}

void releaseGatewayPage(MemoryServices& memory, void* page, bool committed) {
    if (page != nullptr && !committed) memory.release(page);
}

} // namespace lkm::plugin
