// Step 5: the three patch spaces are free or hold an earlier patch's code, and
// every GUI operand that reads the current vertical reciprocal is collected.
#include <gtest/gtest.h>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"
#include "message_of.hpp"
#include "recognition.hpp"

using namespace lkm::test;

namespace {
const char* const alignmentOccupied = "GUI alignment space is occupied.";
const char* const reciprocalOccupied = "GUI reciprocal space is occupied.";
const char* const unknownReference = "Unknown vertical GUI pointer instruction.";

// mov dword ptr [esp+d], 0; opcode rel32 (to the stub); two bytes after it
void trampoline(EngineImage& engine, uint32_t at, uint8_t displacement, uint8_t opcode, uint8_t tail) {
    engine.pe.bytes(at, {0xC7, 0x44, 0x24, displacement, 0, 0, 0, 0});
    engine.pe.branch(at + 8, opcode, engine.address(engine.places.initializerStub));
    engine.pe.bytes(at + 13, {tail, tail});
}
} // namespace

TEST(InspectPatchSpaces, StockSpacesAreFreeAndReferencesCollected) {
    const EngineImage engine = makeEngineImage(); // fmul, mulss xmm1 and movss xmm0 references
    const lkm::Layout layout = lkm::inspect(engine.image());
    const EnginePlaces& p = engine.places;
    EXPECT_EQ(p.verticalReferences, layout.verticalReferences);
    ASSERT_EQ(4u, layout.verticalReferences.size());
    EXPECT_EQ(p.verticalForward + 12, layout.verticalReferences.front());
}

struct SpaceCase {
    const char* name;
    bool vertical; // the vertical alignment space, else the horizontal one
    uint8_t displacement, opcode, tail;
    bool accepted;
};

class InspectAlignmentSpace : public testing::TestWithParam<SpaceCase> {};

TEST_P(InspectAlignmentSpace, HoldsNothingOrTheTrampolineOfItsOwnDirection) {
    const SpaceCase& c = GetParam();
    EngineImage engine = makeEngineImage();
    const uint32_t space = c.vertical ? engine.places.verticalSpace : engine.places.horizontalSpace;
    trampoline(engine, space, c.displacement, c.opcode, c.tail);
    const std::string failure = inspectFailure(engine.image());
    EXPECT_EQ(c.accepted ? "" : alignmentOccupied, failure);
    if (failure.empty()) { // the normalised copy clears the space again
        const lkm::Image image = engine.image();
        EXPECT_EQ(makeEngineImage().bytes(), normalizedBytes(image, lkm::inspect(image)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Contents, InspectAlignmentSpace,
    testing::Values(SpaceCase{"horizontalTrampoline", false, 0x04, 0xE9, 0xCC, true},
                    SpaceCase{"verticalTrampoline", true, 0x08, 0xE9, 0xCC, true},
                    SpaceCase{"horizontalHoldsVerticalForm", false, 0x08, 0xE9, 0xCC, false},
                    SpaceCase{"verticalHoldsHorizontalForm", true, 0x04, 0xE9, 0xCC, false},
                    SpaceCase{"callInsteadOfJump", false, 0x04, 0xE8, 0xCC, false},
                    SpaceCase{"tailNotFiller", false, 0x04, 0xE9, 0x90, false},
                    SpaceCase{"verticalTailNotFiller", true, 0x08, 0xE9, 0x00, false}),
    [](const testing::TestParamInfo<SpaceCase>& test) { return test.param.name; });

TEST(InspectPatchSpaces, AnyOtherByteInASpaceOccupiesIt) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    for (uint32_t i = 0; i < 15; ++i) {
        EngineImage horizontal = stock, vertical = stock, reciprocal = stock;
        horizontal.pe.bytes(p.horizontalSpace + i, {0x90});
        vertical.pe.bytes(p.verticalSpace + i, {0x90});
        reciprocal.pe.bytes(p.reciprocalSpace + i, {0x90});
        EXPECT_EQ(alignmentOccupied, inspectFailure(horizontal.image())) << i;
        EXPECT_EQ(alignmentOccupied, inspectFailure(vertical.image())) << i;
        EXPECT_EQ(reciprocalOccupied, inspectFailure(reciprocal.image())) << i;
    }
}

TEST(InspectPatchSpaces, ReciprocalSpaceHoldsOnlyTheReferencedFloat) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    EngineImage unreferenced = stock;
    unreferenced.pe.f32(p.reciprocalSpace, 1.0f / 768);
    EXPECT_EQ(reciprocalOccupied, inspectFailure(unreferenced.image()));

    for (uint32_t i = 4; i < 15; ++i) {
        EngineImage patched = stock.earlierPatched();
        patched.pe.bytes(p.reciprocalSpace + i, {0x00});
        EXPECT_EQ(reciprocalOccupied, inspectFailure(patched.image())) << i;
    }
}

struct ReferenceCase {
    const char* name;
    const char* prefix; // the bytes before the 32-bit operand
    bool known;
};

class InspectVerticalReference : public testing::TestWithParam<ReferenceCase> {};

TEST_P(InspectVerticalReference, OnlyFmulMovssAndMulssMayReadTheReciprocal) {
    EngineImage engine = makeEngineImage();
    const uint32_t operand = engine.places.spareGui + 0x10;
    engine.reference(operand, GetParam().prefix, engine.address(engine.places.verticalReciprocal));
    if (!GetParam().known) {
        EXPECT_EQ(unknownReference, inspectFailure(engine.image()));
        return;
    }
    std::vector<uint32_t> expected = engine.places.verticalReferences;
    expected.push_back(operand);
    std::sort(expected.begin(), expected.end());
    const lkm::Layout layout = lkm::inspect(engine.image());
    EXPECT_EQ(expected, layout.verticalReferences);
}

INSTANTIATE_TEST_SUITE_P(
    Instructions, InspectVerticalReference,
    testing::Values(ReferenceCase{"fmul", "D8 0D", true}, ReferenceCase{"mulssXmm1", "F3 0F 59 0D", true},
                    ReferenceCase{"movssXmm0", "F3 0F 10 05", true},
                    ReferenceCase{"movssXmm7", "F3 0F 10 3D", true}, ReferenceCase{"fld", "D9 05", false},
                    ReferenceCase{"divss", "F3 0F 5E 05", false},
                    ReferenceCase{"movssStore", "F3 0F 11 05", false},
                    ReferenceCase{"mulsdNotSingle", "F2 0F 59 05", false},
                    ReferenceCase{"mulssRegisterIndirect", "F3 0F 59 45", false},
                    ReferenceCase{"fmulDisp32", "D8 8D", false}, ReferenceCase{"push", "68", false}),
    [](const testing::TestParamInfo<ReferenceCase>& test) { return test.param.name; });

TEST(InspectPatchSpaces, ScanEndsWhereTheInitializerBodyBegins) {
    const EngineImage stock = makeEngineImage();
    const uint32_t body = stock.places.initializerBody;
    const uint32_t c = stock.address(stock.places.verticalReciprocal);
    EngineImage reachesBody = stock; // fld [c] whose operand ends exactly at the body: not examined
    reachesBody.reference(body - 4, "D9 05", c);
    EXPECT_EQ("", inspectFailure(reachesBody.image()));

    EngineImage beforeBody = stock; // one byte earlier: examined and refused
    beforeBody.reference(body - 5, "D9 05", c);
    EXPECT_EQ(unknownReference, inspectFailure(beforeBody.image()));

    EngineImage inBody = stock; // a known form at the body start is not collected either
    inBody.reference(body + 2, "D8 0D", c);
    EXPECT_EQ(stock.places.verticalReferences, lkm::inspect(inBody.image()).verticalReferences);
}

TEST(InspectPatchSpaces, ReferencesBeforeTheFirstConversionAreNotExamined) {
    EngineImage engine = makeEngineImage();
    engine.reference(engine.places.horizontalForward - 4, "D9 05",
                     engine.address(engine.places.verticalReciprocal));
    EXPECT_EQ(engine.places.verticalReferences, lkm::inspect(engine.image()).verticalReferences);
}

TEST(InspectPatchSpaces, AtLeastTwoReferencesAreRequired) {
    EngineConfig config;
    config.references.clear(); // only the vertical forward conversion's own operand
    EXPECT_EQ("Missing vertical GUI references.", inspectFailure(makeEngineImage(config).image()));
    config.references = {{0x300, ReferenceForm::movss}};
    const EngineImage engine = makeEngineImage(config);
    EXPECT_EQ(
        (std::vector<uint32_t>{engine.places.verticalForward + 12, engine.places.horizontalForward + 0x300}),
        lkm::inspect(engine.image()).verticalReferences);
}

TEST(InspectPatchSpaces, EarlierPatchReferencesTheMovedReciprocal) {
    const EngineImage patched = makeEngineImage().earlierPatched();
    // A leftover reference to the stock constant inside the GUI code is not collected.
    EngineImage leftover = patched;
    leftover.reference(patched.places.spareGui + 0x10, "D8 0D",
                       patched.address(patched.places.verticalReciprocal));
    EXPECT_EQ(patched.places.verticalReferences, lkm::inspect(leftover.image()).verticalReferences);
    // A reference to the moved one through an unknown instruction is refused.
    EngineImage fld = patched;
    fld.reference(patched.places.spareGui + 0x10, "D9 05", patched.address(patched.places.reciprocalSpace));
    EXPECT_EQ(unknownReference, inspectFailure(fld.image()));
}

// A space that starts like a trampoline but ends with the image: refused with
// the step's own sentence, without reading past the end.
TEST(InspectPatchSpaces, TrampolineCutByTheImageEndOccupiesTheSpace) {
    PeBuilder pe(0x2000);
    pe.section(".text", 0x1000, 0x1000, codeSection);
    pe.imports(0x200, {{"KERNEL32.dll", {"Sleep"}}});
    const uint32_t space = 0x2000 - 8; // C7 44 24 04 imm32, no room for E9 rel32
    pe.bytes(space, {0xC7, 0x44, 0x24, 0x04, 0, 0, 0, 0});
    const lkm::Image image = pe.image();
    lkm::Layout layout;
    layout.horizontalForward = space - 17;
    EXPECT_EQ(alignmentOccupied, messageOf([&] {
                  lkm::recognition::checkPatchSpaces(image, layout, lkm::recognition::Handover{});
              }));
}
