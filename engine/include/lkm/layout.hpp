// Everything engine recognition found in the game image.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/image_bytes.hpp"

namespace lkm {

// Offsets index the image bytes; addresses are game virtual addresses.
struct Layout {
    // The image's own bytes at every place normalisation or the patch may
    // write, and at each setter's first instruction, copied when recognition
    // validated the place: what the commit expects to find there still.
    // Ascending, disjoint.
    std::vector<ByteRun> original;
    // The image with every recognised place back to stock is the image with
    // these runs laid over it: the maximal runs normalisation changed,
    // ascending. Empty for a stock image.
    std::vector<ByteRun> normalized;
    uint32_t aspectOperand = 0;               // offset: float immediate pushed as camera aspect
    uint32_t horizontalForward = 0;           // offset: horizontal forward GUI conversion
    uint32_t verticalForward = 0;             // offset: vertical forward GUI conversion
    uint32_t horizontalInverse = 0;           // offset: horizontal inverse GUI conversion
    uint32_t verticalInverse = 0;             // offset: vertical inverse GUI conversion
    uint32_t horizontalScale = 0;             // offset: float 1024.0 of the horizontal inverse conversion
    uint32_t verticalScale = 0;               // offset: float 768.0 of the vertical inverse conversion
    uint32_t horizontalReciprocal = 0;        // offset: float 1/1024 of the horizontal forward conversion
    uint32_t verticalReciprocal = 0;          // offset: the engine's stock float 1/768
    uint32_t mouseHorizontalScale = 0;        // offset: float 1024.0 of the mouse mapping
    uint32_t mouseVerticalScale = 0;          // offset: float 768.0 of the mouse mapping
    uint32_t rootWidth = 0;                   // offset: float immediate pushed as root GUI width
    uint32_t rootHeight = 0;                  // offset: float immediate pushed as root GUI height
    uint32_t rootInitializerCall = 0;         // offset: the E8 call of the root GUI initializer
    uint32_t rootInitializer = 0;             // address: the initializer stub (add ecx, 30h; jmp)
    uint32_t xresValue = 0;                   // address: r_xres value field (cvar::floatField)
    uint32_t yresValue = 0;                   // address: r_yres value field (cvar::floatField)
    uint32_t fovCvar = 0;                     // address: r_fov object
    uint32_t xresCvar = 0;                    // address: r_xres object
    uint32_t yresCvar = 0;                    // address: r_yres object
    uint32_t fullscreenCvar = 0;              // address: r_fullscreen object
    int32_t defaultFocal = 0;                 // r_fov construction default, 1..9999
    float aspect = 0.0f;                      // camera aspect found at aspectOperand
    std::vector<uint32_t> verticalReferences; // offsets: operands pointing at the vertical reciprocal
    std::vector<uint32_t> setters;            // offsets: the five CVar setters, in search order
    // For each setter, in the same order: the address another mod's jump at
    // its entry leads to, where recognition took a hooked entry (only when
    // asked to: InspectOptions::chainHooks); 0 for the stock first instruction.
    std::vector<uint32_t> setterJumps;
};

} // namespace lkm
