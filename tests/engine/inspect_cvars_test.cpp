// Step 7 and lkm::cvarConstructor: the construction sites of r_xres, r_yres and
// r_fov, their objects and the default focal parameter.
#include <gtest/gtest.h>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

TEST(InspectCvars, FindsTheIntegerCvarsPastTheDecoys) {
    // The stock image also constructs r_xres into another object, r_xres2 into
    // the r_xres object, and a CVar whose name lies outside the module.
    const EngineImage engine = makeEngineImage();
    const lkm::Image image = engine.image();
    const EnginePlaces& p = engine.places;
    EXPECT_EQ(p.xresSite, lkm::cvarConstructor(image, "r_xres", engine.address(p.xresObject) + 20));
    EXPECT_EQ(p.yresSite, lkm::cvarConstructor(image, "r_yres", engine.address(p.yresObject) + 20));
    EXPECT_EQ(p.fovSite, lkm::cvarConstructor(image, "r_fov", engine.address(p.fovObject) + 20));
    EXPECT_EQ(p.otherXresSite, lkm::cvarConstructor(image, "r_xres", engine.address(p.data + 0x2C0) + 20));
    EXPECT_EQ(p.longerNameSite, lkm::cvarConstructor(image, "r_xres2", engine.address(p.xresObject) + 20));

    const lkm::Layout layout = lkm::inspect(image);
    EXPECT_EQ(engine.address(p.xresObject), layout.xresCvar);
    EXPECT_EQ(engine.address(p.yresObject), layout.yresCvar);
    EXPECT_EQ(engine.address(p.fovObject), layout.fovCvar);
    EXPECT_EQ(90, layout.defaultFocal);
}

TEST(InspectCvars, ConstructorMessagesNameTheCvar) {
    const EngineImage engine = makeEngineImage();
    const lkm::Image image = engine.image();
    const uint32_t xres = engine.address(engine.places.xresObject) + 20;
    auto failure = [&](const char* name, uint32_t value) {
        try {
            lkm::cvarConstructor(image, name, value);
            return std::string();
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
    };
    EXPECT_EQ("Engine recognition failed: r_xre has 0 matches.", failure("r_xre", xres));
    EXPECT_EQ("Engine recognition failed: r_xres has 0 matches.", failure("r_xres", xres + 4));
    EXPECT_EQ("Engine recognition failed: r_yres has 0 matches.", failure("r_yres", xres));

    EngineImage twice = makeEngineImage();
    twice.copy(twice.places.xresSite, 27, twice.places.spareCode);
    EXPECT_EQ("Engine recognition failed: r_xres has 2 matches.", inspectFailure(twice.image()));
    EngineImage none = makeEngineImage();
    none.pe.u32(none.places.fovSite + 13, none.address(none.places.xresName));
    EXPECT_EQ("Engine recognition failed: r_fov has 0 matches.", inspectFailure(none.image()));
}

TEST(InspectCvars, UnterminatedNameIsSkipped) {
    EngineImage engine = makeEngineImage();
    const EnginePlaces& p = engine.places;
    // 506 letters and "r_xres": the terminator comes one byte too late
    engine.pe.fill(p.spareCode, 506, 'x').text(p.spareCode + 506, "r_xres");
    engine.pe.u32(p.outsideNameSite + 13, engine.address(p.spareCode));
    EXPECT_EQ(p.xresSite, lkm::cvarConstructor(engine.image(), "r_xres", engine.address(p.xresObject) + 20));
    EXPECT_EQ("", inspectFailure(engine.image()));
}

TEST(InspectCvars, ConstructorsMustAgree) {
    EngineImage engine = makeEngineImage();
    engine.pe.branch(engine.places.fovSite + 22, 0xE8, engine.address(engine.places.booleanConstructor));
    EXPECT_EQ("CVar constructors disagree.", inspectFailure(engine.image()));
    EngineImage yres = makeEngineImage();
    yres.pe.branch(yres.places.yresSite + 22, 0xE8, yres.address(yres.places.booleanConstructor));
    EXPECT_EQ("CVar constructors disagree.", inspectFailure(yres.image()));
}

struct FocalCase {
    uint32_t focal;
    bool valid;
};

class InspectDefaultFocal : public testing::TestWithParam<FocalCase> {};

TEST_P(InspectDefaultFocal, DefaultFocalWithinOneTo9999) {
    EngineConfig config;
    config.focalDefault = GetParam().focal;
    const EngineImage engine = makeEngineImage(config);
    if (!GetParam().valid) {
        EXPECT_EQ("Invalid default focal parameter.", inspectFailure(engine.image()));
        return;
    }
    EXPECT_EQ(int32_t(GetParam().focal), lkm::inspect(engine.image()).defaultFocal);
}

INSTANTIATE_TEST_SUITE_P(Defaults, InspectDefaultFocal,
                         testing::Values(FocalCase{0, false}, FocalCase{1, true}, FocalCase{90, true},
                                         FocalCase{9999, true}, FocalCase{10000, false},
                                         FocalCase{0xFFFFFFFF, false}, FocalCase{0x80000000, false}));

struct ObjectCase {
    const char* name;
    uint32_t EngineConfig::*object;
    uint32_t offset; // from the start of .data (0x1000 bytes, writable)
    const char* failure;
};

class InspectCvarObject : public testing::TestWithParam<ObjectCase> {};

TEST_P(InspectCvarObject, ObjectLiesWhollyInOneWritableSection) {
    EngineConfig config;
    config.*GetParam().object = GetParam().offset;
    const EngineImage engine = makeEngineImage(config);
    EXPECT_EQ(GetParam().failure, inspectFailure(engine.image()));
}

const char* const outsideData = "CVar object is outside writable game data.";

INSTANTIATE_TEST_SUITE_P(
    Objects, InspectCvarObject,
    testing::Values(ObjectCase{"xresEndsAtSectionEnd", &EngineConfig::xresObject, 0x1000 - 112, ""},
                    ObjectCase{"xresOneBytePast", &EngineConfig::xresObject, 0x1000 - 111, outsideData},
                    ObjectCase{"yresEndsAtSectionEnd", &EngineConfig::yresObject, 0x1000 - 112, ""},
                    ObjectCase{"yresOneBytePast", &EngineConfig::yresObject, 0x1000 - 111, outsideData},
                    ObjectCase{"fovOneBytePast", &EngineConfig::fovObject, 0x1000 - 111, outsideData},
                    ObjectCase{"fovInReadOnlyData", &EngineConfig::fovObject, uint32_t(-0x800), outsideData},
                    ObjectCase{"fovOutsideTheModule", &EngineConfig::fovObject, 0x100000,
                               "Engine pointer is outside the main module."}),
    [](const testing::TestParamInfo<ObjectCase>& test) { return test.param.name; });
