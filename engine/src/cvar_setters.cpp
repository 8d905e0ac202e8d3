// Step 8: the integer CVar setter that the integer CVar constructor calls, and
// around it the family of five setters the plug-in redirects; where chained
// hooks are asked for, also setters whose entry another mod's jump replaced.
//   64 A1 00 00 00 00   mov eax, fs:[0]
//   6A FF 68 handler    push -1; push handler
//   50 64 89 25 0..0    push eax; mov fs:[0], esp
//   frame at +21, then the body (lkm/cvar_class.hpp)
#include <algorithm>
#include <vector>

#include "lkm/byte_runs.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/messages.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr uint32_t familyWindow = 4096; // the family lies this close to the integer setter
constexpr uint8_t jmpRel32 = 0xE9;

// Where another mod's jump over the setter entry at `t` leads, as hooking
// libraries leave one: E9 rel32 to a place outside the image, then 00, 90 or
// CC where the sixth byte of the first instruction was, then the rest of the
// exception prologue as it was:
//   E9 rel32   xx   6A FF 68 handler   50   64 89 25 00000000
// 0 for anything else.
uint32_t otherModsJump(const Image& image, uint32_t t) {
    const ImageBytes& bytes = image.bytes;
    constexpr std::size_t entry = cvar::setterPrologue.size();
    if (!bytesAre(bytes, t, {jmpRel32}) || !image.matchesAt(signature::exceptionPrologue.text, t, entry))
        return 0;
    const uint8_t left = bytes[t + entry - 1];
    if (left != 0x00 && left != 0x90 && left != 0xCC) return 0;
    const uint32_t target = image.branch(t);
    return target - image.base < bytes.size() ? 0 : target;
}

// The setter entries near `s`: the exception prologues the search found and,
// when hooks are chained, the entries another mod's jump replaced; ascending.
std::vector<uint32_t> entriesNear(const Image& image, const Handover& handover, uint32_t s, bool chainHooks) {
    const auto near = [&](uint64_t f) { return f + familyWindow >= s && uint64_t(s) + familyWindow >= f; };
    std::vector<uint32_t> entries;
    for (uint32_t f : handover.matches[signature::exceptionPrologue])
        if (near(f)) entries.push_back(f);
    if (chainHooks) {
        const uint64_t from = s > familyWindow ? s - familyWindow : 0;
        for (uint64_t f = from; f <= uint64_t(s) + familyWindow && f < image.bytes.size(); ++f)
            if (otherModsJump(image, uint32_t(f)) != 0) entries.push_back(uint32_t(f));
        std::sort(entries.begin(), entries.end());
    }
    return entries;
}

} // namespace

void findSetterFamily(const Image& image, Layout& layout, const Handover& handover, bool chainHooks) {
    const ImageBytes& bytes = image.bytes;
    const uint32_t c = image.offset(image.branch(
        handover.xresSite + signature::intCvarConstruction.constructorCall)); // the integer CVar constructor
    const uint32_t s = one(setterCalls(image, c,
                                       [&](uint32_t t) {
                                           const bool entry = bytesAre(bytes, t, cvar::setterPrologue) ||
                                                              (chainHooks && otherModsJump(image, t) != 0);
                                           return entry &&
                                                  bytesAre(bytes, uint64_t(t) + cvar::setterPrologue.size(),
                                                           {0x6A, 0xFF, 0x68}) &&
                                                  isFrame(bytes, t, cvar::frame60);
                                       }),
                           "integer CVar setter");

    std::array<int, cvar::setterFrames.size()> members{};
    layout.setters.clear();
    layout.setterJumps.clear();
    for (uint32_t f : entriesNear(image, handover, s, chainHooks)) {
        std::size_t k = 0;
        while (k < cvar::setterFrames.size() && !isFrame(bytes, f, cvar::setterFrames[k])) ++k;
        if (k == cvar::setterFrames.size()) continue; // another frame size: not a setter
        ++members[k];
        require(
            bytesAre(bytes, uint64_t(f) + cvar::frameOffset + cvar::setterFrames[k].length, cvar::setterBody),
            message::unknownSetterBody);
        layout.setters.push_back(f);
        layout.setterJumps.push_back(chainHooks ? otherModsJump(image, f) : 0);
        // The first instruction a gateway runs and the redirection replaces, as validated.
        addCopiedRange(layout.original, image.bytes, f, uint32_t(cvar::setterPrologue.size()));
    }
    for (std::size_t k = 0; k < members.size(); ++k)
        require(members[k] == cvar::setterFrames[k].members, message::incompleteSetterFamily);
}

} // namespace lkm::recognition
