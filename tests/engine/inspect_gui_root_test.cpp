// Step 2: the root GUI constructor and the chain from its initializer call to
// the initializer stub, directly or through the trampolines of an earlier patch.
#include <gtest/gtest.h>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

TEST(InspectRootGui, StockConstructorCallsTheStubDirectly) {
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = lkm::inspect(engine.image());
    const EnginePlaces& p = engine.places;
    EXPECT_EQ(p.rootConstructorSite + 1, layout.rootHeight);
    EXPECT_EQ(p.rootConstructorSite + 6, layout.rootWidth);
    EXPECT_EQ(p.rootConstructorSite + 23, layout.rootInitializerCall);
    EXPECT_EQ(engine.address(p.initializerStub), layout.rootInitializer);
}

TEST(InspectRootGui, ConstructorMustBeUnique) {
    EngineImage missing = makeEngineImage();
    missing.pe.u32(missing.places.rootConstructorSite + 29, 0x44410000); // push 772.0 instead of 768.0
    EXPECT_EQ("Engine recognition failed: root GUI constructor has 0 matches.",
              inspectFailure(missing.image()));

    EngineImage twice = makeEngineImage();
    twice.copy(twice.places.rootConstructorSite, 47, twice.places.spareCode);
    EXPECT_EQ("Engine recognition failed: root GUI constructor has 2 matches.",
              inspectFailure(twice.image()));
}

struct ChainCase {
    const char* name;
    std::vector<EngineImage::Hop> hops; // offsets from the spare code
    const char* failure;                // "" when the chain is accepted
};

class InspectRootGuiChain : public testing::TestWithParam<ChainCase> {};

TEST_P(InspectRootGuiChain, FollowsAtMostTwoTrampolines) {
    EngineImage engine = makeEngineImage();
    std::vector<EngineImage::Hop> hops = GetParam().hops;
    for (EngineImage::Hop& hop : hops) hop.offset += engine.places.spareCode;
    engine.routeRootCall(hops);
    const std::string failure = inspectFailure(engine.image());
    EXPECT_EQ(GetParam().failure, failure);
    if (!failure.empty()) return;
    const lkm::Image image = engine.image();
    const lkm::Layout layout = lkm::inspect(image);
    EXPECT_EQ(engine.address(engine.places.initializerStub), layout.rootInitializer);
    // The normalised bytes call the stub directly again.
    const std::vector<uint8_t> normalized = normalizedBytes(image, layout);
    EXPECT_EQ(0xE8, normalized[layout.rootInitializerCall]);
    EXPECT_EQ(engine.places.initializerStub - (layout.rootInitializerCall + 5),
              lkm::read<uint32_t>(normalized, layout.rootInitializerCall + 1));
}

INSTANTIATE_TEST_SUITE_P(
    Chains, InspectRootGuiChain,
    testing::Values(ChainCase{"oneHorizontalJump", {{0x00, 0x04}}, ""},
                    ChainCase{"oneVerticalJump", {{0x00, 0x08}}, ""},
                    ChainCase{"oneHorizontalCall", {{0x00, 0x04, 0xE8}}, ""},
                    ChainCase{"horizontalThenVertical", {{0x00, 0x04}, {0x20, 0x08}}, ""},
                    ChainCase{"verticalThenHorizontal", {{0x00, 0x08}, {0x20, 0x04}}, ""},
                    ChainCase{"twoOfTheSameForm", {{0x00, 0x04, 0xE8}, {0x20, 0x04}}, ""},
                    ChainCase{
                        "three", {{0x00, 0x04}, {0x20, 0x08}, {0x40, 0x04}}, "Unknown root GUI trampoline."},
                    ChainCase{"otherDisplacement", {{0x00, 0x0C}}, "Unknown root GUI initializer."},
                    ChainCase{"shortJump", {{0x00, 0x04, 0xEB}}, "Expected an x86 branch."}),
    [](const testing::TestParamInfo<ChainCase>& test) { return test.param.name; });

TEST(InspectRootGui, ChainMustEndInTheInitializerStub) {
    EngineImage engine = makeEngineImage();
    engine.pe.bytes(engine.places.initializerStub, {0x83, 0xC1, 0x34}); // add ecx, 34h
    EXPECT_EQ("Unknown root GUI initializer.", inspectFailure(engine.image()));

    EngineImage call = makeEngineImage();
    call.pe.bytes(call.places.initializerStub + 3, {0xE8}); // call instead of jmp
    EXPECT_EQ("Unknown root GUI initializer.", inspectFailure(call.image()));
}

TEST(InspectRootGui, ChainLeavingTheModuleFails) {
    const char* const outside = "Engine pointer is outside the main module.";
    EngineImage call = makeEngineImage();
    call.pe.u32(call.places.rootInitializerCall + 1, 0x40000000);
    EXPECT_EQ(outside, inspectFailure(call.image()));

    EngineImage trampoline = makeEngineImage();
    trampoline.routeRootCall({{trampoline.places.spareCode, 0x04}});
    trampoline.pe.u32(trampoline.places.spareCode + 9, 0x80000000);
    EXPECT_EQ(outside, inspectFailure(trampoline.image()));

    EngineImage body = makeEngineImage();
    body.pe.u32(body.places.initializerStub + 4, 0xF0000000);
    EXPECT_EQ(outside, inspectFailure(body.image()));
}

TEST(InspectRootGui, TrampolineAtTheImageEndIsCutShort) {
    EngineImage engine = makeEngineImage();
    const uint32_t end = engine.places.size;
    // C7 44 24 04 imm32 with its jump cut off by the end of the image
    engine.pe.bytes(end - 9, {0xC7, 0x44, 0x24, 0x04, 0, 0, 0, 0, 0xE9});
    engine.pe.branch(engine.places.rootInitializerCall, 0xE8, engine.address(end - 9));
    EXPECT_EQ("Invalid image range.", inspectFailure(engine.image()));
}
