#include "lkm/earlier_patch.hpp"

#include <cmath>

#include "lkm/diff.hpp"
#include "lkm/plan_writes.hpp"

namespace lkm {

bool cameraAspectShowsEarlierPatch(const Layout& layout) {
    return std::fabs(float(double(layout.aspect) - 4.0 / 3.0)) > 0.00001f;
}

EarlierPatch earlierPatchOf(const Image& image, const Layout& layout) {
    // Normalisation writes nowhere but at the places of the restoring writes.
    const WriteTarget target = wholeImage(image);
    EarlierPatch earlier;
    earlier.present =
        !differingRunsWithin(image.bytes, layout.normalized, rangesOf(stockRestoringWrites(layout, target)))
             .empty();
    earlier.cameraAspect = cameraAspectShowsEarlierPatch(layout);
    return earlier;
}

} // namespace lkm
