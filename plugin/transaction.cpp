#include "transaction.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <utility>

#include "code_in_the_way.hpp"
#include "held_threads.hpp"

namespace lkm::plugin {

namespace {

constexpr char notWritable[] = "Cannot make the game patch pages writable.";
constexpr char restoreWarning[] = "Warning: Windows could not restore an original page protection.";
constexpr char threadsNotHeld[] =
    "Cannot hold the game's other threads outside the code to patch; no patches applied.";

// How often the other threads are suspended in search of a moment when none of
// them stands inside the code to patch, with a yield between the tries.
constexpr int holdAttempts = 64;

uintptr_t address(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

// [a, a + aLength) and [b, b + bLength) share a byte; both lengths are non-zero
// and no sum is formed, so ranges near the top of the address space compare right.
bool intersects(uintptr_t a, std::size_t aLength, uintptr_t b, std::size_t bLength) {
    return b >= a ? b - a < aLength : a - b < bLength;
}

} // namespace

Transaction::Transaction(MemoryServices& memory, uint8_t* base, Warn warn)
    : memory_(memory), base_(base), warn_(warn) {}

Transaction::~Transaction() {
    if (protections.empty()) return;
    // Only reached when an exception left the commit while pages were writable.
    try {
        restoreProtections(memory_.pageSize());
    } catch (...) {
        // Nothing more can be given back here.
    }
}

uint8_t* Transaction::target(const lkm::Patch& patch) const {
    // Formed as a number: add refuses a patch whose bytes would pass the top of the address space.
    return reinterpret_cast<uint8_t*>(address(base_) + patch.offset);
}

void Transaction::add(lkm::Patch patch) {
    const std::size_t size = patch.expected.size();
    if (size == 0) throw std::runtime_error("Empty memory patch.");
    // A range running past the top of the address space cannot be game memory.
    constexpr uintptr_t top = std::numeric_limits<uintptr_t>::max();
    if (patch.replacement.size() != size || patch.offset > top - address(base_) ||
        address(base_) + patch.offset > top - (size - 1))
        throw std::runtime_error("Invalid patch range.");
    const uintptr_t first = address(target(patch));
    for (const lkm::Patch& other : patches)
        if (intersects(address(target(other)), other.expected.size(), first, size))
            throw std::runtime_error("Overlapping memory patches.");
    patches.push_back(std::move(patch));
}

void Transaction::commit() {
    const uint32_t pageSize = memory_.pageSize();

    // Every patch against live memory before anything changes.
    for (const lkm::Patch& patch : patches)
        if (std::memcmp(target(patch), patch.expected.data(), patch.expected.size()) != 0)
            throw CodeInTheWay(refusal::gameCodeChanged);

    // Each touched page once, in patch order; a refusal gives back what was changed.
    if (!patches.empty() && pageSize == 0) throw std::runtime_error(notWritable);
    for (const lkm::Patch& patch : patches) {
        const uintptr_t start = address(target(patch));
        const uintptr_t first = start - start % pageSize;
        const uintptr_t end = start + (patch.expected.size() - 1);
        const uintptr_t last = end - end % pageSize;
        for (uintptr_t page = first;; page += pageSize) {
            const bool recorded = std::any_of(protections.begin(), protections.end(),
                                              [page](const auto& entry) { return entry.first == page; });
            if (!recorded) {
                // Room first, so that a page made writable is always recorded.
                protections.reserve(protections.size() + 1);
                uint32_t previous = 0;
                if (!memory_.protect(reinterpret_cast<void*>(page), pageSize, pageExecuteReadWrite,
                                     &previous)) {
                    restoreProtections(pageSize);
                    throw std::runtime_error(notWritable);
                }
                protections.emplace_back(page, previous);
            }
            if (page == last) break;
        }
    }

    // No other thread runs while the bytes change, and none resumes into the
    // middle of changed ones. From the first suspension to the last resumption
    // only plain copies and the flush run: nothing a held thread may hold.
    HeldThreads threads(memory_);
    bool held = false;
    for (int attempt = 0; attempt < holdAttempts && threads.listed() && !held; ++attempt) {
        if (attempt > 0) memory_.yield();
        held = threads.holdOutside(base_, patches);
    }
    if (!held) {
        restoreProtections(pageSize);
        throw std::runtime_error(threadsNotHeld);
    }

    for (const lkm::Patch& patch : patches)
        std::memcpy(target(patch), patch.replacement.data(), patch.replacement.size());

    // The whole process: a null base and size 0.
    const bool flushed = memory_.flushInstructionCache(memory_.currentProcess(), nullptr, 0);
    if (!flushed) {
        // The new code may not be what the processor runs: put the old bytes back.
        for (const lkm::Patch& patch : patches)
            std::memcpy(target(patch), patch.expected.data(), patch.expected.size());
        memory_.flushInstructionCache(memory_.currentProcess(), nullptr, 0);
    }
    threads.release();
    committed = flushed;
    restoreProtections(pageSize);
    if (!flushed) throw std::runtime_error("Instruction cache flush failed; memory patches rolled back.");
}

// Last changed first; every entry goes, and one warning covers the whole pass.
void Transaction::restoreProtections(uint32_t pageSize) {
    bool failed = false;
    while (!protections.empty()) {
        const auto [page, previous] = protections.back();
        uint32_t ignored = 0;
        if (!memory_.protect(reinterpret_cast<void*>(page), pageSize, previous, &ignored)) failed = true;
        protections.pop_back();
    }
    if (failed && warn_ != nullptr) warn_(restoreWarning);
}

} // namespace lkm::plugin
