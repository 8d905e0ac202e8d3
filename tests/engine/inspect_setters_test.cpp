// Step 8: the integer CVar setter and the family of five setters around it.
#include <gtest/gtest.h>

#include "engine_image.hpp"
#include "lkm/byte_runs.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

namespace {
const char* const incomplete = "Incomplete CVar setter family.";
} // namespace

TEST(InspectSetters, FindsTheFiveSettersInSearchOrder) {
    // The stock image has a 40h-frame prologue inside the window and a 20h-frame
    // function 6 KiB away, both passed over.
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = lkm::inspect(engine.image());
    EXPECT_EQ(engine.places.setters, layout.setters);
    ASSERT_EQ(5u, layout.setters.size());
    EXPECT_TRUE(std::is_sorted(layout.setters.begin(), layout.setters.end()));
}

TEST(InspectSetters, IntegerSetterCallMustBeUnique) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    const uint32_t spareInWindow = p.integerConstructor + 0x60; // CC up to 0x100

    EngineImage repeated = stock; // the same setter called twice counts once
    repeated.pe.branch(spareInWindow, 0xE8, stock.address(p.integerSetter));
    EXPECT_EQ(p.setters, lkm::inspect(repeated.image()).setters);

    EngineImage second = stock; // another 60h setter called: two candidates
    second.pe.branch(spareInWindow, 0xE8, stock.address(p.booleanSetter));
    EXPECT_EQ("Engine recognition failed: integer CVar setter has 2 matches.",
              inspectFailure(second.image()));

    EngineImage beyond = stock; // a call 256 bytes after the constructor start lies outside the window
    beyond.pe.branch(p.integerConstructor + 0x100, 0xE8, stock.address(p.booleanSetter));
    EXPECT_EQ(p.setters, lkm::inspect(beyond.image()).setters);

    EngineImage lastByte = stock; // an E8 at the window's last byte is tried (and reaches outside)
    lastByte.pe.bytes(p.integerConstructor + 0xFF, {0xE8});
    EXPECT_EQ(p.setters, lkm::inspect(lastByte.image()).setters);

    EngineImage none = stock; // the call goes to a 20h setter: no 60h candidate
    none.pe.branch(p.integerSetterCall, 0xE8, stock.address(p.setters[0]));
    EXPECT_EQ("Engine recognition failed: integer CVar setter has 0 matches.", inspectFailure(none.image()));
}

struct WindowCase {
    const char* name;
    int32_t distance; // of a 20h-frame function from the integer setter
    bool inFamily;
};

class InspectSetterWindow : public testing::TestWithParam<WindowCase> {};

TEST_P(InspectSetterWindow, ProloguesWithin4096BytesAreExamined) {
    EngineConfig config;
    config.distantPrologue = GetParam().distance;
    const EngineImage engine = makeEngineImage(config);
    EXPECT_EQ(GetParam().inFamily ? incomplete : "", inspectFailure(engine.image()));
}

INSTANTIATE_TEST_SUITE_P(Distances, InspectSetterWindow,
                         testing::Values(WindowCase{"after4096", 4096, true},
                                         WindowCase{"after4097", 4097, false},
                                         WindowCase{"before4096", -4096, true},
                                         WindowCase{"before4097", -4097, false}),
                         [](const testing::TestParamInfo<WindowCase>& test) { return test.param.name; });

struct FamilyCase {
    const char* name;
    std::vector<SetterSpec> setters;
    const char* failure;
};

class InspectSetterFamily : public testing::TestWithParam<FamilyCase> {};

TEST_P(InspectSetterFamily, TwoOf20hTwoOf60hOneOfA0h) {
    EngineConfig config;
    config.setters = GetParam().setters;
    const EngineImage engine = makeEngineImage(config);
    const std::string failure = inspectFailure(engine.image());
    EXPECT_EQ(GetParam().failure, failure);
    if (failure.empty()) {
        EXPECT_EQ(engine.places.setters, lkm::inspect(engine.image()).setters);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Families, InspectSetterFamily,
    testing::Values(
        FamilyCase{
            "reordered", {{0xC00, 0x20}, {0x900, 0x60}, {0xA00, 0xA0}, {0xB00, 0x60}, {0x800, 0x20}}, ""},
        FamilyCase{"sixth20h",
                   {{0x800, 0x20}, {0x900, 0x60}, {0xA00, 0x20}, {0xB00, 0x60}, {0xC00, 0xA0}, {0xD00, 0x20}},
                   incomplete},
        FamilyCase{"sixthA0h",
                   {{0x800, 0x20}, {0x900, 0x60}, {0xA00, 0x20}, {0xB00, 0x60}, {0xC00, 0xA0}, {0xD00, 0xA0}},
                   incomplete},
        FamilyCase{"third60h",
                   {{0x800, 0x20}, {0x900, 0x60}, {0xA00, 0x20}, {0xB00, 0x60}, {0xC00, 0xA0}, {0xD00, 0x60}},
                   incomplete},
        FamilyCase{"missing20h", {{0xA00, 0x20}, {0x900, 0x60}, {0xC00, 0xA0}, {0xB00, 0x60}}, incomplete},
        FamilyCase{"missingA0h", {{0x800, 0x20}, {0x900, 0x60}, {0xA00, 0x20}, {0xB00, 0x60}}, incomplete},
        FamilyCase{"changedFrame",
                   {{0x800, 0x20}, {0x900, 0x60}, {0xA00, 0xA0}, {0xB00, 0x60}, {0xC00, 0xA0}},
                   incomplete},
        FamilyCase{"sixthWithOtherFrame",
                   {{0x800, 0x20}, {0x900, 0x60}, {0xA00, 0x20}, {0xB00, 0x60}, {0xC00, 0xA0}, {0xD00, 0x30}},
                   ""}),
    [](const testing::TestParamInfo<FamilyCase>& test) { return test.param.name; });

TEST(InspectSetters, EverySetterStartsWithTheFlagTest) {
    const EngineImage stock = makeEngineImage();
    for (uint32_t setter : stock.places.setters) {
        EngineImage engine = stock;
        const uint32_t body =
            setter + (lkm::read<uint32_t>(stock.bytes(), setter + 21) == 0xA0EC81 ? 27 : 24);
        engine.pe.bytes(body + 6, {0x02}); // test byte ptr [esi+6], 2
        EXPECT_EQ("Unknown CVar setter body.", inspectFailure(engine.image())) << std::hex << setter;
    }
    EngineImage outside = stock; // a prologue with a wrong body outside the window does not matter
    outside.pe.bytes(stock.places.distantPrologue + 24, {0x57});
    EXPECT_EQ("", inspectFailure(outside.image()));
}

// Another mod's jump over a setter's first instruction: refused unless hooks
// are chained, and then taken only in the form hooking libraries leave.
TEST(InspectSetters, AHookedEntryIsASetterOnlyWhenHooksAreChained) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    constexpr uint32_t elsewhere = 0x10002000; // another module's code
    struct Case {
        const char* name;
        uint32_t setter;
        uint32_t target;
        uint8_t left; // the sixth byte
        const char* chained;
    };
    const Case cases[] = {
        {"nop left", p.setters[0], elsewhere, 0x90, ""},
        {"int3 left", p.setters[2], elsewhere, 0xCC, ""},
        {"zero left", p.setters[4], elsewhere, 0x00, ""},
        {"the integer setter", p.integerSetter, elsewhere, 0x90, ""},
        {"another byte left", p.setters[0], elsewhere, 0x55, incomplete},
        {"a jump inside the image", p.setters[0], stock.address(p.spareCode), 0x90, incomplete},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineImage hooked = stock;
        hooked.pe.branch(c.setter, 0xE9, c.target).bytes(c.setter + 5, {c.left});
        const lkm::Image image = hooked.image();
        EXPECT_NE(inspectFailure(image), "");
        std::string failure;
        lkm::Layout layout;
        try {
            layout = lkm::inspect(image, lkm::searchSignatures(image), {true});
        } catch (const std::exception& e) {
            failure = e.what();
        }
        EXPECT_EQ(failure, c.chained);
        if (!failure.empty()) continue;
        EXPECT_EQ(layout.setters, p.setters);
        for (std::size_t k = 0; k < 5; ++k)
            EXPECT_EQ(layout.setterJumps[k], p.setters[k] == c.setter ? c.target : 0u) << k;
        const std::vector<uint8_t> bytes = hooked.bytes();
        EXPECT_EQ(lkm::bytesIn(layout.original, c.setter, 6),
                  std::vector<uint8_t>(bytes.begin() + std::ptrdiff_t(c.setter),
                                       bytes.begin() + std::ptrdiff_t(c.setter + 6)))
            << "the commit expects the other mod's jump there still";
    }
    // The stock image is the same with or without chained hooks.
    const lkm::Image image = stock.image();
    EXPECT_EQ(
        layoutDifferences(lkm::inspect(image, lkm::searchSignatures(image), {true}), stock.expectedLayout()),
        "");
}
