// The memory-facing part of the start-up: the plan's patches and the five
// setter redirections in one transaction, the gateway page beside them, the
// module pin and the one commit that makes every change live.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "globals.hpp"
#include "lkm/layout.hpp"
#include "lkm/plan.hpp"
#include "memory_services.hpp"
#include "transaction.hpp"

namespace lkm::plugin {

// The game's main module and what is to become of it.
struct GamePatch {
    uint32_t base;                       // the module's load address in the game
    uint8_t* live;                       // the same module as a pointer of this process
    const lkm::Layout& layout;           // what recognition found: the setters and the bytes it validated
    const std::vector<lkm::Patch>& plan; // from lkm::build
    HookAddresses hookAddresses;         // the setter replacements the setters are redirected to
};

// Adds the plan's patches to a transaction, prepares the gateways and the
// redirections, pins the module through `pin` and commits. `page` receives the
// gateway page as soon as it is allocated and `committed` becomes true only when
// the commit succeeded, so that the caller can give the page back whatever
// fails. The transaction is gone when this returns or throws: a protection it
// could not restore has been reported through `warn` by then. `prepared`, when
// given, is called once every change is queued and the gateways are built.
void patchGame(MemoryServices& memory, const GamePatch& patch, void (*pin)(), Transaction::Warn warn,
               void*& page, bool& committed, void (*prepared)() = nullptr);

// Releases a gateway page that never went live: nothing when `page` is null or
// the commit succeeded, for then the redirections lead into it.
void releaseGatewayPage(MemoryServices& memory, void* page, bool committed);

} // namespace lkm::plugin
