// lkm::inspect on the synthetic engine with a list of edits, then lkm::build
// for three screens with and without the proportional menu and HUD. Either
// recognition refuses with one of the engine's sentences, or its layout keeps
// every invariant and every plan made from it is sound; an image whose edits
// changed nothing is recognised exactly as the fixture laid it out.
#include <cstdint>
#include <optional>
#include <vector>

#include "bodies.hpp"
#include "check.hpp"
#include "engine_image.hpp"
#include "inspect_input.hpp"
#include "layout_checks.hpp"
#include "lkm/inspect.hpp"
#include "lkm/plan.hpp"

namespace lkm::fuzz {

namespace {

struct Screen {
    int width, height;
};
constexpr Screen screens[] = {{1920, 1080}, {1280, 1024}, {1024, 768}};

} // namespace

int inspect(const uint8_t* data, std::size_t size) {
    using namespace inspect_input;
    const Input input = decode(data, size);
    const Engine& engine = inspect_input::engine(input.variant);
    std::vector<uint8_t> bytes = engine.bytes;
    apply(input, bytes);
    const bool pristine = bytes == engine.bytes;

    std::optional<lkm::Image> image;
    try {
        image.emplace(std::move(bytes), engine.image.config.base);
    } catch (const std::exception& error) {
        LKMFUZZ_CHECK(isRefusal(error),
                      "construction throws only the engine's sentences, not " + describe(error));
        LKMFUZZ_CHECK(!pristine, "the fixture image is a valid image");
        return 0;
    }

    lkm::Layout layout;
    try {
        layout = lkm::inspect(*image);
    } catch (const std::exception& error) {
        LKMFUZZ_CHECK(isRefusal(error),
                      "recognition throws only the engine's sentences, not " + describe(error));
        LKMFUZZ_CHECK(!pristine, "the fixture engine is recognised, not refused with: " + describe(error));
        return 0;
    }
    checkLayout(*image, layout);
    if (pristine)
        LKMFUZZ_CHECK(lkm::test::layoutDifferences(layout, engine.expected).empty(),
                      "the fixture engine is recognised as laid out, but differs in: " +
                          lkm::test::layoutDifferences(layout, engine.expected));

    for (const Screen& screen : screens) {
        for (bool keepUiAspect : {true, false}) {
            std::vector<lkm::Patch> plan;
            try {
                plan = lkm::build(*image, layout, screen.width, screen.height, keepUiAspect);
            } catch (const std::exception& error) {
                violated("a recognised layout always yields a plan, not " + describe(error), __FILE__,
                         __LINE__);
            }
            checkPlan(*image, layout, screen.width, screen.height, keepUiAspect, plan);
        }
    }
    return 0;
}

} // namespace lkm::fuzz
