#include "lkm/recognised_places.hpp"

#include "lkm/cvar_class.hpp"
#include "lkm/place_names.hpp"
#include "lkm/signatures.hpp"
#include "lkm/stock_engine.hpp"

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

namespace {

struct NamedRange {
    std::string name;
    uint64_t begin, length;
};

// Every named range of the layout, the smallest kinds first.
std::vector<NamedRange> namedRanges(const Layout& l, uint32_t base) {
    using namespace placeName;
    std::vector<NamedRange> ranges;
    for (const RecognisedPlace& place : recognisedPlaces(l)) {
        if (place.kind == RecognisedPlace::floatValue || place.name == std::string(verticalGuiReference))
            ranges.push_back({place.name, place.at, 4});
    }
    ranges.push_back({rootGuiInitializerCall, l.rootInitializerCall, 5});
    const uint64_t space = stock::patchSpaceLength, conversion = stock::guiConversionLength;
    ranges.push_back({horizontalCentringTrampoline, uint64_t(l.horizontalForward) + conversion, space});
    ranges.push_back({verticalCentringTrampoline, uint64_t(l.verticalForward) + conversion, space});
    ranges.push_back({verticalReciprocalSpace, uint64_t(l.horizontalInverse) + conversion, space});
    ranges.push_back({horizontalForwardConversion, l.horizontalForward, conversion});
    ranges.push_back({verticalForwardConversion, l.verticalForward, conversion});
    ranges.push_back({horizontalInverseConversion, l.horizontalInverse, conversion});
    ranges.push_back({verticalInverseConversion, l.verticalInverse, conversion});
    // add ecx, 30h; jmp body: 8 bytes.
    ranges.push_back({rootGuiInitializer, uint64_t(l.rootInitializer) - base, 8});
    const uint64_t setterLength = cvar::frameOffset + cvar::frameA0.length + cvar::setterBody.size();
    for (std::size_t k = 0; k < l.setters.size(); ++k)
        ranges.push_back({std::string(cvarSetter) + " " + std::to_string(k), l.setters[k], setterLength});
    ranges.push_back({mainCameraProjection, uint64_t(l.aspectOperand) - signature::cameraProjection.aspect,
                      signature::lengthOf(signature::cameraProjection.text)});
    ranges.push_back({rootGuiConstructor, uint64_t(l.rootHeight) - signature::rootGuiConstructor.height,
                      signature::lengthOf(signature::rootGuiConstructor.text)});
    return ranges;
}

} // namespace

std::optional<std::string> placeAt(const Layout& layout, uint32_t base, uint32_t offset) {
    for (const NamedRange& range : namedRanges(layout, base))
        if (offset >= range.begin && offset - range.begin < range.length) return range.name;
    return std::nullopt;
}

} // namespace lkm
