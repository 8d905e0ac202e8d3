// The game's main module, read where the loader mapped it.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/diff.hpp"
#include "lkm/image.hpp"

namespace lkm::plugin {

// A loaded module: where it is, how large its image is, and which ranges of
// it (image offsets, ascending) are not committed or not readable.
struct LiveModule {
    uint32_t base = 0; // load address
    uint32_t size = 0; // SizeOfImage
    std::vector<lkm::Run> unreadable;
};

// The process's main module (Windows builds only).
LiveModule gameModule();

// The module mapped at `module`: tests the headers in live memory ("Invalid
// game image header.", "Not an x86 game image.", "Unsupported image size.")
// and queries its regions once.
LiveModule liveModule(uintptr_t module);

// The ranges of [base, base + size), as offsets from base, whose regions are
// reserved, free, no-access or guard pages, queried region by region without
// touching any of them. Throws "Cannot query the game image." or "Invalid
// image memory region.".
std::vector<lkm::Run> unreadableRegions(uintptr_t base, uint32_t size);

// The module's image, read in place: its unreadable ranges read as zeros and
// are never touched. Validated as lkm::Image validates.
lkm::Image imageOf(const LiveModule& module);

} // namespace lkm::plugin
