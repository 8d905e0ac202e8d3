// The stand-in rival mods' portable part: the detours they compose and the
// places they find, on synthetic code.
#include "hook_code.hpp"
#include "targets.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace lkm::game::test {

namespace {

using ::testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t target = 0x00401000, trampoline = 0x00A00000, hook = 0x10001000;

struct DetourCase {
    const char* what;
    Bytes code; // at `target`
    Bytes entry;
    Bytes trampoline; // at `trampoline`
};

TEST(RivalDetour, DisplacesWholeInstructionsAndRelocatesJumps) {
    // jmp hook from the target: 0x10001000 - 0x00401005 = 0x0FBFFFFB. Back to
    // the target + 6 from the trampoline + 11: 0x00401006 - 0x00A0000B = 0xFFA00FFB.
    const DetourCase cases[] = {
        {"a setter's mov eax, fs:[0]",
         {0x64, 0xA1, 0, 0, 0, 0, 0x6A, 0xFF},
         {0xE9, 0xFB, 0xFF, 0xBF, 0x0F, 0x90},
         {0x64, 0xA1, 0, 0, 0, 0, 0xE9, 0xFB, 0x0F, 0xA0, 0xFF}},
        {"a GUI conversion's fld [abs32]",
         {0xD9, 0x05, 0x14, 0x30, 0x45, 0x00, 0xD8, 0x4C},
         {0xE9, 0xFB, 0xFF, 0xBF, 0x0F, 0x90},
         {0xD9, 0x05, 0x14, 0x30, 0x45, 0x00, 0xE9, 0xFB, 0x0F, 0xA0, 0xFF}},
        // The plug-in's jmp to 0x20002000 (rel32 0x1FC00FFB): the same
        // destination from the trampoline is 0x1F601FFB away; its 90 stays.
        {"another module's jmp",
         {0xE9, 0xFB, 0x0F, 0xC0, 0x1F, 0x90},
         {0xE9, 0xFB, 0xFF, 0xBF, 0x0F},
         {0xE9, 0xFB, 0x1F, 0x60, 0x1F}},
        // A jmp back by 10 behind a nop reaches 0x00400FFC: from the
        // trampoline + 6 that is 0xFFA00FF6, wrapping below zero.
        {"a backward jmp behind a nop",
         {0x90, 0xE9, 0xF6, 0xFF, 0xFF, 0xFF},
         {0xE9, 0xFB, 0xFF, 0xBF, 0x0F, 0x90},
         {0x90, 0xE9, 0xF6, 0x0F, 0xA0, 0xFF}},
    };
    for (const DetourCase& c : cases) {
        SCOPED_TRACE(c.what);
        const lkm::game::rival::Detour detour =
            lkm::game::rival::detour(c.code.data(), c.code.size(), target, trampoline, hook);
        EXPECT_THAT(detour.entry, ElementsAreArray(c.entry));
        EXPECT_THAT(detour.trampoline, ElementsAreArray(c.trampoline));
    }
}

TEST(RivalDetour, RefusesWhatItCannotDisplace) {
    const struct {
        Bytes code;
        const char* sentence;
    } cases[] = {
        {{0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x20}, "Unsupported instruction at the hook's target."},
        {{0x90, 0x90, 0xEB, 0x10, 0x90, 0x90}, "Unsupported instruction at the hook's target."},
        {{0x64, 0xA1, 0x00, 0x00, 0x00}, "The hook's target ends inside an instruction."},
        {{0x90, 0x90, 0x90, 0x64}, "The hook's target ends inside an instruction."},
        {{0x90, 0x90, 0x90, 0x90}, "The hook's target ends inside an instruction."},
    };
    for (const auto& c : cases) {
        try {
            lkm::game::rival::detour(c.code.data(), c.code.size(), target, trampoline, hook);
            ADD_FAILURE() << c.sentence;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), c.sentence);
        }
    }
}

// A setter: its 6-byte first instruction, the rest of the exception prologue
// (handler 0x00401F00), the frame, the body.
Bytes setter(const Bytes& first, const Bytes& frame, uint8_t lockBit = 0x01) {
    Bytes code = first;
    code.insert(code.end(), {0x6A, 0xFF, 0x68, 0x00, 0x1F, 0x40, 0x00, 0x50, 0x64, 0x89, 0x25, 0, 0, 0, 0});
    code.insert(code.end(), frame.begin(), frame.end());
    code.insert(code.end(), {0x56, 0x8B, 0xF1, 0xF6, 0x46, 0x06, lockBit});
    return code;
}

// A camera projection site pushing the float with these bytes.
Bytes projection(const Bytes& aspect) {
    Bytes code = {0xA1, 0, 0, 0, 0, 0x68};
    code.insert(code.end(), aspect.begin(), aspect.end());
    code.insert(code.end(), {0x8D, 0x4C, 0x24, 0x0C, 0x51, 0x8B, 0x0D, 0,    0,    0,    0,
                             0x8D, 0x54, 0x24, 0x0C, 0x52, 0x50, 0xE8, 0,    0,    0,    0,
                             0x8B, 0x4C, 0x24, 0x08, 0x8B, 0x54, 0x24, 0x04, 0x51, 0x52, 0xE8});
    return code;
}

Bytes join(const std::vector<Bytes>& parts) {
    Bytes code;
    for (const Bytes& part : parts) code.insert(code.end(), part.begin(), part.end());
    return code;
}

const Bytes stockEntry = {0x64, 0xA1, 0, 0, 0, 0}, hookedEntry = {0xE9, 1, 2, 3, 4, 0x90};
const Bytes frame20 = {0x83, 0xEC, 0x20}, frame60 = {0x83, 0xEC, 0x60};

TEST(RivalTargets, TheFirstSetterWithTheFrameHookedOrNot) {
    // Skipped: a frame of 20h, a body testing another bit; found: the first
    // of two with frame 60h, in the second range, behind another module's jmp.
    const Bytes first = join({setter(stockEntry, frame20), setter(stockEntry, frame60, 0x02)});
    const Bytes second = join({{0xCC}, setter(hookedEntry, frame60), setter(stockEntry, frame60)});
    const lkm::game::rival::Place found = lkm::game::rival::firstSetter(
        {{first.data(), first.size()}, {second.data(), second.size()}}, lkm::cvar::frame60);
    EXPECT_EQ(found.at, second.data() + 1);
    EXPECT_EQ(found.available, second.size() - 1);

    // A setter cut by the end of its range is not one.
    const Bytes cut = setter(stockEntry, frame60);
    try {
        lkm::game::rival::firstSetter({{cut.data(), cut.size() - 1}}, lkm::cvar::frame60);
        ADD_FAILURE() << "a cut setter was found";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "No CVar setter with the chosen frame.");
    }
}

TEST(RivalTargets, TheOneCameraProjectionThatPushesTheAspect) {
    const Bytes square = {0x00, 0x00, 0x80, 0x3F}, fourThirds = {0xAB, 0xAA, 0xAA, 0x3F};
    const Bytes sites = join({projection(square), projection(fourThirds)});
    const lkm::game::rival::Place operand =
        lkm::game::rival::cameraAspectOperand({{sites.data(), sites.size()}}, 0x3FAAAAAB);
    EXPECT_EQ(operand.at, sites.data() + 43 + 6);

    for (const Bytes& code : {join({projection(fourThirds), projection(fourThirds)}), projection(square)}) {
        try {
            lkm::game::rival::cameraAspectOperand({{code.data(), code.size()}}, 0x3FAAAAAB);
            ADD_FAILURE() << "an operand was chosen";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Not exactly one camera projection pushes the aspect to replace.");
        }
    }
}

TEST(RivalTargets, PatternsReadFromText) {
    EXPECT_THAT(lkm::game::rival::pattern(" d9 ?? 05 "),
                ElementsAreArray({0xD9, lkm::game::rival::anyByte, 0x05}));
    for (const char* bad : {"", "D9 0", "D905", "G1", "?? ?", "D9 ?5"}) {
        try {
            lkm::game::rival::pattern(bad);
            ADD_FAILURE() << bad;
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), "Bad byte pattern.");
        }
    }
}

} // namespace

} // namespace lkm::game::test
