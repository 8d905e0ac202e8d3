// Step 8: the integer CVar setter that the integer CVar constructor calls, and
// around it the family of five setters the plug-in redirects.
//   64 A1 00 00 00 00   mov eax, fs:[0]
//   6A FF 68 handler    push -1; push handler
//   50 64 89 25 0..0    push eax; mov fs:[0], esp
//   frame at +21, then the body (lkm/cvar_class.hpp)
#include <vector>

#include "lkm/cvar_class.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr uint32_t familyWindow = 4096; // the family lies this close to the integer setter

} // namespace

void findSetterFamily(const Image& image, Layout& layout, const Handover& handover) {
    const std::vector<uint8_t>& bytes = image.bytes;
    const uint32_t c = image.offset(image.branch(
        handover.xresSite + signature::intCvarConstruction.constructorCall)); // the integer CVar constructor
    const uint32_t s = one(setterCalls(image, c,
                                       [&](uint32_t t) {
                                           return bytesAre(bytes, t, cvar::setterPrologue) &&
                                                  bytesAre(bytes, uint64_t(t) + cvar::setterPrologue.size(),
                                                           {0x6A, 0xFF, 0x68}) &&
                                                  isFrame(bytes, t, cvar::frame60);
                                       }),
                           "integer CVar setter");

    std::array<int, cvar::setterFrames.size()> members{};
    layout.setters.clear();
    for (uint32_t f : handover.matches[signature::exceptionPrologue]) {
        if (uint64_t(f) + familyWindow < s || uint64_t(s) + familyWindow < f) continue;
        std::size_t k = 0;
        while (k < cvar::setterFrames.size() && !isFrame(bytes, f, cvar::setterFrames[k])) ++k;
        if (k == cvar::setterFrames.size()) continue; // another frame size: not a setter
        ++members[k];
        require(
            bytesAre(bytes, uint64_t(f) + cvar::frameOffset + cvar::setterFrames[k].length, cvar::setterBody),
            "Unknown CVar setter body.");
        layout.setters.push_back(f);
    }
    for (std::size_t k = 0; k < members.size(); ++k)
        require(members[k] == cvar::setterFrames[k].members, "Incomplete CVar setter family.");
}

} // namespace lkm::recognition
