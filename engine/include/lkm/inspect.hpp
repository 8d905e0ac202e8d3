// Engine recognition over the game image.
#pragma once

#include "lkm/image.hpp"
#include "lkm/layout.hpp"

namespace lkm {

// Recognises the camera, the GUI family, the patch spaces and the CVars; throws
// std::runtime_error with one sentence when anything is missing or ambiguous.
Layout inspect(const Image& image);

// Offset of the unique integer CVar construction site for `name` whose value
// field lies at the address `value`.
uint32_t cvarConstructor(const Image& image, const char* name, unsigned value);

} // namespace lkm
