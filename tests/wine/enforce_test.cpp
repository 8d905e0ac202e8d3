// enforce inside a 32-bit process, where a CVar object's pointer is its game
// address: the four objects lie in a static buffer whose addresses go into the layout.
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "enforce.hpp"
#include "globals.hpp"

namespace {

constexpr std::size_t objectSize = 112;
alignas(16) uint8_t cvars[5 * objectSize]; // r_xres, r_yres, r_fullscreen, r_fov, another CVar

uint8_t* object(std::size_t index) {
    return cvars + index * objectSize;
}

uint32_t bits(float value) {
    uint32_t b;
    std::memcpy(&b, &value, sizeof b);
    return b;
}

class EnforceInProcess : public ::testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override {
        lkm::plugin::active = false;
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.focalFactor = 1.0;
    }
    static void reset() {
        std::memset(cvars, 0xAB, sizeof cvars);
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.xresCvar = uint32_t(reinterpret_cast<uintptr_t>(object(0)));
        lkm::plugin::enforced.yresCvar = uint32_t(reinterpret_cast<uintptr_t>(object(1)));
        lkm::plugin::enforced.fullscreenCvar = uint32_t(reinterpret_cast<uintptr_t>(object(2)));
        lkm::plugin::enforced.fovCvar = uint32_t(reinterpret_cast<uintptr_t>(object(3)));
        lkm::plugin::enforced.defaultFocal = 90;
        configure(1920, 1080, 0, 0);
        lkm::plugin::active = true;
    }
    static void configure(int32_t width, int32_t height, int32_t windowed, int32_t baseFov) {
        lkm::plugin::enforced.resolutionX = width;
        lkm::plugin::enforced.resolutionY = height;
        lkm::plugin::enforced.windowed = windowed;
        lkm::plugin::enforced.forcedBaseFov = baseFov;
        lkm::plugin::enforced.focalFactor = double(4.0f / 3.0f) / (double(width) / double(height));
    }
    // What the engine's setter leaves: the value three times.
    static void engineStores(std::size_t index, float value) {
        const int32_t integer = int32_t(value);
        std::memcpy(object(index) + 20, &value, 4);
        std::memcpy(object(index) + 24, &integer, 4);
        object(index)[28] = value != 0.0f;
    }
};

TEST_F(EnforceInProcess, StoresTheConfiguredValueThreeTimes) {
    struct Case {
        const char* what;
        std::size_t cvar;
        int32_t width, height, windowed, baseFov;
        float gameValue;
        uint32_t floatBits;
        int32_t integer;
        uint8_t truth;
    };
    const Case cases[] = {
        {"r_xres 800 at 1920x1080", 0, 1920, 1080, 0, 0, 800.0f, 0x44F00000, 1920, 1},
        {"r_yres 600 at 1920x1080", 1, 1920, 1080, 0, 0, 600.0f, 0x44870000, 1080, 1},
        {"r_fullscreen 1, windowed", 2, 1920, 1080, 1, 0, 1.0f, 0x00000000, 0, 0},
        {"r_fullscreen 0, fullscreen", 2, 1920, 1080, 0, 0, 0.0f, 0x3F800000, 1, 1},
        {"r_fov 90 at 16:9", 3, 1920, 1080, 0, 0, 90.0f, 0x42870000, 67, 1},
        {"r_fov 90 at 21:9", 3, 2560, 1080, 0, 0, 90.0f, 0x424A8000, 50, 1},
        {"BaseFOV 90 at 4:3", 3, 1024, 768, 0, 90, 90.0f, 0x42B40000, 90, 1},
        {"BaseFOV 75 at 16:9, game sets 120", 3, 1920, 1080, 0, 75, 120.0f, 0x42610000, 56, 1},
        {"r_fov 0 falls back to the default", 3, 1920, 1080, 0, 0, 0.0f, 0x42870000, 67, 1},
        {"r_fov 3e38 saturates the integer", 3, 1024, 768, 0, 0, 3e38f, bits(3e38f), 0x7FFFFFFF, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        reset();
        configure(c.width, c.height, c.windowed, c.baseFov);
        engineStores(c.cvar, c.gameValue);
        lkm::plugin::enforce(object(c.cvar));
        float value;
        int32_t integer;
        std::memcpy(&value, object(c.cvar) + 20, 4);
        std::memcpy(&integer, object(c.cvar) + 24, 4);
        EXPECT_EQ(bits(value), c.floatBits) << value;
        EXPECT_EQ(integer, c.integer);
        EXPECT_EQ(object(c.cvar)[28], c.truth);
        EXPECT_EQ(object(c.cvar)[29], 0xAB) << "byte after the bool";
        EXPECT_EQ(object(c.cvar)[19], 0xAB) << "byte before the float";
    }
}

TEST_F(EnforceInProcess, SameGameValueTwiceGivesTheSameResult) {
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        engineStores(3, 90.0f);
        lkm::plugin::enforce(object(3));
        float value;
        std::memcpy(&value, object(3) + 20, 4);
        EXPECT_EQ(bits(value), 0x42870000u);
    }
}

TEST_F(EnforceInProcess, OtherObjectsAndInactiveStateAreLeftAlone) {
    engineStores(4, 800.0f);
    engineStores(0, 800.0f);
    const std::vector<uint8_t> before(cvars, cvars + sizeof cvars);
    lkm::plugin::enforce(object(4));
    lkm::plugin::enforce(object(0) + 20); // the value field, not the object
    EXPECT_EQ(std::vector<uint8_t>(cvars, cvars + sizeof cvars), before);

    lkm::plugin::active = false;
    for (std::size_t i = 0; i < 4; ++i) lkm::plugin::enforce(object(i));
    EXPECT_EQ(std::vector<uint8_t>(cvars, cvars + sizeof cvars), before);
}

} // namespace
