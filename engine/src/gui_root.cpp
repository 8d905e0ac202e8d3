// Step 2: the root GUI constructor and the chain from its initializer call,
// through at most two trampolines of an earlier patch, to the initializer stub
// (83 C1 30 E9 rel32: add ecx, 30h; jmp body).
#include "lkm/messages.hpp"
#include "lkm/place_names.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

void findRootGui(const Image& image, Layout& layout, Handover& handover) {
    constexpr signature::RootGuiConstructor site = signature::rootGuiConstructor;
    const uint32_t r = one(handover.matches[site], placeName::rootGuiConstructor);
    layout.rootHeight = r + site.height;
    layout.rootWidth = r + site.width;
    layout.rootInitializerCall = r + site.initializerCall;

    uint32_t target = image.branch(layout.rootInitializerCall);
    for (int examined = 1;; ++examined) {
        const uint32_t o = image.offset(target);
        // C7 44 24 04/08 imm32: mov dword ptr [esp+4] or [esp+8], imm32; E8/E9 rel32 at +8
        if (bytesAre(image.bytes, o, {0xC7, 0x44, 0x24, 0x04}) ||
            bytesAre(image.bytes, o, {0xC7, 0x44, 0x24, 0x08})) {
            target = image.branch(plus(o, 8));
            require(examined < 3, message::unknownRootTrampoline);
            continue;
        }
        require(bytesAre(image.bytes, o, {0x83, 0xC1, 0x30, 0xE9}), message::unknownRootInitializer);
        layout.rootInitializer = target;
        handover.initializerBody = image.offset(image.branch(o + 3));
        return;
    }
}

} // namespace lkm::recognition
