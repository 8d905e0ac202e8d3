// The writes that undo an earlier patch: every recognised place back to the
// engine's stock content. On a stock image they change nothing.
#include "lkm/bytes.hpp"
#include "lkm/machine_code.hpp"
#include "lkm/plan_writes.hpp"
#include "lkm/stock_engine.hpp"
#include "write_list_composer.hpp"

namespace lkm {

namespace {

// The patch space after the conversion at `conversion`, 15 bytes CC again.
void restorePatchSpace(WriteListComposer& writes, const char* name, uint32_t conversion) {
    writes.addCode(name, stock::patchSpaceAfter(conversion),
                   std::vector<uint8_t>(stock::patchSpaceLength, stock::patchSpaceFiller));
}

} // namespace

std::vector<Write> stockRestoringWrites(const Layout& layout, const WriteTarget& target) {
    using namespace placeName;
    WriteListComposer writes(target);
    writes.addFloatBits(cameraAspect, layout.aspectOperand, stock::cameraAspectBits);
    writes.addFloatBits(guiHorizontalScale, layout.horizontalScale, stock::guiWidthBits);
    writes.addFloatBits(mouseHorizontalScale, layout.mouseHorizontalScale, stock::guiWidthBits);
    writes.addFloatBits(rootGuiWidth, layout.rootWidth, stock::guiWidthBits);
    writes.addFloatBits(guiVerticalScale, layout.verticalScale, stock::guiHeightBits);
    writes.addFloatBits(mouseVerticalScale, layout.mouseVerticalScale, stock::guiHeightBits);
    writes.addFloatBits(rootGuiHeight, layout.rootHeight, stock::guiHeightBits);
    writes.addFloatBits(guiHorizontalReciprocal, layout.horizontalReciprocal, stock::guiWidthReciprocalBits);
    writes.addFloatBits(guiVerticalReciprocal, layout.verticalReciprocal, stock::guiHeightReciprocalBits);
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
