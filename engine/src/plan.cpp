// The patch plan: the normalised image with the camera aspect, the virtual GUI
// canvas, the redirected vertical reciprocal and the two centring trampolines
// written into it. The writes run in a fixed order; where two of them touch the
// same bytes, the later one wins.
#include "lkm/plan.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>

#include "lkm/bytes.hpp"

namespace lkm {

namespace {

constexpr uint32_t conversionLength = 17; // every GUI conversion function, ret included
constexpr double stockWidth = 1024.0;
constexpr double stockHeight = 768.0;

// offset + delta, refused with `message` when the sum leaves 32 bits.
uint32_t advance(uint32_t offset, uint32_t delta, const char* message) {
    require(offset <= std::numeric_limits<uint32_t>::max() - delta, message);
    return offset + delta;
}

// True when `count` bytes starting at `offset` lie inside the plan.
bool fits(const std::vector<uint8_t>& plan, uint32_t offset, uint32_t count) {
    return offset < plan.size() && plan.size() - offset >= count;
}

} // namespace

std::vector<uint8_t> build(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                           bool keepUiAspect) {
    // 320..16384 by 200..16384; the unsigned subtraction turns negatives into huge values.
    require(static_cast<uint32_t>(resolutionX) - 320u <= 16064u &&
                static_cast<uint32_t>(resolutionY) - 200u <= 16184u,
            "Resolution is outside supported input limits.");

    std::vector<uint8_t> plan = layout.normalized;

    // The float immediate the camera projection pushes (68 imm32: push aspect).
    const double aspect = double(resolutionX) / double(resolutionY);
    put(plan, layout.aspectOperand, float(aspect));
    if (!keepUiAspect) return plan;

    // The stock 1024 x 768 interface scaled by s to fit the screen; the virtual
    // canvas vw x vh matches the screen's shape and holds it centred.
    const double scale = std::min(double(resolutionX) / stockWidth, double(resolutionY) / stockHeight);
    const double virtualWidth = double(resolutionX) / scale;
    const double virtualHeight = double(resolutionY) / scale;
    const double horizontalOffset = (virtualWidth - stockWidth) * 0.5;
    const double verticalOffset = (virtualHeight - stockHeight) * 0.5;

    // The three 15-byte filler runs after the conversion functions.
    const uint32_t horizontalTrampoline =
        advance(layout.horizontalForward, conversionLength, "Invalid engine address.");
    const uint32_t verticalTrampoline =
        advance(layout.verticalForward, conversionLength, "Invalid engine address.");
    const uint32_t reciprocalSpace =
        advance(layout.horizontalInverse, conversionLength, "Invalid engine address.");

    put(plan, layout.horizontalScale, float(virtualWidth));
    put(plan, layout.mouseHorizontalScale, float(virtualWidth));
    put(plan, layout.rootWidth, float(virtualWidth));
    put(plan, layout.verticalScale, float(virtualHeight));
    put(plan, layout.mouseVerticalScale, float(virtualHeight));
    put(plan, layout.rootHeight, float(virtualHeight));

    // The horizontal forward conversion's multiplier changes in place; the vertical
    // one gets a constant of its own, so code sharing the stock 1/768 keeps it.
    put(plan, layout.horizontalReciprocal, float(1.0 / virtualWidth));
    put(plan, reciprocalSpace, float(1.0 / virtualHeight));

    // D8 0D addr (fmul), F3 0F 59 /r addr (mulss), F3 0F 10 /r addr (movss): the
    // 32-bit operand of each now names the new reciprocal.
    const uint32_t reciprocalAddress = image.address(reciprocalSpace);
    for (uint32_t reference : layout.verticalReferences) put(plan, reference, reciprocalAddress);

    // E8 rel32: call horizontal trampoline (was: call root GUI initializer).
    image.address(horizontalTrampoline);
    require(fits(plan, layout.rootInitializerCall, 1), "Invalid patch range.");
    plan[layout.rootInitializerCall] = 0xE8;
    put(plan, advance(layout.rootInitializerCall, 1, "Invalid patch range."),
        horizontalTrampoline - (layout.rootInitializerCall + 5u));

    // Each trampoline, 13 bytes, entered with the return address at [esp]:
    //   C7 44 24 d imm32   mov dword ptr [esp+d], offset (float)
    //   E9 rel32           jmp next
    // The horizontal one sets [esp+4] and jumps to the vertical one, which sets
    // [esp+8] and jumps to the root GUI initializer, so the initializer runs with
    // the caller's frame and returns straight to the root GUI constructor.
    const std::array<std::pair<uint32_t, uint8_t>, 2> trampolines{{
        {horizontalTrampoline, 4},
        {verticalTrampoline, 8},
    }};
    for (std::size_t i = 0; i < trampolines.size(); ++i) {
        const auto [offset, displacement] = trampolines[i];
        const bool horizontal = i == 0;
        put(plan, offset, (uint32_t(displacement) << 24) | 0x002444C7u);
        put(plan, advance(offset, 4, "Invalid patch range."),
            float(horizontal ? horizontalOffset : verticalOffset));
        const uint32_t target = horizontal ? image.address(verticalTrampoline) : layout.rootInitializer;
        require(fits(plan, offset, 9), "Invalid patch range.");
        plan[offset + 8] = 0xE9;
        put(plan, offset + 9, target - (image.base + offset + 8u) - 5u);
    }
    return plan;
}

} // namespace lkm
