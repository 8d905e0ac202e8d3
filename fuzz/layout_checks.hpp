// The properties of a layout that lkm::inspect returns and of the plans that
// lkm::build makes from it. Each violated property stops the process.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/layout.hpp"
#include "lkm/plan.hpp"

namespace lkm::fuzz {

// Offsets inside the image, addresses inside the module, the order and spacing
// of the four conversions, the vertical references, five setters, CVar objects
// in writable data, a finite positive aspect, the default focal parameter, and
// the runs of the image's own and of its normalised bytes.
void checkLayout(const lkm::Image& image, const lkm::Layout& layout);

// Patches that are those of the whole-image plan, and a patched image that
// differs from the normalised one only where the plan writes and holds the
// expected bytes where the last write decides.
void checkPlan(const lkm::Image& image, const lkm::Layout& layout, int resolutionX, int resolutionY,
               bool keepUiAspect, const std::vector<lkm::Patch>& patches);

} // namespace lkm::fuzz
