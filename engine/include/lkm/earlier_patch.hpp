// Whether the game's executable carries an earlier on-disk widescreen patch.
#pragma once

#include "lkm/layout.hpp"

namespace lkm {

// True when the camera aspect recognition found differs from the stock 4/3 by
// more than float rounding (|aspect - 4/3|, rounded to float, above 0.00001):
// the mark an earlier patch of the executable leaves.
bool cameraAspectShowsEarlierPatch(const Layout& layout);

} // namespace lkm
