#include "patch_game.hpp"

#include "gateways.hpp"

namespace lkm::plugin {

void patchGame(MemoryServices& memory, const GamePatch& patch, void (*pin)(), Transaction::Warn warn,
               void*& page, bool& committed, void (*prepared)()) {
    committed = false;
    Transaction transaction(memory, patch.live, warn);
    for (const lkm::Patch& p : patch.plan) transaction.add(p);
    prepareGateways(memory, transaction, {patch.layout.original, patch.base, &patch.layout.setterJumps},
                    patch.layout.setters, patch.hookAddresses, page);
    if (prepared) prepared();
    pin();
    transaction.commit();
    committed = transaction.committed;
}

void releaseGatewayPage(MemoryServices& memory, void* page, bool committed) {
    if (page != nullptr && !committed) memory.release(page);
}

} // namespace lkm::plugin
