// The properties of a layout that lkm::inspect returns and of the plans that
// lkm::build makes from it. Each violated property stops the process.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/layout.hpp"

namespace lkm::fuzz {

// Offsets inside the image, addresses inside the module, the order and spacing
// of the four conversions, the vertical references, five setters, CVar objects
// in writable data, a finite positive aspect, the default focal parameter and
// the length of the normalised copy.
void checkLayout(const lkm::Image& image, const lkm::Layout& layout);

// A plan as long as the image that differs from the normalised copy only where
// the plan writes, and holds the expected bytes where the last write decides.
void checkPlan(const lkm::Image& image, const lkm::Layout& layout, int resolutionX, int resolutionY,
               bool keepUiAspect, const std::vector<uint8_t>& plan);

} // namespace lkm::fuzz
