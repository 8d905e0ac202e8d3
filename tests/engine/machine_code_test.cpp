#include "lkm/machine_code.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;

TEST(MachineCode, GatewayRunsTheFirstInstructionThenJumpsBehindIt) {
    // Page 0x00A00000, setter 0x00401230: jump target 0x00401236, from 0x00A0000B.
    EXPECT_THAT(lkm::gatewayBytes(lkm::cvar::setterPrologue, 0x00A00000, 0x00401230),
                ElementsAre(0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xE9, 0x2B, 0x12, 0xA0, 0xFF));
}

TEST(MachineCode, GatewayCopiesTheGivenBytesAndCountsFromItsOwnAddress) {
    // Gateway 3 of the same page lies 48 bytes higher, so its rel32 is 48 smaller.
    const std::array<uint8_t, 6> first = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    EXPECT_THAT(lkm::gatewayBytes(first, 0x00A00030, 0x00401230),
                ElementsAre(0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0xE9, 0xFB, 0x11, 0xA0, 0xFF));
}

TEST(MachineCode, GatewayBelowTheSetterJumpsForward) {
    // 0x00401236 - (0x00100000 + 11) = 0x0030122B
    EXPECT_THAT(lkm::gatewayBytes(lkm::cvar::setterPrologue, 0x00100000, 0x00401230),
                ElementsAre(0x64, 0xA1, 0x00, 0x00, 0x00, 0x00, 0xE9, 0x2B, 0x12, 0x30, 0x00));
}

struct RedirectionCase {
    uint32_t setter;
    uint32_t hook;
    std::array<uint8_t, 4> rel32;
};

TEST(MachineCode, RedirectionJumpsToTheHookAndEndsWithNop) {
    const RedirectionCase cases[] = {
        {0x00401230, 0x10001000, {0xCB, 0xFD, 0xBF, 0x0F}}, // 0x10001000 - 0x00401235 = 0x0FBFFDCB
        {0x00401230, 0x00401235, {0x00, 0x00, 0x00, 0x00}}, // hook right behind the jump
        {0x00401230, 0x00400000, {0xCB, 0xED, 0xFF, 0xFF}}, // hook below the setter: wraps to 0xFFFFEDCB
        {0x7FFFFFF0, 0x00001000, {0x0B, 0x10, 0x00, 0x80}}, // 0x00001000 - 0x7FFFFFF5 = 0x8000100B
        {0xFFFFFFF0, 0x00000010, {0x1B, 0x00, 0x00, 0x00}}, // entry near the top, hook past the wrap
    };
    for (const RedirectionCase& c : cases) {
        SCOPED_TRACE(c.hook);
        EXPECT_THAT(lkm::redirectionBytes(c.setter, c.hook),
                    ElementsAre(0xE9, c.rel32[0], c.rel32[1], c.rel32[2], c.rel32[3], 0x90));
    }
}

} // namespace
