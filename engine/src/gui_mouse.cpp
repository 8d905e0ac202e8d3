// Step 4: the GUI mouse coordinate mapping, which divides by the same CVar
// values as the conversions and multiplies by the same GUI dimensions.
//   F3 0F 59 05 scale  mulss xmm0, [scale]    at +5 (x) and +39 (y)
//   F3 0F 5E 05 value  divss xmm0, [value]    at +13 (x) and +47 (y)
#include <vector>

#include "recognition.hpp"

namespace lkm::recognition {

void findMouseMapping(const Image& image, Layout& layout, const Handover& handover) {
    std::vector<uint32_t> candidates;
    for (uint32_t m : handover.matches.mouseMapping)
        if (read32(image, m + 17) == layout.xresValue && read32(image, m + 51) == layout.yresValue)
            candidates.push_back(m);
    const uint32_t m = one(candidates, "GUI mouse coordinate mapping");
    layout.mouseHorizontalScale = image.offset(read32(image, m + 9));
    layout.mouseVerticalScale = image.offset(read32(image, m + 43));

    const float hs = floatAt(image, layout.horizontalScale);
    const float vs = floatAt(image, layout.verticalScale);
    require(near(double(floatAt(image, layout.mouseHorizontalScale)) - hs, 0.01) &&
                near(double(vs) - floatAt(image, layout.mouseVerticalScale), 0.01),
            "Mouse and drawing dimensions disagree.");
}

} // namespace lkm::recognition
