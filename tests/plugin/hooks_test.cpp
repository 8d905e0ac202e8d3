#include "hooks.hpp"

#include <cstring>
#include <gtest/gtest.h>
#include <set>

#include "globals.hpp"
#include "low_memory.hpp"

namespace {

// A stand-in for the engine's setters: records its call, stores the value into
// the object as the engine does (float, integer, bool) and returns `succeed`.
struct Call {
    int setter = -1;
    void* object = nullptr;
    void* passThrough = nullptr;
    unsigned value = 0;
};
Call lastCall;
bool succeed = true;

template <int K>
bool LKM_FASTCALL engineSetter(void* object, void* passThrough, unsigned value) {
    lastCall = {K, object, passThrough, value};
    // The CVar object's value fields (+20, +24) restated on purpose, as an independent check.
    uint8_t* const fields = static_cast<uint8_t*>(object);
    const float f = float(value);
    const int32_t i = int32_t(value);
    std::memcpy(fields + 20, &f, 4);
    std::memcpy(fields + 24, &i, 4);
    fields[28] = value != 0;
    return succeed;
}

class Hooks : public ::testing::Test {
protected:
    void SetUp() override {
        lkm::plugin::originalSetters = {&engineSetter<0>, &engineSetter<1>, &engineSetter<2>,
                                        &engineSetter<3>, &engineSetter<4>};
        lastCall = {};
        succeed = true;
        lkm::plugin::active = false;
        lkm::plugin::enforced = {};
        if (memory.bytes()) {
            lkm::plugin::enforced.xresCvar = memory.address(0);
            lkm::plugin::enforced.fovCvar = memory.address(112);
        }
        lkm::plugin::enforced.resolutionX = 1920;
        lkm::plugin::enforced.resolutionY = 1080;
        lkm::plugin::enforced.forcedBaseFov = 0;
        lkm::plugin::enforced.defaultFocal = 90;
        lkm::plugin::enforced.focalFactor = double(4.0f / 3.0f) / (1920.0 / 1080.0);
    }
    void TearDown() override {
        lkm::plugin::originalSetters = {};
        lkm::plugin::active = false;
        lkm::plugin::enforced = {};
        lkm::plugin::enforced.focalFactor = 1.0;
    }

    float storedFloat(std::size_t offset) {
        float value;
        std::memcpy(&value, memory.bytes() + offset + 20, 4);
        return value;
    }

    lkm::plugin::test::LowMemory memory{4096};
};

TEST_F(Hooks, EachReplacementCallsItsOwnSetterWithTheSameArgumentsAndResult) {
    alignas(4) uint8_t object[112] = {};
    int passThrough = 0;
    for (bool result : {true, false}) {
        succeed = result;
        for (int k = 0; k < 5; ++k) {
            SCOPED_TRACE(k);
            lastCall = {};
            const unsigned value = 0x80000000u + unsigned(k);
            EXPECT_EQ(lkm::plugin::hooks[static_cast<std::size_t>(k)](object, &passThrough, value), result);
            EXPECT_EQ(lastCall.setter, k);
            EXPECT_EQ(lastCall.object, object);
            EXPECT_EQ(lastCall.passThrough, &passThrough);
            EXPECT_EQ(lastCall.value, value);
        }
    }
}

TEST_F(Hooks, HookAddressesAreTheFiveDistinctReplacements) {
    const std::array<uint32_t, 5> addresses = lkm::plugin::hookAddresses();
    EXPECT_EQ(std::set<uint32_t>(addresses.begin(), addresses.end()).size(), 5u);
    for (std::size_t k = 0; k < 5; ++k)
        EXPECT_EQ(addresses[k], uint32_t(reinterpret_cast<uintptr_t>(lkm::plugin::hooks[k])));
}

TEST_F(Hooks, SuccessfulSetIsFollowedByEnforcement) {
    if (!memory.bytes()) GTEST_SKIP() << "no low memory for CVar objects";
    lkm::plugin::active = true;
    EXPECT_TRUE(lkm::plugin::hooks[2](memory.bytes(), nullptr, 800));
    EXPECT_EQ(storedFloat(0), 1920.0f);
    // The same game value twice gives the same result twice.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_TRUE(lkm::plugin::hooks[4](memory.bytes() + 112, nullptr, 90));
        EXPECT_EQ(storedFloat(112), 67.5f);
    }
}

TEST_F(Hooks, FailedSetOrInactivePluginLeavesWhatTheSetterStored) {
    if (!memory.bytes()) GTEST_SKIP() << "no low memory for CVar objects";
    lkm::plugin::active = true;
    succeed = false;
    EXPECT_FALSE(lkm::plugin::hooks[0](memory.bytes(), nullptr, 800));
    EXPECT_EQ(storedFloat(0), 800.0f);

    lkm::plugin::active = false;
    succeed = true;
    EXPECT_TRUE(lkm::plugin::hooks[1](memory.bytes(), nullptr, 640));
    EXPECT_EQ(storedFloat(0), 640.0f);
}

} // namespace
