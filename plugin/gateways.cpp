#include "gateways.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "code_in_the_way.hpp"
#include "globals.hpp"
#include "lkm/byte_runs.hpp"
#include "lkm/machine_code.hpp"

namespace lkm::plugin {

namespace {

constexpr std::size_t entryLength = lkm::cvar::setterPrologue.size();

// The first instruction of the setter at `setter` as recognition validated it,
// when it is 64 A1 00 00 00 00 (mov eax, fs:[0]), the only first instruction a
// gateway can run at another address, or, where `chained`, another mod's
// E9 rel32 that recognition took; empty otherwise.
std::vector<uint8_t> supportedEntry(const std::vector<lkm::ByteRun>& original, uint32_t setter,
                                    bool chained) {
    const std::vector<uint8_t> first = lkm::bytesIn(original, setter, uint32_t(entryLength));
    if (first.empty()) return first;
    const bool supported = chained
                               ? first[0] == 0xE9
                               : std::equal(first.begin(), first.end(), lkm::cvar::setterPrologue.begin());
    return supported ? first : std::vector<uint8_t>();
}

} // namespace

void prepareGateways(MemoryServices& memory, Transaction& transaction, const GameModule& game,
                     const std::vector<uint32_t>& setters, const HookAddresses& hookAddresses, void*& page) {
    page = memory.allocate(gatewayPageSize, pageReadWrite);
    if (!page) throw std::runtime_error("Cannot allocate CVar gateways.");
    uint8_t* const gateways = static_cast<uint8_t*>(page);

    // Recognition always delivers five; anything else has no gateway to build.
    const std::vector<uint32_t> none(setters.size(), 0);
    const std::vector<uint32_t>& jumps =
        game.setterJumps && !game.setterJumps->empty() ? *game.setterJumps : none;
    if (setters.size() != hookAddresses.size() || jumps.size() != setters.size())
        throw CodeInTheWay(refusal::unsupportedHookInstruction);

    for (std::size_t k = 0; k < hookAddresses.size(); ++k) {
        const uint32_t s = setters[k];
        const bool chained = jumps[k] != 0;
        const std::vector<uint8_t> entry = supportedEntry(game.original, s, chained);
        if (entry.empty()) throw CodeInTheWay(refusal::unsupportedHookInstruction);

        uint8_t* const gateway = gateways + gatewayStride * k;
        const uint32_t setter = game.base + s;
        lkm::SetterEntry first;
        std::copy(entry.begin(), entry.end(), first.begin());
        const std::vector<uint8_t> code = chained
                                              ? lkm::chainedGatewayBytes(jumps[k], address32(gateway), setter)
                                              : lkm::gatewayBytes(first, address32(gateway), setter);
        std::memcpy(gateway, code.data(), code.size()); // bytes 11 to 15 stay zero
        originalSetters[k] = reinterpret_cast<Setter>(gateway);

        const std::vector<uint8_t> redirection = chained
                                                     ? lkm::chainedRedirectionBytes(setter, hookAddresses[k])
                                                     : lkm::redirectionBytes(setter, hookAddresses[k]);
        // A chained redirection replaces the jump's 5 bytes of the 6 recorded.
        const std::size_t length = std::min(entry.size(), redirection.size());
        transaction.add(
            {s, std::vector<uint8_t>(entry.begin(), entry.begin() + std::ptrdiff_t(length)), redirection});
    }

    uint32_t previous = 0;
    if (!memory.protect(page, gatewayPageSize, pageExecuteRead, &previous))
        throw std::runtime_error("Cannot protect CVar gateways.");
    if (!memory.flushInstructionCache(memory.currentProcess(), page, gatewayPageSize))
        throw std::runtime_error("Cannot flush CVar gateways.");
}

} // namespace lkm::plugin
