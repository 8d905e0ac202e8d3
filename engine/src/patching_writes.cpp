// The writes of the patch: the camera aspect, and for a proportional menu and
// HUD the virtual GUI canvas, a vertical reciprocal of its own for the GUI
// code, and two trampolines that centre the stock interface in the canvas.
#include <algorithm>

#include "lkm/bytes.hpp"
#include "lkm/machine_code.hpp"
#include "lkm/plan_writes.hpp"
#include "lkm/stock_engine.hpp"
#include "write_list_composer.hpp"

namespace lkm {

namespace {

constexpr double stockWidth = 1024.0;
constexpr double stockHeight = 768.0;

// The canvas size in every place that holds it, and the conversions' reciprocals.
void addCanvas(WriteListComposer& writes, const Layout& layout, const PatchValues& values,
               uint32_t reciprocalSpace) {
    using namespace placeName;
    writes.addFloat(guiHorizontalScale, layout.horizontalScale, values.virtualWidth);
    writes.addFloat(mouseHorizontalScale, layout.mouseHorizontalScale, values.virtualWidth);
    writes.addFloat(rootGuiWidth, layout.rootWidth, values.virtualWidth);
    writes.addFloat(guiVerticalScale, layout.verticalScale, values.virtualHeight);
    writes.addFloat(mouseVerticalScale, layout.mouseVerticalScale, values.virtualHeight);
    writes.addFloat(rootGuiHeight, layout.rootHeight, values.virtualHeight);
    // The horizontal forward conversion's multiplier changes in place; the vertical
    // one gets a constant of its own, so code sharing the stock 1/768 keeps it.
    writes.addFloat(guiHorizontalReciprocal, layout.horizontalReciprocal, values.horizontalReciprocal);
    writes.addFloat(verticalReciprocalSpace, reciprocalSpace, values.verticalReciprocal);
}

} // namespace

PatchValues patchValuesForResolution(int resolutionX, int resolutionY) {
    // The stock 1024 x 768 interface scaled by s to fit the screen; the virtual
    // canvas vw x vh matches the screen's shape and holds it centred.
    const double scale = std::min(double(resolutionX) / stockWidth, double(resolutionY) / stockHeight);
    const double virtualWidth = double(resolutionX) / scale;
    const double virtualHeight = double(resolutionY) / scale;
    PatchValues values;
    values.aspect = float(double(resolutionX) / double(resolutionY));
    values.virtualWidth = float(virtualWidth);
    values.virtualHeight = float(virtualHeight);
    values.horizontalReciprocal = float(1.0 / virtualWidth);
    values.verticalReciprocal = float(1.0 / virtualHeight);
    values.horizontalCentring = float((virtualWidth - stockWidth) * 0.5);
    values.verticalCentring = float((virtualHeight - stockHeight) * 0.5);
    return values;
}

std::vector<Write> patchingWrites(const Layout& layout, const PatchValues& values, bool keepUiAspect,
                                  const WriteTarget& target) {
    using namespace placeName;
    WriteListComposer writes(target);
    // The float immediate the camera projection pushes (68 imm32: push aspect).
    writes.addFloat(cameraAspect, layout.aspectOperand, values.aspect);
    if (!keepUiAspect) return writes.take();

    // The three 15-byte filler runs after the conversion functions.
    const uint32_t horizontalTrampoline = stock::patchSpaceAfter(layout.horizontalForward);
    const uint32_t verticalTrampoline = stock::patchSpaceAfter(layout.verticalForward);
    const uint32_t reciprocalSpace = stock::patchSpaceAfter(layout.horizontalInverse);
    addCanvas(writes, layout, values, reciprocalSpace);

    // D8 0D addr (fmul), F3 0F 59 /r addr (mulss), F3 0F 10 /r addr (movss): the
    // 32-bit operand of each now names the new reciprocal.
    const uint32_t reciprocalAddress = target.address(reciprocalSpace);
    for (uint32_t reference : layout.verticalReferences)
        writes.addAddress(verticalGuiReference, reference, reciprocalAddress);

    // E8 rel32: call horizontal trampoline (was: call root GUI initializer).
    const uint32_t horizontalTrampolineAddress = target.address(horizontalTrampoline);
    writes.addCode(rootGuiInitializerCall, layout.rootInitializerCall,
                   callBytes(target.base + layout.rootInitializerCall, horizontalTrampolineAddress));

    // The horizontal trampoline sets [esp+4] and jumps to the vertical one, which
    // sets [esp+8] and jumps to the root GUI initializer, so the initializer runs
    // with the caller's frame and returns straight to the root GUI constructor.
    // The mov of the horizontal trampoline must fit before the address it jumps to is asked for.
    writes.requireRoom(horizontalTrampoline, 8);
    const uint32_t verticalTrampolineAddress = target.address(verticalTrampoline);
    // C7 44 24 04 imm32, E9 rel32: mov dword ptr [esp+4], x offset; jmp vertical trampoline
    writes.addCode(horizontalCentringTrampoline, horizontalTrampoline,
                   centringTrampolineBytes(target.base + horizontalTrampoline, 0x04,
                                           values.horizontalCentring, verticalTrampolineAddress));
    // C7 44 24 08 imm32, E9 rel32: mov dword ptr [esp+8], y offset; jmp root GUI initializer
    writes.addCode(verticalCentringTrampoline, verticalTrampoline,
                   centringTrampolineBytes(target.base + verticalTrampoline, 0x08, values.verticalCentring,
                                           layout.rootInitializer));
    return writes.take();
}

} // namespace lkm
