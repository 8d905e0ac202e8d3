// Engine recognition over the game image.
#pragma once

#include "lkm/image.hpp"
#include "lkm/layout.hpp"
#include "lkm/signature_matches.hpp"

namespace lkm {

struct InspectOptions {
    // Also takes a setter whose first instruction another mod replaced with
    // its jump, as hooking libraries leave it: E9 rel32 to a place outside the
    // image, then 00, 90 or CC, then the rest of the exception prologue.
    bool chainHooks = false;
};

// Recognises the camera, the GUI family, the patch spaces and the CVars; throws
// std::runtime_error with one sentence when anything is missing or ambiguous.
Layout inspect(const Image& image);
// The same from the signature matches of `image` (lkm::searchSignatures).
Layout inspect(const Image& image, SignatureMatches matches, const InspectOptions& options = {});

// Offset of the unique integer CVar construction site for `name` whose value
// field lies at the address `value`.
uint32_t cvarConstructor(const Image& image, const char* name, unsigned value);

} // namespace lkm
