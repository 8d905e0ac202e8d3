#include "lkm/earlier_patch.hpp"

#include <cmath>

namespace lkm {

bool cameraAspectShowsEarlierPatch(const Layout& layout) {
    return std::fabs(float(double(layout.aspect) - 4.0 / 3.0)) > 0.00001f;
}

} // namespace lkm
