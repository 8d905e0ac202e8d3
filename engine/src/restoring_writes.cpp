// The writes that undo an earlier patch: every recognised place back to the
// engine's stock content. On a stock image they change nothing.
#include <limits>

#include "lkm/bytes.hpp"
#include "lkm/machine_code.hpp"
#include "lkm/plan_writes.hpp"
#include "write_list_composer.hpp"

namespace lkm {

namespace {

constexpr uint32_t stockAspectBits = 0x3FAAAAAB;           // 4/3
constexpr uint32_t stockWidthBits = 0x44800000;            // 1024.0
constexpr uint32_t stockHeightBits = 0x44400000;           // 768.0
constexpr uint32_t stockWidthReciprocalBits = 0x3A800000;  // 1/1024
constexpr uint32_t stockHeightReciprocalBits = 0x3AAAAAAB; // nearest float to 1/768
constexpr uint32_t conversionLength = 17;                  // every GUI conversion function, ret included
constexpr uint32_t patchSpaceLength = 15;                  // the CC run after three of them
constexpr uint8_t int3 = 0xCC;

// The patch space after the conversion at `conversion`, 15 bytes CC again.
void restorePatchSpace(WriteListComposer& writes, const char* name, uint32_t conversion) {
    require(conversion <= std::numeric_limits<uint32_t>::max() - conversionLength, "Invalid image range.");
    writes.addCode(name, conversion + conversionLength, std::vector<uint8_t>(patchSpaceLength, int3));
}

} // namespace

std::vector<Write> stockRestoringWrites(const Layout& layout, const WriteTarget& target) {
    using namespace placeName;
    WriteListComposer writes(target);
    writes.addFloatBits(cameraAspect, layout.aspectOperand, stockAspectBits);
    writes.addFloatBits(guiHorizontalScale, layout.horizontalScale, stockWidthBits);
    writes.addFloatBits(mouseHorizontalScale, layout.mouseHorizontalScale, stockWidthBits);
    writes.addFloatBits(rootGuiWidth, layout.rootWidth, stockWidthBits);
    writes.addFloatBits(guiVerticalScale, layout.verticalScale, stockHeightBits);
    writes.addFloatBits(mouseVerticalScale, layout.mouseVerticalScale, stockHeightBits);
    writes.addFloatBits(rootGuiHeight, layout.rootHeight, stockHeightBits);
    writes.addFloatBits(guiHorizontalReciprocal, layout.horizontalReciprocal, stockWidthReciprocalBits);
    writes.addFloatBits(guiVerticalReciprocal, layout.verticalReciprocal, stockHeightReciprocalBits);
    // Every GUI reference reads the stock reciprocal again.
    for (uint32_t reference : layout.verticalReferences)
        writes.addAddress(verticalGuiReference, reference, target.address(layout.verticalReciprocal));
    restorePatchSpace(writes, horizontalCentringTrampoline, layout.horizontalForward);
    restorePatchSpace(writes, verticalCentringTrampoline, layout.verticalForward);
    restorePatchSpace(writes, verticalReciprocalSpace, layout.horizontalInverse);
    // E8 rel32: call root GUI initializer, so the constructor calls the stub directly.
    writes.addCode(rootGuiInitializerCall, layout.rootInitializerCall,
                   callBytes(target.base + layout.rootInitializerCall, layout.rootInitializer));
    return writes.take();
}

} // namespace lkm
