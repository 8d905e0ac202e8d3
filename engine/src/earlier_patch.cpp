#include "lkm/earlier_patch.hpp"

#include <cmath>

namespace lkm {

bool cameraAspectShowsEarlierPatch(const Layout& layout) {
    return std::fabs(float(double(layout.aspect) - 4.0 / 3.0)) > 0.00001f;
}

EarlierPatch earlierPatchOf(const Layout& layout) {
    EarlierPatch earlier;
    earlier.present = !layout.normalized.empty();
    earlier.cameraAspect = cameraAspectShowsEarlierPatch(layout);
    return earlier;
}

} // namespace lkm
