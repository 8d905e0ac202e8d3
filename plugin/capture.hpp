// The copy of the game's main module image out of the running process.
#pragma once

#include <cstdint>
#include <vector>

namespace lkm::plugin {

// A module as captured: where it is loaded and its mapped image.
struct CapturedModule {
    uint32_t base = 0;          // load address
    std::vector<uint8_t> bytes; // SizeOfImage bytes from the load address on
};

// The process's main module (Windows builds only).
CapturedModule captureImage();

// The module mapped at `module`: tests the headers in live memory ("Invalid
// game image header.", "Not an x86 game image.", "Unsupported image size.")
// and copies the image.
CapturedModule captureModule(uintptr_t module);

// `size` bytes from `base` on, region by region: committed accessible regions
// are copied, reserved, free, no-access and guard pages stay zero and are never
// touched. Throws "Cannot query the game image." or "Invalid image memory region.".
std::vector<uint8_t> copyMappedRegions(uintptr_t base, uint32_t size);

} // namespace lkm::plugin
