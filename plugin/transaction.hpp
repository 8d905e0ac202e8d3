// Pending patches of the game's memory, committed all or nothing.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "memory_services.hpp"

namespace lkm::plugin {

struct Patch {
    uint8_t* target;                  // first game address to change
    std::vector<uint8_t> expected;    // bytes that must be there first; written back by a rollback
    std::vector<uint8_t> replacement; // the new bytes, same length
};

class Transaction {
public:
    // `warn` receives the one-line warning when a page protection cannot be restored.
    using Warn = void (*)(const char* line);

    Transaction(MemoryServices& memory, Warn warn);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Copies `size` bytes of both buffers into a new patch ("Empty memory patch.",
    // "Overlapping memory patches.").
    void add(uint8_t* target, const uint8_t* expected, const uint8_t* replacement, unsigned size);
    // Verifies, makes writable, holds the process's other threads outside the
    // patches, writes, flushes, resumes them and restores protections; rolls back
    // and throws when the flush fails, and throws before writing when the
    // threads cannot be held.
    void commit();

    std::vector<Patch> patches;
    std::vector<std::pair<uintptr_t, uint32_t>> protections; // (page, previous protection), in change order
    bool committed = false;

private:
    void restoreProtections(uint32_t pageSize);

    MemoryServices& memory_;
    Warn warn_;
};

} // namespace lkm::plugin
