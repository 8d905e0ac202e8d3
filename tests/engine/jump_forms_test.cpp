// The jump forms hooking libraries write, decoded from live bytes only where
// every byte needed can be read; targets wrap modulo 2^32.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "live_memory.hpp"
#include "lkm/jump_forms.hpp"

namespace {

TEST(JumpForms, DecodesEachFormAndNothingElse) {
    struct Case {
        const char* name;
        uint32_t address;
        std::vector<uint8_t> bytes; // all that can be read there
        std::optional<uint32_t> target;
    };
    const Case cases[] = {
        {"E9 forward", 0x10000, {0xE9, 0x10, 0x00, 0x00, 0x00}, 0x10015},
        {"E9 backward below 0", 0x10000, {0xE9, 0x00, 0x00, 0xFE, 0xFF}, 0xFFFF0005},
        {"E9 forward past 2^32", 0xFFFFFF00, {0xE9, 0x00, 0x01, 0x00, 0x00}, 0x05},
        {"E9 cut short", 0x10000, {0xE9, 0x10, 0x00, 0x00}, std::nullopt},
        {"E9 ending past 2^32", 0xFFFFFFFC, {0xE9, 0x10, 0x00, 0x00}, std::nullopt},
        {"FF 25 through a readable cell", 0x10000, {0xFF, 0x25, 0x00, 0x00, 0x02, 0x00}, 0x12345678},
        {"FF 25 through an unreadable cell", 0x10000, {0xFF, 0x25, 0x00, 0x00, 0x03, 0x00}, std::nullopt},
        {"FF 25 cut short", 0x10000, {0xFF, 0x25, 0x00, 0x00, 0x02}, std::nullopt},
        {"FF 15 is a call", 0x10000, {0xFF, 0x15, 0x00, 0x00, 0x02, 0x00}, std::nullopt},
        {"68 C3", 0x10000, {0x68, 0x78, 0x56, 0x34, 0x12, 0xC3}, 0x12345678},
        {"68 without C3", 0x10000, {0x68, 0x78, 0x56, 0x34, 0x12, 0x90}, std::nullopt},
        {"68 cut before C3", 0x10000, {0x68, 0x78, 0x56, 0x34, 0x12}, std::nullopt},
        {"another opcode", 0x10000, {0xE8, 0x10, 0x00, 0x00, 0x00}, std::nullopt},
        {"nothing readable", 0x10000, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        lkm::test::LiveMemory live;
        live.map(0x20000, {0x78, 0x56, 0x34, 0x12}); // the cell FF 25 reads
        if (!c.bytes.empty()) live.map(c.address, c.bytes);
        EXPECT_EQ(lkm::jumpTarget(live, c.address), c.target) << c.name;
    }
}

} // namespace
