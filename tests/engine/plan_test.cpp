// The patch plan over a small hand-laid engine: the layout names the places
// directly, so every expectation below is the literal bytes a place must hold.
#include "lkm/plan.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "message_of.hpp"
#include "pe_builder.hpp"
#include "plan_expectations.hpp"
#include "whole_image_plan.hpp"

namespace {

using lkm::test::hexBytes;
using lkm::test::patchedImage;
using lkm::test::PeBuilder;

constexpr uint32_t base = 0x00400000;

// Where the hand-laid engine keeps its GUI code and constants.
constexpr uint32_t aspectPush = 0x1005; // 68 imm32
constexpr uint32_t horizontalForward = 0x1100, verticalForward = 0x1140;
constexpr uint32_t horizontalInverse = 0x1180, verticalInverse = 0x11C0;
constexpr uint32_t mulssReference = 0x1200; // F3 0F 59 05 addr
constexpr uint32_t rootPushes = 0x1240;     // 68 height 68 width
constexpr uint32_t rootCall = 0x1250;       // E8 root GUI initializer
constexpr uint32_t rootInitializer = 0x1300;
constexpr uint32_t horizontalReciprocal = 0x2000, verticalReciprocal = 0x2004;
constexpr uint32_t horizontalScale = 0x2008, verticalScale = 0x200C;
constexpr uint32_t mouseHorizontal = 0x2010, mouseVertical = 0x2014;
constexpr uint32_t xres = 0x2100, yres = 0x2104;

std::string le(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", value & 0xFF, (value >> 8) & 0xFF,
                  (value >> 16) & 0xFF, value >> 24);
    return text;
}

PeBuilder stockEngine() {
    PeBuilder b(0x3000, base);
    b.section(".text", 0x1000, 0x1000, lkm::test::codeSection)
        .section(".data", 0x2000, 0x1000, lkm::test::dataSection);
    b.imports(0x2800, {{"engine.dll", {"Init"}}});
    b.fill(0x1000, 0x400, 0x90);
    b.hex(aspectPush, "68 AB AA AA 3F");
    // fld [r_xres]; fmul [esp+4]; fmul [1/1024]; ret, and the vertical twin; 15 CC after each
    b.hex(horizontalForward,
          "D9 05 " + le(base + xres) + " D8 4C 24 04 D8 0D " + le(base + horizontalReciprocal) + " C3");
    b.hex(verticalForward,
          "D9 05 " + le(base + yres) + " D8 4C 24 04 D8 0D " + le(base + verticalReciprocal) + " C3");
    // fld [esp+4]; fdiv [r_xres]; fmul [1024.0]; ret, and the vertical twin
    b.hex(horizontalInverse,
          "D9 44 24 04 D8 35 " + le(base + xres) + " D8 0D " + le(base + horizontalScale) + " C3");
    b.hex(verticalInverse,
          "D9 44 24 04 D8 35 " + le(base + yres) + " D8 0D " + le(base + verticalScale) + " C3");
    for (uint32_t function : {horizontalForward, verticalForward, horizontalInverse, verticalInverse})
        b.fill(function + 17, 15, 0xCC);
    b.hex(mulssReference, "F3 0F 59 05 " + le(base + verticalReciprocal));
    b.hex(rootPushes, "68 00 00 40 44 68 00 00 80 44");
    b.branch(rootCall, 0xE8, base + rootInitializer);
    b.hex(rootInitializer, "83 C1 30 E9 00 00 00 00"); // add ecx, 30h; jmp
    b.f32(horizontalReciprocal, 1.0f / 1024).u32(verticalReciprocal, 0x3AAAAAAB);
    b.f32(horizontalScale, 1024).f32(verticalScale, 768).f32(mouseHorizontal, 1024).f32(mouseVertical, 768);
    return b;
}

lkm::Layout layoutOf(const lkm::Image& image) {
    lkm::Layout layout;
    layout.aspectOperand = aspectPush + 1;
    layout.horizontalForward = horizontalForward;
    layout.verticalForward = verticalForward;
    layout.horizontalInverse = horizontalInverse;
    layout.verticalInverse = verticalInverse;
    layout.horizontalScale = horizontalScale;
    layout.verticalScale = verticalScale;
    layout.horizontalReciprocal = horizontalReciprocal;
    layout.verticalReciprocal = verticalReciprocal;
    layout.mouseHorizontalScale = mouseHorizontal;
    layout.mouseVerticalScale = mouseVertical;
    layout.rootHeight = rootPushes + 1;
    layout.rootWidth = rootPushes + 6;
    layout.rootInitializerCall = rootCall;
    layout.rootInitializer = base + rootInitializer;
    layout.aspect = 4.0f / 3.0f;
    layout.verticalReferences = {verticalForward + 12, mulssReference + 4};
    lkm::test::recordImageBytes(image, layout);
    return layout;
}

void write(std::vector<uint8_t>& bytes, uint32_t offset, const std::string& hex) {
    const std::vector<uint8_t> values = hexBytes(hex);
    std::memcpy(bytes.data() + offset, values.data(), values.size());
}

// The offsets where two byte vectors differ, "" when they are equal.
std::string differences(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected) {
    if (actual.size() != expected.size())
        return "length " + std::to_string(actual.size()) + " instead of " + std::to_string(expected.size());
    std::string out;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        if (actual[i] == expected[i]) continue;
        char line[40];
        std::snprintf(line, sizeof line, "[%04zX] %02X instead of %02X\n", i, actual[i], expected[i]);
        out += line;
    }
    return out;
}

TEST(Plan, WithoutProportionalUiOnlyTheCameraAspectChanges) {
    const lkm::Image image = stockEngine().image();
    const lkm::Layout layout = layoutOf(image);
    for (const lkm::test::ScreenExpectation& e : lkm::test::screenExpectations) {
        SCOPED_TRACE(std::to_string(e.x) + "x" + std::to_string(e.y));
        std::vector<uint8_t> expected = image.bytes.all();
        write(expected, aspectPush + 1, le(e.aspect));
        EXPECT_EQ(differences(patchedImage(image, lkm::build(image, layout, e.x, e.y, false)), expected), "");
    }
}

TEST(Plan, ProportionalUiWritesCanvasReciprocalsRedirectionsAndTrampolines) {
    const lkm::Image image = stockEngine().image();
    const lkm::Layout layout = layoutOf(image);
    for (const lkm::test::ScreenExpectation& e : lkm::test::screenExpectations) {
        SCOPED_TRACE(std::to_string(e.x) + "x" + std::to_string(e.y));
        std::vector<uint8_t> expected = image.bytes.all();
        write(expected, aspectPush + 1, le(e.aspect));
        for (uint32_t place : {horizontalScale, mouseHorizontal, rootPushes + 6})
            write(expected, place, le(e.width));
        for (uint32_t place : {verticalScale, mouseVertical, rootPushes + 1})
            write(expected, place, le(e.height));
        write(expected, horizontalReciprocal, le(e.widthReciprocal));
        write(expected, horizontalInverse + 17, le(e.heightReciprocal)); // 11 CC stay after it
        write(expected, verticalForward + 12, "91 11 40 00");            // fmul [00401191h]
        write(expected, mulssReference + 4, "91 11 40 00");              // mulss xmm0, [00401191h]
        write(expected, rootCall, "E8 BC FE FF FF");                     // call 00401111h
        // 00401111: mov dword ptr [esp+4], offset; jmp 00401151h
        write(expected, horizontalForward + 17, "C7 44 24 04 " + le(e.horizontalOffset) + " E9 33 00 00 00");
        // 00401151: mov dword ptr [esp+8], offset; jmp 00401300h
        write(expected, verticalForward + 17, "C7 44 24 08 " + le(e.verticalOffset) + " E9 A2 01 00 00");
        EXPECT_EQ(differences(patchedImage(image, lkm::build(image, layout, e.x, e.y, true)), expected), "");
    }
}

TEST(Plan, StartsFromTheNormalizedBytesNotFromTheSnapshot) {
    // An earlier patch left 16/9 and a wide canvas in the snapshot; recognition's
    // normalized copy has the stock values, and only those reach the plan.
    PeBuilder patched = stockEngine();
    const std::vector<uint8_t> stock = patched.build();
    patched.u32(aspectPush + 1, 0x3FE38E39).f32(horizontalScale, 1365.3334f).hex(rootCall, "E8 BC FE FF FF");
    const lkm::Image image = patched.image();
    const lkm::Layout layout = layoutOf(image);

    std::vector<uint8_t> expected = stock;
    write(expected, aspectPush + 1, "00 00 A0 3F"); // 1.25
    EXPECT_EQ(differences(patchedImage(image, lkm::build(image, layout, 1280, 1024, false)), expected), "");
}

TEST(Plan, ResolutionLimitsAreCheckedFirst) {
    const lkm::Image image = stockEngine().image();
    const lkm::Layout layout = layoutOf(image);
    const lkm::Layout empty; // would fail any write: the check must come before them
    struct Case {
        int x, y;
        bool accepted;
    };
    for (const Case& c : std::vector<Case>{{319, 768, false},
                                           {1024, 199, false},
                                           {16385, 768, false},
                                           {1024, 16385, false},
                                           {-1920, 1080, false},
                                           {1920, -1080, false},
                                           {INT_MIN, 768, false},
                                           {1024, INT_MAX, false},
                                           {0, 0, false},
                                           {320, 200, true},
                                           {16384, 16384, true},
                                           {320, 16384, true},
                                           {16384, 200, true}}) {
        SCOPED_TRACE(std::to_string(c.x) + "x" + std::to_string(c.y));
        for (bool keep : {false, true}) {
            EXPECT_EQ(lkm::test::messageOf([&] { lkm::build(image, empty, c.x, c.y, keep); }),
                      c.accepted ? "Invalid patch range." : "Resolution is outside supported input limits.");
            EXPECT_EQ(lkm::test::messageOf([&] { lkm::build(image, layout, c.x, c.y, keep); }),
                      c.accepted ? "(none)" : "Resolution is outside supported input limits.");
        }
    }
}

TEST(Plan, WritesThatDoNotFitAreRefused) {
    const lkm::Image image = stockEngine().image();
    const uint32_t size = uint32_t(image.bytes.size());
    struct Case {
        const char* name;
        void (*change)(lkm::Layout&, uint32_t size);
        bool keep;
    };
    const std::vector<Case> cases{
        {"aspect operand across the end", [](lkm::Layout& l, uint32_t n) { l.aspectOperand = n - 3; }, false},
        {"mouse scale past the end", [](lkm::Layout& l, uint32_t n) { l.mouseVerticalScale = n; }, true},
        {"vertical reference across the end",
         [](lkm::Layout& l, uint32_t n) { l.verticalReferences.push_back(n - 2); }, true},
        {"call opcode past the end", [](lkm::Layout& l, uint32_t n) { l.rootInitializerCall = n; }, true},
        {"call operand across the end", [](lkm::Layout& l, uint32_t n) { l.rootInitializerCall = n - 4; },
         true},
        {"trampoline jump opcode past the end",
         [](lkm::Layout& l, uint32_t n) { l.verticalForward = n - 17 - 8; }, true},
        {"trampoline jump operand across the end",
         [](lkm::Layout& l, uint32_t n) { l.horizontalForward = n - 17 - 9; }, true},
        {"reciprocal space past the end", [](lkm::Layout& l, uint32_t n) { l.horizontalInverse = n - 17; },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lkm::Layout layout = layoutOf(image);
        c.change(layout, size);
        EXPECT_EQ(lkm::test::messageOf([&] { lkm::build(image, layout, 1920, 1080, c.keep); }),
                  "Invalid patch range.");
    }
}

TEST(Plan, PatchSpacesOutsideTheImageAreInvalidEngineAddresses) {
    const lkm::Image image = stockEngine().image();
    const uint32_t size = uint32_t(image.bytes.size());
    struct Case {
        const char* name;
        void (*change)(lkm::Layout&, uint32_t size);
    };
    const std::vector<Case> cases{
        // A trampoline whose place is no game address: refused before its bytes are asked to fit.
        {"vertical trampoline beyond the image", [](lkm::Layout& l, uint32_t n) { l.verticalForward = n; }},
        {"horizontal trampoline beyond the image",
         [](lkm::Layout& l, uint32_t n) { l.horizontalForward = n; }},
        // horizontalForward + 17 wrapping to 1 would write the trampoline over the DOS header.
        {"horizontal trampoline offset wrapping",
         [](lkm::Layout& l, uint32_t) { l.horizontalForward = 0xFFFFFFF0; }},
        {"vertical trampoline offset wrapping",
         [](lkm::Layout& l, uint32_t) { l.verticalForward = 0xFFFFFFFF; }},
        {"reciprocal space offset wrapping",
         [](lkm::Layout& l, uint32_t) { l.horizontalInverse = 0xFFFFFFF8; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lkm::Layout layout = layoutOf(image);
        c.change(layout, size);
        EXPECT_EQ(lkm::test::messageOf([&] { lkm::build(image, layout, 1920, 1080, true); }),
                  "Invalid engine address.");
        EXPECT_EQ(lkm::test::messageOf([&] { lkm::build(image, layout, 1920, 1080, false); }), "(none)");
    }
}

TEST(Plan, LaterWritesWinWhereTwoPlacesShareBytes) {
    // A vertical reference inside the reciprocal space is overwritten by the
    // reference redirection, which comes after the reciprocal itself.
    const lkm::Image image = stockEngine().image();
    lkm::Layout layout = layoutOf(image);
    layout.verticalReferences.push_back(horizontalInverse + 17);
    const std::vector<uint8_t> plan = patchedImage(image, lkm::build(image, layout, 1920, 1080, true));
    EXPECT_EQ(
        std::vector<uint8_t>(plan.begin() + horizontalInverse + 17, plan.begin() + horizontalInverse + 21),
        hexBytes("91 11 40 00"));
    // A reciprocal on the horizontal scale's bytes: step 8 comes after step 6.
    layout = layoutOf(image);
    layout.horizontalReciprocal = horizontalScale;
    const std::vector<uint8_t> reciprocalLast =
        patchedImage(image, lkm::build(image, layout, 1920, 1080, true));
    EXPECT_EQ(std::vector<uint8_t>(reciprocalLast.begin() + horizontalScale,
                                   reciprocalLast.begin() + horizontalScale + 4),
              hexBytes("00 00 40 3A"));
}

} // namespace
