// Pending patches of the game's memory, committed all or nothing.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "lkm/patch.hpp"
#include "memory_services.hpp"

namespace lkm::plugin {

// Each patch changes the bytes at base + offset: `expected` must be there
// first and is written back by a rollback; `replacement` is written.
class Transaction {
public:
    // `warn` receives the one-line warning when a page protection cannot be restored.
    using Warn = void (*)(const char* line);

    // `base`: the game module's first byte in this process, where every offset counts from.
    Transaction(MemoryServices& memory, uint8_t* base, Warn warn);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Takes a patch ("Empty memory patch.", "Overlapping memory patches.", and
    // "Invalid patch range." for one that runs past the top of the address
    // space or whose two byte lists differ in length).
    void add(lkm::Patch patch);
    // Verifies, makes writable, holds the process's other threads outside the
    // patches, writes, flushes, resumes them and restores protections; rolls back
    // and throws when the flush fails, and throws before writing when the
    // threads cannot be held.
    void commit();

    // The first byte that `patch` changes.
    uint8_t* target(const lkm::Patch& patch) const;

    std::vector<lkm::Patch> patches;
    std::vector<std::pair<uintptr_t, uint32_t>> protections; // (page, previous protection), in change order
    bool committed = false;

private:
    void restoreProtections(uint32_t pageSize);

    MemoryServices& memory_;
    uint8_t* base_;
    Warn warn_;
};

} // namespace lkm::plugin
