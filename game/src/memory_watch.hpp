// What the ASI modules left behind in the game's memory: the main module's
// read-only sections and page protections compared with a copy taken before
// they started, and the private executable memory that appeared meanwhile.
#pragma once

#include <cstdint>
#include <vector>

namespace lkm::game {

struct NewExecutableRegion {
    uint32_t size = 0;
    uint32_t protection = 0; // a PAGE_* constant
};

struct MemoryChanges {
    uint32_t changedBytes = 0;                      // bytes of the non-writable sections that differ
    uint32_t changedRuns = 0;                       // maximal runs of such bytes
    uint32_t changedPages = 0;                      // pages of the main module whose protection differs
    std::vector<NewExecutableRegion> newExecutable; // private, committed, executable
};

class MemoryWatch {
public:
    // Takes the copies; call before the ASI modules start.
    MemoryWatch();
    // What differs now from the copies.
    MemoryChanges changes() const;

private:
    struct Region {
        uintptr_t base;
        uint32_t size;
        uint32_t protection;
        bool operator==(const Region& other) const {
            return base == other.base && size == other.size && protection == other.protection;
        }
    };
    struct Range {
        uint32_t rva, size;
    };

    static std::vector<Region> executableRegions();
    std::vector<uint32_t> pageProtections() const;

    const uint8_t* base_;
    uint32_t imageSize_;
    std::vector<Range> readOnly_; // the sections without the write flag
    std::vector<uint8_t> bytes_;  // their bytes, one after the other
    std::vector<uint32_t> protections_;
    std::vector<Region> regions_;
};

} // namespace lkm::game
