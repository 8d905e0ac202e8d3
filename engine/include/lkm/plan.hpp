// The patch plan: the writes that turn the game's image into the patched one.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/layout.hpp"
#include "lkm/patch.hpp"

namespace lkm {

// The screen sizes lkm::build accepts, in pixels, both bounds included.
inline constexpr int minResolutionX = 320;
inline constexpr int maxResolutionX = 16384;
inline constexpr int minResolutionY = 200;
inline constexpr int maxResolutionY = 16384;

// Whether a screen of `width` x `height` pixels lies within those sizes.
inline constexpr bool supportedResolution(int width, int height) {
    return width >= minResolutionX && width <= maxResolutionX && height >= minResolutionY &&
           height <= maxResolutionY;
}

// The plan for a layout that lkm::inspect found in `image`: every maximal run
// of bytes in which the patched image differs from the image, ascending. The
// patched image is the image with every recognised place back to stock
// (Layout::normalized) and the patch's writes over it; each run expects the
// bytes recognition found there (Layout::original).
std::vector<Patch> build(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                         bool keepUiAspect);

} // namespace lkm
