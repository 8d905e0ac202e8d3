// The patch plan worked out the long way, as a test oracle: a copy of the whole
// image, every restoring write over it, then every patching write, and the
// maximal runs in which that copy differs from the image. lkm::build reaches
// the same patches from the runs recognition kept, without a copy.
#pragma once

#include <vector>

#include "lkm/image.hpp"
#include "lkm/layout.hpp"
#include "lkm/plan.hpp"

namespace lkm::test {

// Fills the layout's runs from the image as recognition does: the image's own
// bytes where the restoring writes and each setter's first instruction lie,
// and the runs those writes change. For layouts that tests lay out by hand.
void recordImageBytes(const lkm::Image& image, lkm::Layout& layout);

// The image with every patch's replacement over it, whole.
std::vector<uint8_t> patchedImage(const lkm::Image& image, const std::vector<lkm::Patch>& plan);

// The image with every recognised place back to stock, whole.
std::vector<uint8_t> wholeNormalizedImage(const lkm::Image& image, const lkm::Layout& layout);

// The patches of the whole-image plan, expected bytes from the image.
std::vector<lkm::Patch> wholeImagePlan(const lkm::Image& image, const lkm::Layout& layout, int resolutionX,
                                       int resolutionY, bool keepUiAspect);

// The names of what differs between two plans ("patch 3 replacement", "count"); empty when equal.
std::string planDifferences(const std::vector<lkm::Patch>& actual, const std::vector<lkm::Patch>& expected);

} // namespace lkm::test
