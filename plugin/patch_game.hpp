// The memory-facing part of the start-up: the plan's patches and the five
// setter redirections in one transaction, the gateway page beside them, the
// module pin and the one commit that makes every change live.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "globals.hpp"
#include "lkm/diff.hpp"
#include "lkm/image.hpp"
#include "memory_services.hpp"
#include "transaction.hpp"

namespace lkm::plugin {

// The game's main module and what is to become of it.
struct GamePatch {
    const lkm::Image& image;                 // the snapshot; its base is the module's game address
    uint8_t* live;                           // the same module as a pointer of this process
    const std::vector<uint8_t>& plan;        // the image as it must look, from lkm::build
    const std::vector<lkm::Run>& planRanges; // where plan and image may differ, from lkm::planRanges
    const std::vector<uint32_t>& setters;    // image offsets of the five CVar setters
    HookAddresses hookAddresses;             // the setter replacements they are redirected to
};

// Adds every run in which the plan differs from the snapshot (looked for inside
// planRanges only) to a transaction, prepares the gateways and the redirections,
// pins the module through `pin` and commits. `page` receives the gateway page as soon as it is allocated and
// `committed` becomes true only when the commit succeeded, so that the caller can
// give the page back whatever fails. The transaction is gone when this returns or
// throws: a protection it could not restore has been reported through `warn` by then.
void patchGame(MemoryServices& memory, const GamePatch& patch, void (*pin)(), Transaction::Warn warn,
               void*& page, bool& committed);

// Releases a gateway page that never went live: nothing when `page` is null or
// the commit succeeded, for then the redirections lead into it.
void releaseGatewayPage(MemoryServices& memory, void* page, bool committed);

} // namespace lkm::plugin
