// Step 4: the GUI mouse coordinate mapping, which divides by the same CVar
// values as the conversions and multiplies by the same GUI dimensions.
#include <vector>

#include "lkm/messages.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

void findMouseMapping(const Image& image, Layout& layout, const Handover& handover) {
    constexpr signature::MouseMapping site = signature::mouseMapping;
    std::vector<uint32_t> candidates;
    for (uint32_t m : handover.matches[site])
        if (read32(image, m + site.divisorX) == layout.xresValue &&
            read32(image, m + site.divisorY) == layout.yresValue)
            candidates.push_back(m);
    const uint32_t m = one(candidates, "GUI mouse coordinate mapping");
    layout.mouseHorizontalScale = image.offset(read32(image, m + site.scaleX));
    layout.mouseVerticalScale = image.offset(read32(image, m + site.scaleY));

    const float hs = floatAt(image, layout.horizontalScale);
    const float vs = floatAt(image, layout.verticalScale);
    require(near(double(floatAt(image, layout.mouseHorizontalScale)) - hs, 0.01) &&
                near(double(vs) - floatAt(image, layout.mouseVerticalScale), 0.01),
            message::mouseDimensionsDisagree);
}

} // namespace lkm::recognition
