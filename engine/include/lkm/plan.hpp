// The patch plan: the image bytes as they must look once the game is patched.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/layout.hpp"

namespace lkm {

std::vector<uint8_t> build(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                           bool keepUiAspect);

} // namespace lkm
