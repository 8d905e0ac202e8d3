#include "enforce.hpp"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

#include "globals.hpp"
#include "low_memory.hpp"

namespace {

using lkm::plugin::Cvar;

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr int32_t intMax = std::numeric_limits<int32_t>::max();
constexpr int32_t intMin = std::numeric_limits<int32_t>::min();

// Game addresses of the four CVars as recognition reports them.
constexpr uint32_t xres = 0x00C01000, yres = 0x00C01070, fullscreen = 0x00C010E0, fov = 0x00C01150;

uint32_t bits(float value) {
    uint32_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

// The globals the start-up leaves behind for a target resolution, stock camera aspect.
void configure(int32_t width, int32_t height, int32_t windowed, int32_t baseFov, int32_t defaultFocal = 90,
               float aspect = 4.0f / 3.0f) {
    lkm::plugin::enforced.resolutionX = width;
    lkm::plugin::enforced.resolutionY = height;
    lkm::plugin::enforced.windowed = windowed;
    lkm::plugin::enforced.forcedBaseFov = baseFov;
    lkm::plugin::enforced.defaultFocal = defaultFocal;
    lkm::plugin::enforced.focalFactor = double(aspect) / (double(width) / double(height));
}

class EnforceGlobals : public ::testing::Test {
protected:
    void SetUp() override {
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.xresCvar = xres;
        lkm::plugin::enforced.yresCvar = yres;
        lkm::plugin::enforced.fullscreenCvar = fullscreen;
        lkm::plugin::enforced.fovCvar = fov;
    }
    void TearDown() override {
        lkm::plugin::lastWrittenFov = lkm::plugin::noFovWritten;
        lkm::plugin::active = false;
        lkm::plugin::enforced = {};
        configure(0, 1, 0, 0, 0);
        lkm::plugin::enforced.focalFactor = 1.0;
    }
};

using EnforcedValue = EnforceGlobals;

TEST_F(EnforcedValue, ObjectsAreKnownByTheirAddress) {
    EXPECT_EQ(lkm::plugin::enforcedCvar(xres), Cvar::xres);
    EXPECT_EQ(lkm::plugin::enforcedCvar(yres), Cvar::yres);
    EXPECT_EQ(lkm::plugin::enforcedCvar(fullscreen), Cvar::fullscreen);
    EXPECT_EQ(lkm::plugin::enforcedCvar(fov), Cvar::fov);
    for (uint32_t other : {xres + 1, xres - 20, fov + 20, 0x00400000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(other);
        EXPECT_EQ(lkm::plugin::enforcedCvar(other), Cvar::none);
    }
}

TEST_F(EnforcedValue, AddressZeroIsNeverACvar) {
    lkm::plugin::enforced.fovCvar = 0; // not found, as in an empty layout
    EXPECT_EQ(lkm::plugin::enforcedCvar(0), Cvar::none);
}

TEST_F(EnforcedValue, ConfiguredValuesForEveryCvar) {
    struct Case {
        const char* what;
        Cvar cvar;
        int32_t width, height, windowed, baseFov;
        float current;
        float value;
        int32_t integer;
    };
    const Case cases[] = {
        {"r_xres set to 800", Cvar::xres, 1920, 1080, 0, 0, 800.0f, 1920.0f, 1920},
        {"r_yres set to 600", Cvar::yres, 1920, 1080, 0, 0, 600.0f, 1080.0f, 1080},
        {"r_fullscreen 1, windowed", Cvar::fullscreen, 1920, 1080, 1, 0, 1.0f, 0.0f, 0},
        {"r_fullscreen 0, fullscreen", Cvar::fullscreen, 1920, 1080, 0, 0, 0.0f, 1.0f, 1},
        {"r_fullscreen 1, fullscreen", Cvar::fullscreen, 1920, 1080, 0, 0, 1.0f, 1.0f, 1},
        {"r_fov 90 at 16:9", Cvar::fov, 1920, 1080, 0, 0, 90.0f, 67.5f, 67},
        {"r_fov 90 at 21:9", Cvar::fov, 2560, 1080, 0, 0, 90.0f, 50.625f, 50},
        {"r_fov 90 at 4:3", Cvar::fov, 1024, 768, 0, 0, 90.0f, 90.0f, 90},
        {"r_fov 90 at 5:4, wider than it is tall by less", Cvar::fov, 1280, 1024, 0, 0, 90.0f, 96.0f, 96},
        {"BaseFOV 90 at 4:3", Cvar::fov, 1024, 768, 0, 90, 90.0f, 90.0f, 90},
        {"BaseFOV 75 at 16:9", Cvar::fov, 1920, 1080, 0, 75, 90.0f, 56.25f, 56},
        {"BaseFOV 75 ignores what the game set", Cvar::fov, 1920, 1080, 0, 75, -3.0f, 56.25f, 56},
        {"BaseFOV 75 ignores a NaN", Cvar::fov, 1920, 1080, 0, 75, nan, 56.25f, 56},
        {"r_fov 0 takes the default", Cvar::fov, 1920, 1080, 0, 0, 0.0f, 67.5f, 67},
        {"r_fov -0 takes the default", Cvar::fov, 1920, 1080, 0, 0, -0.0f, 67.5f, 67},
        {"r_fov negative takes the default", Cvar::fov, 1920, 1080, 0, 0, -90.0f, 67.5f, 67},
        {"r_fov infinite takes the default", Cvar::fov, 1920, 1080, 0, 0, inf, 67.5f, 67},
        {"r_fov -infinite takes the default", Cvar::fov, 1920, 1080, 0, 0, -inf, 67.5f, 67},
        {"r_fov NaN takes the default", Cvar::fov, 1920, 1080, 0, 0, nan, 67.5f, 67},
        {"r_fov tiny but positive is kept", Cvar::fov, 1024, 768, 0, 0, 1e-30f, 1e-30f, 0},
        {"r_fov 3e38, factor 1", Cvar::fov, 1024, 768, 0, 0, 3e38f, 3e38f, intMax},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        configure(c.width, c.height, c.windowed, c.baseFov);
        const float value = lkm::plugin::enforcedValue(c.cvar, c.current);
        EXPECT_EQ(bits(value), bits(c.value)) << value;
        EXPECT_EQ(lkm::plugin::truncateSaturating(value), c.integer);
    }
}

TEST_F(EnforcedValue, FieldOfViewOf90At16By9Is0x42870000) {
    configure(1920, 1080, 0, 0);
    EXPECT_EQ(bits(lkm::plugin::enforcedValue(Cvar::fov, 90.0f)), 0x42870000u);
}

TEST_F(EnforcedValue, DefaultFovIsScaledByTheCameraAspectFound) {
    // An executable patched earlier to 16:9: the factor comes from that aspect.
    configure(1920, 1080, 0, 0, 75, 16.0f / 9.0f);
    EXPECT_FLOAT_EQ(lkm::plugin::enforcedValue(Cvar::fov, nan), 75.0f);
    EXPECT_FLOAT_EQ(lkm::plugin::enforcedValue(Cvar::fov, 90.0f), 90.0f);
}

TEST_F(EnforcedValue, FovBeyondTheFloatRangeBecomesInfinityThenTheDefault) {
    configure(1024, 768, 0, 0);
    lkm::plugin::enforced.focalFactor = 2.0;
    const float value = lkm::plugin::enforcedValue(Cvar::fov, 3e38f);
    EXPECT_EQ(value, inf);
    EXPECT_EQ(lkm::plugin::truncateSaturating(value), intMax);
    // The next set of the same CVar reads the infinity back and falls back to the default.
    EXPECT_FLOAT_EQ(lkm::plugin::enforcedValue(Cvar::fov, value), 180.0f);
    lkm::plugin::enforced.focalFactor = -2.0;
    EXPECT_EQ(lkm::plugin::enforcedValue(Cvar::fov, 3e38f), -inf);
}

TEST_F(EnforcedValue, UnknownObjectKeepsItsValue) {
    configure(1920, 1080, 0, 0);
    EXPECT_EQ(bits(lkm::plugin::enforcedValue(Cvar::none, 12.5f)), bits(12.5f));
}

TEST(TruncateSaturating, DefinedForEveryFloat) {
    struct Case {
        float value;
        int32_t integer;
    };
    const Case cases[] = {
        {0.0f, 0},
        {-0.0f, 0},
        {0.999f, 0},
        {-0.999f, 0},
        {67.5f, 67},
        {-67.5f, -67},
        {1920.0f, 1920},
        {2147483520.0f, 2147483520}, // largest float below 2^31
        {2147483648.0f, intMax},     // 2^31
        {3e38f, intMax},
        {inf, intMax},
        {-2147483648.0f, intMin}, // -2^31, exact
        {-2147483904.0f, intMin}, // next float below
        {-3e38f, intMin},
        {-inf, intMin},
        {nan, 0},
        {-nan, 0},
        {std::numeric_limits<float>::signaling_NaN(), 0},
        {std::numeric_limits<float>::denorm_min(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(lkm::plugin::truncateSaturating(c.value), c.integer);
    }
}

// The stores themselves, on CVar objects that lie below 4 GiB. The object's
// length and value fields (+20, +24, +28) are restated on purpose, as an independent check.
class Enforce : public EnforceGlobals {
protected:
    static constexpr std::size_t objectSize = 112;

    void SetUp() override {
        if (!memory.bytes()) GTEST_SKIP() << "no low memory for CVar objects";
        std::memset(memory.bytes(), 0xAB, 5 * objectSize);
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.xresCvar = memory.address(0 * objectSize);
        lkm::plugin::enforced.yresCvar = memory.address(1 * objectSize);
        lkm::plugin::enforced.fullscreenCvar = memory.address(2 * objectSize);
        lkm::plugin::enforced.fovCvar = memory.address(3 * objectSize);
        configure(1920, 1080, 1, 0);
        lkm::plugin::active = true;
    }

    uint8_t* object(std::size_t index) { return memory.bytes() + index * objectSize; }
    void setFloat(std::size_t index, float value) { std::memcpy(object(index) + 20, &value, 4); }
    float storedFloat(std::size_t index) {
        float value;
        std::memcpy(&value, object(index) + 20, 4);
        return value;
    }
    int32_t storedInt(std::size_t index) {
        int32_t value;
        std::memcpy(&value, object(index) + 24, 4);
        return value;
    }

    lkm::plugin::test::LowMemory memory{4096};
};

TEST_F(Enforce, WritesFloatIntegerAndBoolAndNothingElse) {
    setFloat(3, 90.0f);
    for (std::size_t i = 0; i < 4; ++i) lkm::plugin::enforce(object(i));

    const struct {
        float value;
        int32_t integer;
        uint8_t truth;
    } expected[] = {{1920.0f, 1920, 1}, {1080.0f, 1080, 1}, {0.0f, 0, 0}, {67.5f, 67, 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(bits(storedFloat(i)), bits(expected[i].value));
        EXPECT_EQ(storedInt(i), expected[i].integer);
        EXPECT_EQ(object(i)[28], expected[i].truth);
        for (std::size_t b = 0; b < objectSize; ++b) {
            if (b >= 20 && b <= 28) continue;
            EXPECT_EQ(object(i)[b], 0xAB) << "byte " << b;
        }
    }
}

// The game reads r_fov back and sets it again: what enforce wrote stays, while
// the game's own values, and values that merely look alike, are scaled.
TEST_F(Enforce, FovReadBackIsWrittenAgainNotScaledAgain) {
    const struct Step {
        const char* what;
        float set;      // what the engine's setter stored
        float expected; // what enforce leaves
    } steps[] = {
        {"the game's 90", 90.0f, 67.5f},
        {"read back", 67.5f, 67.5f},
        {"read back again", 67.5f, 67.5f},
        {"and a third time", 67.5f, 67.5f},
        {"the game's 90 again", 90.0f, 67.5f},
        {"the game's 80", 80.0f, 60.0f},
        {"67.5, not written last", 67.5f, 50.625f},
        {"60 is no longer the last", 60.0f, 45.0f},
    };
    configure(1920, 1080, 0, 0);
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        setFloat(3, step.set);
        lkm::plugin::enforce(object(3));
        EXPECT_EQ(bits(storedFloat(3)), bits(step.expected));
        EXPECT_EQ(storedInt(3), int32_t(step.expected));
    }
}

TEST_F(Enforce, FovReadBackNeedsTheExactBitsAndNoBaseFov) {
    configure(1920, 1080, 0, 0);
    setFloat(3, 90.0f);
    lkm::plugin::enforce(object(3)); // 67.5 written
    setFloat(3, std::nextafter(67.5f, 0.0f));
    lkm::plugin::enforce(object(3));
    EXPECT_FLOAT_EQ(storedFloat(3), std::nextafter(67.5f, 0.0f) * 0.75f);

    configure(1920, 1080, 0, 75); // BaseFOV: the game's value never counts
    lkm::plugin::enforce(object(3));
    setFloat(3, storedFloat(3));
    lkm::plugin::enforce(object(3));
    EXPECT_EQ(bits(storedFloat(3)), bits(56.25f));

    lkm::plugin::lastWrittenFov =
        lkm::plugin::noFovWritten; // nothing written yet: a stored NaN of that pattern is no read-back
    configure(1920, 1080, 0, 0);
    const uint32_t sentinel = lkm::plugin::noFovWritten;
    std::memcpy(object(3) + 20, &sentinel, 4);
    lkm::plugin::enforce(object(3));
    EXPECT_EQ(bits(storedFloat(3)), bits(67.5f));
}

TEST_F(Enforce, SaturatesTheIntegerOfAHugeFov) {
    configure(1024, 768, 0, 0);
    lkm::plugin::enforced.focalFactor = 1.0;
    setFloat(3, 3e38f);
    lkm::plugin::enforce(object(3));
    EXPECT_EQ(bits(storedFloat(3)), bits(3e38f));
    EXPECT_EQ(storedInt(3), intMax);
    EXPECT_EQ(object(3)[28], 1);
}

TEST_F(Enforce, LeavesUnknownObjectsAndInactiveStateAlone) {
    const std::vector<uint8_t> before(object(0), object(5));
    lkm::plugin::enforce(object(4));     // a fifth CVar the plug-in does not control
    lkm::plugin::enforce(object(0) + 4); // inside a known object, not at its start
    lkm::plugin::enforce(nullptr);
    EXPECT_EQ(std::vector<uint8_t>(object(0), object(5)), before);

    lkm::plugin::active = false;
    for (std::size_t i = 0; i < 4; ++i) lkm::plugin::enforce(object(i));
    EXPECT_EQ(std::vector<uint8_t>(object(0), object(5)), before);
}

TEST_F(Enforce, PointerAbove4GiBIsNeverACvar) {
    if (sizeof(void*) == 4) GTEST_SKIP() << "every pointer is a game address here";
    // An object whose low 32 bits equal a CVar address but which lies elsewhere.
    alignas(8) static uint8_t high[112];
    const uintptr_t highAddress = reinterpret_cast<uintptr_t>(high);
    if (highAddress <= 0xFFFFFFFFu) GTEST_SKIP() << "static data below 4 GiB";
    lkm::plugin::enforced.xresCvar = static_cast<uint32_t>(highAddress);
    std::memset(high, 0xAB, sizeof high);
    lkm::plugin::enforce(high);
    EXPECT_EQ(high[20], 0xAB);
    EXPECT_EQ(high[28], 0xAB);
}

} // namespace
