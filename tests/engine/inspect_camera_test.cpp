// Step 1: the camera projection site, told apart from look-alikes by the import
// its call reaches, and the aspect it pushes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"
#include "lkm/signatures.hpp"

using namespace lkm::test;

namespace {
const char* const noCamera = "Engine recognition failed: main camera projection has 0 matches.";

// A second camera site in the spare code whose call reaches `thunk`.
void addCameraSite(EngineImage& engine, uint32_t at, uint32_t thunk) {
    engine.copy(engine.places.cameraSite, 47, at);
    engine.pe.branch(at + 27, 0xE8, engine.address(thunk));
}
} // namespace

TEST(InspectCamera, FindsTheSiteThatCallsThePerspectiveImport) {
    const EngineImage engine = makeEngineImage(); // carries a look-alike that calls another import
    const lkm::Layout layout = lkm::inspect(engine.image());
    EXPECT_EQ(engine.places.cameraSite + 6, layout.aspectOperand);
    EXPECT_EQ(stockAspectBits, bitsOfFloat(layout.aspect));
}

TEST(InspectCamera, SiteCallingAnotherImportIsSkipped) {
    EngineImage engine = makeEngineImage();
    engine.pe.branch(engine.places.cameraSite + 27, 0xE8, engine.address(engine.places.otherThunk));
    EXPECT_EQ(noCamera, inspectFailure(engine.image()));
}

TEST(InspectCamera, TwoSitesCallingThePerspectiveImportAreAmbiguous) {
    EngineImage engine = makeEngineImage();
    addCameraSite(engine, engine.places.spareCode, engine.places.perspectiveThunk);
    EXPECT_EQ("Engine recognition failed: main camera projection has 2 matches.",
              inspectFailure(engine.image()));
}

TEST(InspectCamera, SameMatchReportedTwiceCountsOnce) {
    EngineImage engine = makeEngineImage();
    // A second executable section over the camera code: every match there is reported twice.
    engine.pe.section(".text2", engine.places.cameraSite & ~0xFFFu, 0x1000, codeSection);
    const lkm::Image image = engine.image();
    ASSERT_EQ(4u, image.find("A1 ?? ?? ?? ?? 68 ?? ?? ?? ?? 8D 4C 24").size());
    EXPECT_EQ(engine.places.cameraSite + 6, lkm::inspect(image).aspectOperand);
}

TEST(InspectCamera, CallThroughSomethingOtherThanAnIndirectJumpIsSkipped) {
    EngineImage engine = makeEngineImage();
    engine.pe.bytes(engine.places.perspectiveThunk, {0xFF, 0x15}); // call dword ptr [slot]
    EXPECT_EQ(noCamera, inspectFailure(engine.image()));
}

TEST(InspectCamera, LookAlikesThatFaultAreSkippedAndTheSiteIsStillFound) {
    EngineImage engine = makeEngineImage();
    const EnginePlaces& p = engine.places;
    // call below the image base
    engine.pe.u32(p.decoyCameraSite + 28,
                  uint32_t(0 - (engine.address(p.decoyCameraSite + 27) + 5)) + 0x1000);
    // a thunk in the last bytes of the image whose slot operand runs past the end
    addCameraSite(engine, p.spareCode, 0);
    engine.pe.bytes(p.size - 3, {0xFF, 0x25, 0x00});
    engine.pe.branch(p.spareCode + 27, 0xE8, engine.address(p.size - 3));
    // a call beyond the end of the image
    addCameraSite(engine, p.spareCode + 0x40, 0);
    engine.pe.u32(p.spareCode + 0x40 + 28, 0x10000000u);
    // a slot that is no import at all
    addCameraSite(engine, p.spareCode + 0x80, 0);
    engine.pe.bytes(p.spareCode + 0xC0, {0xFF, 0x25}).u32(p.spareCode + 0xC2, engine.address(p.data));
    engine.pe.branch(p.spareCode + 0x80 + 27, 0xE8, engine.address(p.spareCode + 0xC0));

    const lkm::Image image = engine.image();
    ASSERT_EQ(5u, image.find(lkm::signature::cameraProjection.text).size());
    EXPECT_EQ(p.cameraSite + 6, lkm::inspect(image).aspectOperand);
}

struct ImportCase {
    const char* name;
    const char* import;
    bool found;
};

class InspectCameraImport : public testing::TestWithParam<ImportCase> {};

TEST_P(InspectCameraImport, ImportNameMustContainThePerspectiveMethod) {
    EngineConfig config;
    config.perspectiveImport = GetParam().import;
    const std::string failure = inspectFailure(makeEngineImage(config).image());
    EXPECT_EQ(GetParam().found ? "" : noCamera, failure);
}

INSTANTIATE_TEST_SUITE_P(
    Names, InspectCameraImport,
    testing::Values(ImportCase{"decorated", "?PerspectiveToAngles@VisRenderer_cl@@QBEXMMAAM0@Z", true},
                    ImportCase{"bare", "PerspectiveToAngles@VisRenderer_cl", true},
                    ImportCase{"prefixOnly", "_PerspectiveToAngles@VisRenderer_cl", true},
                    ImportCase{"classMissing", "?PerspectiveToAngles@@QBEXMMAAM0@Z", false},
                    ImportCase{"truncated", "PerspectiveToAngles@VisRenderer_c", false},
                    ImportCase{"otherCase", "perspectivetoangles@visrenderer_cl", false}),
    [](const testing::TestParamInfo<ImportCase>& test) { return test.param.name; });

struct AspectCase {
    const char* name;
    float aspect;
    bool accepted;
};

class InspectCameraAspect : public testing::TestWithParam<AspectCase> {};

TEST_P(InspectCameraAspect, AspectMustBeFiniteAndPositive) {
    EngineConfig config;
    config.aspect = GetParam().aspect;
    const EngineImage engine = makeEngineImage(config);
    if (!GetParam().accepted) {
        EXPECT_EQ("Invalid camera aspect.", inspectFailure(engine.image()));
        return;
    }
    const lkm::Image image = engine.image();
    const lkm::Layout layout = lkm::inspect(image);
    EXPECT_EQ(bitsOfFloat(GetParam().aspect), bitsOfFloat(layout.aspect));
    EXPECT_EQ(stockAspectBits, lkm::read<uint32_t>(normalizedBytes(image, layout), layout.aspectOperand));
}

INSTANTIATE_TEST_SUITE_P(
    Values, InspectCameraAspect,
    testing::Values(AspectCase{"stock", 4.0f / 3.0f, true}, AspectCase{"wide", 16.0f / 9.0f, true},
                    AspectCase{"tiny", std::numeric_limits<float>::denorm_min(), true},
                    AspectCase{"largest", std::numeric_limits<float>::max(), true},
                    AspectCase{"zero", 0.0f, false}, AspectCase{"negativeZero", -0.0f, false},
                    AspectCase{"negative", -16.0f / 9.0f, false},
                    AspectCase{"infinity", std::numeric_limits<float>::infinity(), false},
                    AspectCase{"negativeInfinity", -std::numeric_limits<float>::infinity(), false},
                    AspectCase{"nan", std::numeric_limits<float>::quiet_NaN(), false}),
    [](const testing::TestParamInfo<AspectCase>& test) { return test.param.name; });
