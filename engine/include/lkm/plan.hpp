// The patch plan: the image bytes as they must look once the game is patched.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/diff.hpp"
#include "lkm/image.hpp"
#include "lkm/layout.hpp"

namespace lkm {

// The screen sizes lkm::build accepts, in pixels, both bounds included.
inline constexpr int minResolutionX = 320;
inline constexpr int maxResolutionX = 16384;
inline constexpr int minResolutionY = 200;
inline constexpr int maxResolutionY = 16384;

std::vector<uint8_t> build(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                           bool keepUiAspect);

// The same plan written into `normalized`, the layout's normalised bytes moved
// in by a caller that needs them no more: no second copy of the image is made.
std::vector<uint8_t> build(const Image& image, const Layout& layout, std::vector<uint8_t>&& normalized,
                           int resolutionX, int resolutionY, bool keepUiAspect);

// Where the plan that build gives for the same arguments may differ from the
// image: the ranges (offset and length) of the writes that normalise the image
// and of those that patch it. Outside them plan and image bytes are equal, so a
// diff of the two needs to compare only these (lkm::differingRunsWithin).
std::vector<Run> planRanges(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                            bool keepUiAspect);

} // namespace lkm
