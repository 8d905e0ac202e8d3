#include "lkm/recognised_places.hpp"

#include "lkm/place_names.hpp"

namespace lkm {

std::vector<RecognisedPlace> recognisedPlaces(const Layout& l) {
    using namespace placeName;
    constexpr RecognisedPlace::Kind code = RecognisedPlace::code, value = RecognisedPlace::floatValue;
    std::vector<RecognisedPlace> places = {
        {cameraAspect, l.aspectOperand, value},
        {horizontalForwardConversion, l.horizontalForward, code},
        {verticalForwardConversion, l.verticalForward, code},
        {horizontalInverseConversion, l.horizontalInverse, code},
        {verticalInverseConversion, l.verticalInverse, code},
        {guiHorizontalScale, l.horizontalScale, value},
        {guiVerticalScale, l.verticalScale, value},
        {guiHorizontalReciprocal, l.horizontalReciprocal, value},
        {guiVerticalReciprocal, l.verticalReciprocal, value},
        {mouseHorizontalScale, l.mouseHorizontalScale, value},
        {mouseVerticalScale, l.mouseVerticalScale, value},
        {rootGuiWidth, l.rootWidth, value},
        {rootGuiHeight, l.rootHeight, value},
        {rootGuiInitializerCall, l.rootInitializerCall, code},
        {rootGuiInitializer, l.rootInitializer, RecognisedPlace::addressInGame},
    };
    for (uint32_t reference : l.verticalReferences) places.push_back({verticalGuiReference, reference, code});
    return places;
}

} // namespace lkm
