// Step 4: the GUI mouse mapping, which must divide by both CVar values and
// multiply by the drawing dimensions.
#include <gtest/gtest.h>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

TEST(InspectGuiMouse, FindsTheMouseMultipliers) {
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = lkm::inspect(engine.image());
    EXPECT_EQ(engine.places.mouseHorizontalScale, layout.mouseHorizontalScale);
    EXPECT_EQ(engine.places.mouseVerticalScale, layout.mouseVerticalScale);
}

TEST(InspectGuiMouse, MappingMustReadBothCvarValues) {
    const char* const none = "Engine recognition failed: GUI mouse coordinate mapping has 0 matches.";
    for (uint32_t divisor : {17u, 51u}) {
        EngineImage engine = makeEngineImage();
        engine.pe.u32(engine.places.mouseMapping + divisor, engine.address(engine.places.data + 0x424));
        EXPECT_EQ(none, inspectFailure(engine.image())) << divisor;
    }
    EngineImage swapped = makeEngineImage();
    const uint32_t m = swapped.places.mouseMapping;
    const uint32_t x = lkm::read<uint32_t>(swapped.bytes(), m + 17),
                   y = lkm::read<uint32_t>(swapped.bytes(), m + 51);
    swapped.pe.u32(m + 17, y).u32(m + 51, x);
    EXPECT_EQ(none, inspectFailure(swapped.image()));

    EngineImage twice = makeEngineImage();
    twice.copy(m, 65, twice.places.spareCode);
    EXPECT_EQ("Engine recognition failed: GUI mouse coordinate mapping has 2 matches.",
              inspectFailure(twice.image()));
}

TEST(InspectGuiMouse, MultiplierOutsideTheModuleFails) {
    EngineImage engine = makeEngineImage();
    engine.pe.u32(engine.places.mouseMapping + 43, 0xFFFFFFF0u);
    EXPECT_EQ("Engine pointer is outside the main module.", inspectFailure(engine.image()));
}

struct MouseCase {
    const char* name;
    float horizontal, vertical;
    bool agrees;
};

class InspectGuiMouseTolerance : public testing::TestWithParam<MouseCase> {};

TEST_P(InspectGuiMouseTolerance, MultipliersWithinAHundredthOfTheScales) {
    EngineConfig config;
    config.mouseHorizontalScale = GetParam().horizontal;
    config.mouseVerticalScale = GetParam().vertical;
    EXPECT_EQ(GetParam().agrees ? "" : "Mouse and drawing dimensions disagree.",
              inspectFailure(makeEngineImage(config).image()));
}

INSTANTIATE_TEST_SUITE_P(Multipliers, InspectGuiMouseTolerance,
                         testing::Values(MouseCase{"stock", 1024.0f, 768.0f, true},
                                         MouseCase{"horizontalJustAbove", 1024.005f, 768.0f, true},
                                         MouseCase{"horizontalJustBelow", 1023.995f, 768.0f, true},
                                         MouseCase{"horizontalAbove", 1024.02f, 768.0f, false},
                                         MouseCase{"horizontalJustPastAHundredth", 1024.012f, 768.0f, false},
                                         MouseCase{"horizontalBelow", 1023.98f, 768.0f, false},
                                         MouseCase{"verticalJustAbove", 1024.0f, 768.005f, true},
                                         MouseCase{"verticalAbove", 1024.0f, 768.02f, false},
                                         MouseCase{"verticalJustPastAHundredth", 1024.0f, 767.988f, false},
                                         MouseCase{"verticalBelow", 1024.0f, 767.98f, false},
                                         MouseCase{"swapped", 768.0f, 1024.0f, false}),
                         [](const testing::TestParamInfo<MouseCase>& test) { return test.param.name; });
