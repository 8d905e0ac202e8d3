// Step 9: the r_fullscreen object and the boolean setter that its constructor calls.
#include <gtest/gtest.h>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

namespace {
const char* const noFullscreen = "Engine recognition failed: fullscreen CVar constructor has 0 matches.";
} // namespace

TEST(InspectFullscreen, FindsTheObject) {
    const EngineImage engine = makeEngineImage(); // also constructs r_vsync with the same constructor
    EXPECT_EQ(engine.address(engine.places.fullscreenObject), lkm::inspect(engine.image()).fullscreenCvar);
}

struct DefaultCase {
    uint8_t fallback;
    bool found;
};

class InspectFullscreenDefault : public testing::TestWithParam<DefaultCase> {};

TEST_P(InspectFullscreenDefault, DefaultMustBeABool) {
    EngineConfig config;
    config.fullscreenDefault = GetParam().fallback;
    EXPECT_EQ(GetParam().found ? "" : noFullscreen, inspectFailure(makeEngineImage(config).image()));
}

INSTANTIATE_TEST_SUITE_P(Defaults, InspectFullscreenDefault,
                         testing::Values(DefaultCase{0, true}, DefaultCase{1, true}, DefaultCase{2, false},
                                         DefaultCase{0xFF, false}));

TEST(InspectFullscreen, NameMustBeExact) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    EngineImage longer = stock;
    longer.pe.text(p.fullscreenName, "r_fullscreen2");
    EXPECT_EQ(noFullscreen, inspectFailure(longer.image()));

    EngineImage outside = stock;
    outside.pe.u32(p.fullscreenSite + 10, 0x10);
    EXPECT_EQ(noFullscreen, inspectFailure(outside.image()));

    EngineImage twice = stock; // the vsync site renamed
    twice.pe.u32(p.vsyncSite + 10, stock.address(p.fullscreenName));
    EXPECT_EQ("Engine recognition failed: fullscreen CVar constructor has 2 matches.",
              inspectFailure(twice.image()));
}

TEST(InspectFullscreen, ObjectLiesWhollyInOneWritableSection) {
    const char* const outside = "Fullscreen CVar is outside writable game data.";
    EngineConfig config;
    config.fullscreenObject = 0x1000 - 112;
    EXPECT_EQ("", inspectFailure(makeEngineImage(config).image()));
    config.fullscreenObject = 0x1000 - 111;
    EXPECT_EQ(outside, inspectFailure(makeEngineImage(config).image()));
    config.fullscreenObject = uint32_t(-0x800); // in .rdata
    EXPECT_EQ(outside, inspectFailure(makeEngineImage(config).image()));
    config.fullscreenObject = 0x100000;
    EXPECT_EQ("Engine pointer is outside the main module.", inspectFailure(makeEngineImage(config).image()));
}

TEST(InspectFullscreen, BooleanConstructorMustCallTheBooleanSetter) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    const uint32_t call = p.booleanSetterCall;
    ASSERT_EQ(stock.address(p.booleanSetter), stock.image().branch(call));

    EngineImage integer = stock; // the integer setter has the frame but not the mark at +53
    integer.pe.branch(call, 0xE8, stock.address(p.integerSetter));
    EXPECT_EQ("Engine recognition failed: boolean fullscreen setter has 0 matches.",
              inspectFailure(integer.image()));

    EngineImage unmarked = stock;
    unmarked.pe.bytes(p.booleanSetter + 57, {0x7C}); // mov bl, [esp+7Ch]
    EXPECT_EQ("Engine recognition failed: boolean fullscreen setter has 0 matches.",
              inspectFailure(unmarked.image()));

    // A look-alike outside the family (copied beyond the window) does not count.
    EngineImage copy = stock;
    copy.copy(p.booleanSetter, 0x60, p.spareCode);
    copy.pe.branch(call, 0xE8, stock.address(p.spareCode));
    EXPECT_EQ("Engine recognition failed: boolean fullscreen setter has 0 matches.",
              inspectFailure(copy.image()));

    EngineImage both = stock; // the family's boolean setter and the look-alike: still one
    both.copy(p.booleanSetter, 0x60, p.spareCode);
    both.pe.branch(p.booleanConstructor + 0x40, 0xE8, stock.address(p.spareCode));
    EXPECT_EQ("", inspectFailure(both.image()));
}
