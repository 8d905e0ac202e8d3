#include "gateways.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "globals.hpp"
#include "lkm/machine_code.hpp"

namespace lkm::plugin {

namespace {

// True when the snapshot holds at least six bytes from `setter` on and they are
// 64 A1 00 00 00 00 (mov eax, fs:[0]), the only first instruction a gateway can
// run at another address.
bool supportedEntry(const std::vector<uint8_t>& snapshot, uint32_t setter) {
    if (setter > snapshot.size() || snapshot.size() - setter < lkm::cvar::setterPrologue.size()) return false;
    return std::equal(lkm::cvar::setterPrologue.begin(), lkm::cvar::setterPrologue.end(),
                      snapshot.begin() + static_cast<std::ptrdiff_t>(setter));
}

} // namespace

void prepareGateways(MemoryServices& memory, Transaction& transaction, const GameModule& game,
                     const std::vector<uint32_t>& setters, const HookAddresses& hookAddresses, void*& page) {
    page = memory.allocate(gatewayPageSize, pageReadWrite);
    if (!page) throw std::runtime_error("Cannot allocate CVar gateways.");
    uint8_t* const gateways = static_cast<uint8_t*>(page);

    // Recognition always delivers five; anything else has no gateway to build.
    if (setters.size() != hookAddresses.size())
        throw std::runtime_error("Unsupported CVar hook instruction.");

    for (std::size_t k = 0; k < hookAddresses.size(); ++k) {
        const uint32_t s = setters[k];
        if (!supportedEntry(game.snapshot, s)) throw std::runtime_error("Unsupported CVar hook instruction.");
        lkm::SetterEntry first;
        std::copy_n(game.snapshot.begin() + static_cast<std::ptrdiff_t>(s), first.size(), first.begin());

        uint8_t* const gateway = gateways + gatewayStride * k;
        const uint32_t setter = game.base + s;
        const std::vector<uint8_t> code = lkm::gatewayBytes(first, address32(gateway), setter);
        std::memcpy(gateway, code.data(), code.size()); // bytes 11 to 15 stay zero
        originalSetters[k] = reinterpret_cast<Setter>(gateway);

        const std::vector<uint8_t> redirection = lkm::redirectionBytes(setter, hookAddresses[k]);
        transaction.add(game.live + s, first.data(), redirection.data(), unsigned(redirection.size()));
    }

    uint32_t previous = 0;
    if (!memory.protect(page, gatewayPageSize, pageExecuteRead, &previous))
        throw std::runtime_error("Cannot protect CVar gateways.");
    if (!memory.flushInstructionCache(memory.currentProcess(), page, gatewayPageSize))
        throw std::runtime_error("Cannot flush CVar gateways.");
}

} // namespace lkm::plugin
