// Whether the game's executable carries an earlier on-disk widescreen patch.
// There is one when normalisation changed any byte of the image; of that, the
// plug-in's log notice asks only whether the camera aspect changed.
#pragma once

#include "lkm/layout.hpp"

namespace lkm {

struct EarlierPatch {
    bool present = false;      // normalisation changed some place (Layout::normalized is not empty)
    bool cameraAspect = false; // and the camera aspect is one of them (cameraAspectShowsEarlierPatch)
};

// True when the camera aspect recognition found differs from the stock 4/3 by
// more than float rounding (|aspect - 4/3|, rounded to float, above 0.00001):
// the mark by which the plug-in's start-up notices an earlier patch.
bool cameraAspectShowsEarlierPatch(const Layout& layout);

// Both facts about the image `layout` was recognised in.
EarlierPatch earlierPatchOf(const Layout& layout);

} // namespace lkm
