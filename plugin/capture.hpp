// The copy of the game's main module image out of the running process.
#pragma once

#include <cstdint>
#include <vector>

namespace lwf {

// The mapped image of the process's main module, SizeOfImage bytes long; sets
// gameBase to its load address first (Windows builds only).
std::vector<uint8_t> captureImage();

// The same for the module mapped at `module`: sets gameBase to `module`, tests
// the headers in live memory ("Invalid game image header.", "Not an x86 game
// image.", "Unsupported image size.") and copies the image.
std::vector<uint8_t> captureModule(uintptr_t module);

// `size` bytes from `base` on, region by region: committed accessible regions
// are copied, reserved, free, no-access and guard pages stay zero and are never
// touched. Throws "Cannot query the game image." or "Invalid image memory region.".
std::vector<uint8_t> copyMappedRegions(uintptr_t base, uint32_t size);

} // namespace lwf
