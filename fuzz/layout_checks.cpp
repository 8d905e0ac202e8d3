#include "layout_checks.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "check.hpp"

namespace lkmfuzz {

namespace {

constexpr uint32_t conversionLength = 17; // every GUI conversion function, ret included
constexpr uint32_t spaceLength = 15;      // the CC run after three of them
constexpr uint32_t trampolineLength = 13; // C7 44 24 d imm32; E9 rel32
constexpr uint32_t cvarObjectLength = 112;

struct Range {
    uint64_t begin, end;
    bool overlaps(const Range& other) const { return begin < other.end && other.begin < end; }
};

bool inside(const lkm::Image& image, uint64_t offset, uint64_t width) {
    return offset + width <= image.bytes.size();
}

bool inModule(const lkm::Image& image, uint32_t address) {
    return address >= image.base && address - image.base < image.bytes.size();
}

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The 4 little-endian bytes of `value` at `offset` of `plan`.
bool holds(const std::vector<uint8_t>& plan, uint32_t offset, uint32_t value) {
    return lkm::read<uint32_t>(plan, offset) == value;
}

} // namespace

void checkLayout(const lkm::Image& image, const lkm::Layout& l) {
    LKMFUZZ_CHECK(l.normalized.size() == image.bytes.size(), "normalized is as long as the image");

    for (uint32_t operand :
         {l.aspectOperand, l.horizontalScale, l.verticalScale, l.horizontalReciprocal, l.verticalReciprocal,
          l.mouseHorizontalScale, l.mouseVerticalScale, l.rootWidth, l.rootHeight})
        LKMFUZZ_CHECK(inside(image, operand, 4), "every 4-byte operand lies inside the image");
    for (uint32_t conversion : {l.horizontalForward, l.verticalForward, l.horizontalInverse})
        LKMFUZZ_CHECK(inside(image, conversion, conversionLength + spaceLength),
                      "a conversion and the space after it lie inside the image");
    LKMFUZZ_CHECK(inside(image, l.verticalInverse, conversionLength),
                  "the last conversion lies inside the image");
    LKMFUZZ_CHECK(inside(image, l.rootInitializerCall, 5), "the root initializer call lies inside the image");

    LKMFUZZ_CHECK(l.horizontalForward < l.verticalForward && l.verticalForward < l.horizontalInverse &&
                      l.horizontalInverse < l.verticalInverse,
                  "the four conversions are in order");
    LKMFUZZ_CHECK(l.verticalForward - l.horizontalForward <= 127 &&
                      l.horizontalInverse - l.verticalForward <= 127 &&
                      l.verticalInverse - l.horizontalInverse <= 127,
                  "each conversion lies at most 127 bytes after the one before it");

    for (uint32_t address :
         {l.rootInitializer, l.xresValue, l.yresValue, l.fovCvar, l.xresCvar, l.yresCvar, l.fullscreenCvar})
        LKMFUZZ_CHECK(inModule(image, address), "every address lies inside the main module");
    for (uint32_t cvar : {l.fovCvar, l.xresCvar, l.yresCvar, l.fullscreenCvar})
        LKMFUZZ_CHECK(image.writable(cvar - image.base, cvarObjectLength),
                      "every CVar object lies inside one writable section");
    LKMFUZZ_CHECK(uint64_t(l.xresCvar) + 20 == l.xresValue && uint64_t(l.yresCvar) + 20 == l.yresValue,
                  "the conversions read the value fields of the r_xres and r_yres objects");

    LKMFUZZ_CHECK(std::fabs(l.aspect) <= std::numeric_limits<float>::max() && l.aspect > 0.0f,
                  "the aspect is finite and positive");
    LKMFUZZ_CHECK(l.defaultFocal >= 1 && l.defaultFocal <= 9999, "the default focal parameter is 1..9999");

    const std::vector<uint32_t>& refs = l.verticalReferences;
    LKMFUZZ_CHECK(refs.size() >= 2, "at least two vertical references");
    LKMFUZZ_CHECK(std::adjacent_find(refs.begin(), refs.end(), std::greater_equal<uint32_t>()) == refs.end(),
                  "the vertical references ascend");
    LKMFUZZ_CHECK(std::find(refs.begin(), refs.end(), uint64_t(l.verticalForward) + 12) != refs.end(),
                  "the vertical forward conversion's own operand is a vertical reference");
    for (uint32_t ref : refs)
        LKMFUZZ_CHECK(inside(image, ref, 4), "every vertical reference lies inside the image");

    LKMFUZZ_CHECK(l.setters.size() == 5, "exactly five setters");
    for (uint32_t setter : l.setters)
        LKMFUZZ_CHECK(setter < image.bytes.size(), "every setter lies inside the image");
}

void checkPlan(const lkm::Image& image, const lkm::Layout& l, int resolutionX, int resolutionY,
               bool keepUiAspect, const std::vector<uint8_t>& plan) {
    LKMFUZZ_CHECK(plan.size() == image.bytes.size(), "the plan is as long as the image");
    const float aspect = float(double(resolutionX) / double(resolutionY));

    // What the plan writes, in the order of its writes.
    std::vector<Range> writes{{l.aspectOperand, l.aspectOperand + 4ull}};
    const uint32_t horizontalTrampoline = l.horizontalForward + conversionLength;
    const uint32_t verticalTrampoline = l.verticalForward + conversionLength;
    const uint32_t reciprocalSpace = l.horizontalInverse + conversionLength;
    if (keepUiAspect) {
        for (uint32_t operand : {l.horizontalScale, l.mouseHorizontalScale, l.rootWidth, l.verticalScale,
                                 l.mouseVerticalScale, l.rootHeight, l.horizontalReciprocal, reciprocalSpace})
            writes.push_back({operand, operand + 4ull});
        for (uint32_t ref : l.verticalReferences) writes.push_back({ref, ref + 4ull});
        writes.push_back({l.rootInitializerCall, l.rootInitializerCall + 5ull});
        writes.push_back({horizontalTrampoline, horizontalTrampoline + uint64_t(trampolineLength)});
        writes.push_back({verticalTrampoline, verticalTrampoline + uint64_t(trampolineLength)});
    }

    constexpr std::size_t chunk = 4096;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        if (i % chunk == 0 && plan.size() - i >= chunk &&
            std::memcmp(&plan[i], &l.normalized[i], chunk) == 0) {
            i += chunk - 1;
            continue;
        }
        if (plan[i] == l.normalized[i]) continue;
        const bool written = std::any_of(writes.begin(), writes.end(),
                                         [&](const Range& w) { return w.begin <= i && i < w.end; });
        LKMFUZZ_CHECK(written, "the plan differs from the normalised copy only where it writes");
    }

    // Whether no write after the one at `index` touches its bytes.
    auto last = [&](std::size_t index) {
        for (std::size_t later = index + 1; later < writes.size(); ++later)
            if (writes[later].overlaps(writes[index])) return false;
        return true;
    };
    if (last(0))
        LKMFUZZ_CHECK(holds(plan, l.aspectOperand, bitsOf(aspect)), "the camera receives the screen aspect");
    if (!keepUiAspect) return;

    const double scale = std::min(resolutionX / 1024.0, resolutionY / 768.0);
    const double width = resolutionX / scale, height = resolutionY / scale;
    const uint32_t base = image.base;
    const std::size_t n = writes.size();

    // mov dword ptr [esp+8], vertical offset; jmp root GUI initializer: written last, always whole.
    LKMFUZZ_CHECK(
        holds(plan, verticalTrampoline, 0x082444C7) &&
            holds(plan, verticalTrampoline + 4, bitsOf(float((height - 768.0) * 0.5))) &&
            plan[verticalTrampoline + 8] == 0xE9 &&
            holds(plan, verticalTrampoline + 9, l.rootInitializer - (base + verticalTrampoline + 13)),
        "the vertical trampoline sets [esp+8] and jumps to the root GUI initializer");
    if (last(n - 2))
        LKMFUZZ_CHECK(
            holds(plan, horizontalTrampoline, 0x042444C7) &&
                holds(plan, horizontalTrampoline + 4, bitsOf(float((width - 1024.0) * 0.5))) &&
                plan[horizontalTrampoline + 8] == 0xE9 &&
                holds(plan, horizontalTrampoline + 9, verticalTrampoline - (horizontalTrampoline + 13)),
            "the horizontal trampoline sets [esp+4] and jumps to the vertical one");
    if (last(n - 3))
        LKMFUZZ_CHECK(
            plan[l.rootInitializerCall] == 0xE8 &&
                holds(plan, l.rootInitializerCall + 1, horizontalTrampoline - (l.rootInitializerCall + 5)),
            "the root GUI constructor calls the horizontal trampoline");
    for (std::size_t i = 9; i < n - 3; ++i)
        if (last(i))
            LKMFUZZ_CHECK(holds(plan, uint32_t(writes[i].begin), base + reciprocalSpace),
                          "every vertical reference names the new reciprocal");
    if (last(8))
        LKMFUZZ_CHECK(holds(plan, reciprocalSpace, bitsOf(float(1.0 / height))),
                      "the reciprocal space holds 1 / virtual height");
}

} // namespace lkmfuzz
