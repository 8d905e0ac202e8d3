// The CVar gateways: one executable page through which the five redirected
// engine setters are still reached, and the redirections that lead from each
// setter's entry to its replacement.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "globals.hpp"
#include "lkm/image_bytes.hpp"
#include "memory_services.hpp"
#include "transaction.hpp"

namespace lkm::plugin {

inline constexpr std::size_t gatewayPageSize = 0x1000; // one block for all five gateways
inline constexpr uint32_t gatewayStride = 16;          // gateway k starts at page + 16 x k

// The game's main module as the gateways see it: the bytes recognition
// validated (each setter's first instruction among them) and its load address
// in the game's 32-bit address space. The same place as a pointer of this
// process is the transaction's base; inside the game the two are the same number.
struct GameModule {
    const std::vector<lkm::ByteRun>& original; // lkm::Layout::original
    uint32_t base;
    // lkm::Layout::setterJumps: where another mod's jump at a setter's entry
    // leads (0 for the engine's own first instruction); none for no such jump.
    const std::vector<uint32_t>* setterJumps = nullptr;
};

// The 32-bit address of a pointer of this process: inside the game, the pointer itself.
inline uint32_t address32(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// Allocates the gateway page and stores it in `page` at once, so that the caller
// can release it whatever fails later; builds gateway k at page + 16 x k for the
// setter at image offset `setters`[k], points `originalSetters`[k] at it and adds
// the redirection of setter k to `hookAddresses`[k] to `transaction`, whose base
// is the module's place in this process; then makes the page executable and
// read-only and flushes it. Nothing of the game changes here: the redirections
// become live with the commit. A setter whose entry
// another mod's jump replaced gets that jump, relocated, in its gateway, and a
// redirection of the jump's 5 bytes. Throws CodeInTheWay for a first
// instruction it cannot run elsewhere.
void prepareGateways(MemoryServices& memory, Transaction& transaction, const GameModule& game,
                     const std::vector<uint32_t>& setters, const HookAddresses& hookAddresses, void*& page);

} // namespace lkm::plugin
