// Step 3: the four GUI conversions in their windows, the constants they use,
// the moved vertical reciprocal of an earlier patch and the scale consistency.
#include <gtest/gtest.h>

#include <limits>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

namespace {
const char* const noFamily = "Engine recognition failed: GUI coordinate family has 0 matches.";
} // namespace

TEST(InspectGuiFamily, FindsTheConversionsAndTheirConstants) {
    const EngineImage engine = makeEngineImage(); // with a forward conversion 128 bytes after the first
    const lkm::Layout layout = lkm::inspect(engine.image());
    const EnginePlaces& p = engine.places;
    EXPECT_EQ(p.horizontalForward, layout.horizontalForward);
    EXPECT_EQ(p.verticalForward, layout.verticalForward);
    EXPECT_EQ(p.horizontalInverse, layout.horizontalInverse);
    EXPECT_EQ(p.verticalInverse, layout.verticalInverse);
    EXPECT_EQ(p.horizontalForward + 128, p.distantForward);
    EXPECT_EQ(engine.address(p.xresObject) + 20, layout.xresValue);
    EXPECT_EQ(engine.address(p.yresObject) + 20, layout.yresValue);
    EXPECT_EQ(p.horizontalScale, layout.horizontalScale);
    EXPECT_EQ(p.verticalScale, layout.verticalScale);
    EXPECT_EQ(p.horizontalReciprocal, layout.horizontalReciprocal);
    EXPECT_EQ(p.verticalReciprocal, layout.verticalReciprocal);
}

struct GapCase {
    const char* name;
    uint32_t verticalForward, horizontalInverse, verticalInverse;
    const char* failure;
};

class InspectGuiFamilyWindow : public testing::TestWithParam<GapCase> {};

TEST_P(InspectGuiFamilyWindow, EachConversionAtMost127BytesAfterThePrevious) {
    EngineConfig config;
    config.verticalForwardGap = GetParam().verticalForward;
    config.horizontalInverseGap = GetParam().horizontalInverse;
    config.verticalInverseGap = GetParam().verticalInverse;
    const EngineImage engine = makeEngineImage(config);
    const std::string failure = inspectFailure(engine.image());
    EXPECT_EQ(GetParam().failure, failure);
    if (failure.empty()) {
        EXPECT_EQ("", layoutDifferences(lkm::inspect(engine.image()), engine.expectedLayout()));
    }
}

INSTANTIATE_TEST_SUITE_P(Gaps, InspectGuiFamilyWindow,
                         testing::Values(GapCase{"verticalForward127", 127, 32, 32, ""},
                                         GapCase{"verticalForward128", 128, 32, 32, noFamily},
                                         GapCase{"horizontalInverse127", 32, 127, 32, ""},
                                         GapCase{"horizontalInverse128", 32, 128, 32, noFamily},
                                         GapCase{"verticalInverse127", 32, 32, 127, ""},
                                         GapCase{"verticalInverse128", 32, 32, 128, noFamily},
                                         GapCase{"all127", 127, 127, 127, ""}),
                         [](const testing::TestParamInfo<GapCase>& test) { return test.param.name; });

struct BodyCase {
    const char* name;
    int32_t distance; // initializer body less verticalInverse
    bool found;
};

class InspectGuiFamilyBody : public testing::TestWithParam<BodyCase> {};

TEST_P(InspectGuiFamilyBody, VerticalInverseAtMost65535BytesBeforeTheBody) {
    EngineConfig config;
    config.bodyDistance = GetParam().distance;
    const EngineImage engine = makeEngineImage(config);
    EXPECT_EQ(GetParam().found ? "" : noFamily, inspectFailure(engine.image()));
}

INSTANTIATE_TEST_SUITE_P(Distances, InspectGuiFamilyBody,
                         testing::Values(BodyCase{"near", 0x1200, true}, BodyCase{"at65535", 65535, true},
                                         BodyCase{"at65536", 65536, false},
                                         BodyCase{"before", -0x200, false}),
                         [](const testing::TestParamInfo<BodyCase>& test) { return test.param.name; });

TEST(InspectGuiFamily, TwoQualifyingHorizontalInversesYieldNoFamily) {
    EngineConfig config;
    config.verticalInverseGap = 64; // room for a copy between the inverse conversions
    EngineImage engine = makeEngineImage(config);
    engine.copy(engine.places.horizontalInverse, 17, engine.places.horizontalInverse + 32);
    EXPECT_EQ(noFamily, inspectFailure(engine.image()));
}

TEST(InspectGuiFamily, TwoQualifyingVerticalInversesYieldNoFamily) {
    EngineImage engine = makeEngineImage();
    engine.copy(engine.places.verticalInverse, 17, engine.places.verticalInverse + 0x40);
    EXPECT_EQ(noFamily, inspectFailure(engine.image()));
}

TEST(InspectGuiFamily, SecondForwardConversionInTheWindowIsAmbiguous) {
    EngineConfig config;
    config.verticalForwardGap = 64;
    EngineImage engine = makeEngineImage(config);
    engine.copy(engine.places.distantForward, 17, engine.places.horizontalForward + 32);
    EXPECT_EQ("Engine recognition failed: vertical forward conversion has 2 matches.",
              inspectFailure(engine.image()));
}

TEST(InspectGuiFamily, ConstantOutsideTheModuleFails) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    // the multiplier operands of the horizontal and vertical inverse, the horizontal and vertical forward
    for (uint32_t operand : {p.horizontalInverse + 12, p.verticalInverse + 12, p.horizontalForward + 12,
                             p.verticalForward + 12}) {
        for (uint32_t address : {0x00001000u, stock.address(p.size)}) {
            EngineImage engine = stock;
            engine.pe.u32(operand, address);
            EXPECT_EQ("Engine pointer is outside the main module.", inspectFailure(engine.image()))
                << std::hex << operand << " -> " << address;
        }
    }
}

struct ScaleCase {
    const char* name;
    float horizontalScale, horizontalReciprocal, verticalScale;
    bool consistent;
};

class InspectGuiScales : public testing::TestWithParam<ScaleCase> {};

TEST_P(InspectGuiScales, ScalesAndReciprocalsMustAgree) {
    const ScaleCase& c = GetParam();
    EngineConfig config;
    config.horizontalScale = config.mouseHorizontalScale = c.horizontalScale;
    config.horizontalReciprocal = c.horizontalReciprocal;
    config.verticalScale = config.mouseVerticalScale = c.verticalScale;
    const EngineImage engine = makeEngineImage(config);
    EXPECT_EQ(c.consistent ? "" : "Inconsistent GUI scales.", inspectFailure(engine.image()));
}

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Scales, InspectGuiScales,
    testing::Values(ScaleCase{"stock", 1024.0f, 1.0f / 1024, 768.0f, true},
                    ScaleCase{"wide1280", 1280.0f, 1.0f / 1280, 768.0f, true},
                    ScaleCase{"wide1280StockReciprocal", 1280.0f, 1.0f / 1024, 768.0f, false},
                    ScaleCase{"withinATenthPerMille", 1024.0f, 1.0f / 1023.5f, 768.0f, true},
                    ScaleCase{"offByATenthPercent", 1024.0f, 1.0f / 1022.9f, 768.0f, false},
                    ScaleCase{"zeroScale", 0.0f, 1.0f / 1024, 768.0f, false},
                    ScaleCase{"negativeScaleAndReciprocal", -1024.0f, -1.0f / 1024, 768.0f, false},
                    ScaleCase{"infiniteScale", inf, 0.0f, 768.0f, false},
                    ScaleCase{"nanScale", nan, 1.0f / 1024, 768.0f, false},
                    ScaleCase{"nanReciprocal", 1024.0f, nan, 768.0f, false},
                    ScaleCase{"verticalAgainstStockReciprocal", 1024.0f, 1.0f / 1024, 819.2f, false},
                    ScaleCase{"zeroVertical", 1024.0f, 1.0f / 1024, 0.0f, false},
                    ScaleCase{"infiniteVertical", 1024.0f, 1.0f / 1024, inf, false}),
    [](const testing::TestParamInfo<ScaleCase>& test) { return test.param.name; });

TEST(InspectGuiFamily, MovedReciprocalIsCheckedAgainstTheVerticalScale) {
    const EngineImage stock = makeEngineImage();
    const EngineImage patched = stock.earlierPatched({4.0f / 3.0f, 1024.0f, 819.2f});
    EXPECT_EQ("", inspectFailure(patched.image()));
    EngineImage wrong = patched;
    wrong.pe.f32(stock.places.reciprocalSpace, 1.0f / 768); // no longer 1/819.2
    EXPECT_EQ("Inconsistent GUI scales.", inspectFailure(wrong.image()));
}

TEST(InspectGuiFamily, MovedReciprocalFindsTheStockConstantOnce) {
    const EngineImage patched = makeEngineImage().earlierPatched();
    const EnginePlaces& p = patched.places;
    EXPECT_EQ(p.verticalReciprocal, lkm::inspect(patched.image()).verticalReciprocal);

    EngineImage twice = patched;
    twice.pe.u32(p.data + 0x7F0, stockHeightReciprocalBits);
    EXPECT_EQ("Engine recognition failed: original vertical reciprocal has 2 matches.",
              inspectFailure(twice.image()));

    EngineImage misaligned = patched;
    misaligned.pe.u32(p.verticalReciprocal, 0).u32(p.rdata + 0x35, stockHeightReciprocalBits);
    EXPECT_EQ("Engine recognition failed: original vertical reciprocal has 0 matches.",
              inspectFailure(misaligned.image()));

    // Code is not searched: the constant as an immediate in .text does not count.
    EngineImage inCode = patched;
    inCode.pe.u32(p.spareCode, stockHeightReciprocalBits);
    EXPECT_EQ(p.verticalReciprocal, lkm::inspect(inCode.image()).verticalReciprocal);
}
