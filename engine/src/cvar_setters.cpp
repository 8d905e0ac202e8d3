// Step 8: the integer CVar setter that the integer CVar constructor calls, and
// around it the family of five setters the plug-in redirects.
//   64 A1 00 00 00 00   mov eax, fs:[0]
//   6A FF 68 handler    push -1; push handler
//   50 64 89 25 0..0    push eax; mov fs:[0], esp
//   83 EC 20 | 83 EC 60 | 81 EC A0 00 00 00      frame at +21
//   56 8B F1 F6 46 06 01                          push esi; mov esi, ecx; test byte ptr [esi+6], 1
#include <vector>

#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr uint32_t familyWindow = 4096; // the family lies this close to the integer setter

} // namespace

void findSetterFamily(const Image& image, Layout& layout, const Handover& handover) {
    const std::vector<uint8_t>& bytes = image.bytes;
    const uint32_t c = image.offset(image.branch(handover.xresSite + 22)); // the integer CVar constructor
    const uint32_t s = one(
        setterCalls(image, c,
                    [&](uint32_t t) {
                        return bytesAre(bytes, t, {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x6A, 0xFF, 0x68}) &&
                               bytesAre(bytes, uint64_t(t) + 21, {0x83, 0xEC, 0x60});
                    }),
        "integer CVar setter");

    int frames20 = 0, frames60 = 0, framesA0 = 0;
    layout.setters.clear();
    for (uint32_t f : handover.matches.exceptionPrologue) {
        if (uint64_t(f) + familyWindow < s || uint64_t(s) + familyWindow < f) continue;
        const uint64_t frame = uint64_t(f) + 21;
        uint64_t body;
        if (bytesAre(bytes, frame, {0x83, 0xEC, 0x60})) {
            ++frames60;
            body = frame + 3;
        } else if (bytesAre(bytes, frame, {0x83, 0xEC, 0x20})) {
            ++frames20;
            body = frame + 3;
        } else if (bytesAre(bytes, frame, {0x81, 0xEC, 0xA0, 0x00, 0x00, 0x00})) {
            ++framesA0;
            body = frame + 6;
        } else {
            continue; // another frame size: not a setter
        }
        require(bytesAre(bytes, body, {0x56, 0x8B, 0xF1, 0xF6, 0x46, 0x06, 0x01}),
                "Unknown CVar setter body.");
        layout.setters.push_back(f);
    }
    require(frames20 == 2 && frames60 == 2 && framesA0 == 1, "Incomplete CVar setter family.");
}

} // namespace lkm::recognition
