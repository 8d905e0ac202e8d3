// The patch plan over the synthetic engine, stock and earlier-patched: the
// trampolines and redirections are decoded back from the planned bytes.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine_image.hpp"
#include "lkm/diff.hpp"
#include "lkm/inspect.hpp"
#include "lkm/plan.hpp"
#include "plan_expectations.hpp"
#include "whole_image_plan.hpp"

namespace {

using lkm::test::EngineImage;
using lkm::test::makeEngineImage;
using lkm::test::patchedImage;
using lkm::test::ScreenExpectation;
using lkm::test::screenExpectations;

uint32_t u32(const std::vector<uint8_t>& bytes, uint32_t offset) {
    return lkm::read<uint32_t>(bytes, offset);
}
std::vector<uint8_t> run(const std::vector<uint8_t>& bytes, uint32_t offset, uint32_t length) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

// Offsets at which two equally long byte vectors differ.
std::set<uint32_t> changed(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::set<uint32_t> out;
    for (uint32_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) out.insert(i);
    return out;
}

// Absolute target of the E8/E9 rel32 at `offset`, decoded from the bytes.
uint32_t target(const EngineImage& engine, const std::vector<uint8_t>& bytes, uint32_t offset) {
    return engine.address(offset) + 5 + u32(bytes, offset + 1);
}

TEST(PlanEngineImage, StretchedUiChangesOnlyTheCameraAspect) {
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = engine.expectedLayout();
    const lkm::Image image = engine.image();
    const std::vector<uint8_t> plan = patchedImage(image, lkm::build(image, layout, 1920, 1080, false));
    std::vector<uint8_t> expected = engine.bytes();
    lkm::put(expected, layout.aspectOperand, 0x3FE38E39u);
    EXPECT_EQ(changed(plan, expected), std::set<uint32_t>{});
    EXPECT_EQ(u32(plan, layout.aspectOperand), 0x3FE38E39u);
}

TEST(PlanEngineImage, StretchedUiPutsTheStockGuiBackOverAnEarlierPatch) {
    const EngineImage stock = makeEngineImage();
    const EngineImage patched = stock.earlierPatched();
    const lkm::Layout layout = patched.expectedLayout();
    const std::vector<uint8_t> snapshot = patched.bytes();
    const lkm::Image image = patched.image();
    const std::vector<uint8_t> plan = patchedImage(image, lkm::build(image, layout, 1920, 1080, false));

    std::vector<uint8_t> expected = stock.bytes();
    lkm::put(expected, layout.aspectOperand, 0x3FE38E39u);
    EXPECT_EQ(changed(plan, expected), std::set<uint32_t>{});

    // Each GUI place the earlier patch had changed is stock again in the plan.
    const lkm::test::EnginePlaces& p = patched.places;
    for (uint32_t place : {p.horizontalScale, p.mouseHorizontalScale, p.rootWidth}) {
        EXPECT_NE(u32(snapshot, place), lkm::test::stockWidthBits);
        EXPECT_EQ(u32(plan, place), lkm::test::stockWidthBits);
    }
    for (uint32_t reference : p.verticalReferences) {
        EXPECT_EQ(u32(snapshot, reference), patched.address(p.reciprocalSpace));
        EXPECT_EQ(u32(plan, reference), patched.address(p.verticalReciprocal));
    }
    for (uint32_t space : {p.horizontalSpace, p.verticalSpace, p.reciprocalSpace}) {
        EXPECT_NE(run(snapshot, space, 15), std::vector<uint8_t>(15, 0xCC));
        EXPECT_EQ(run(plan, space, 15), std::vector<uint8_t>(15, 0xCC));
    }
    EXPECT_EQ(target(patched, snapshot, p.rootInitializerCall), patched.address(p.horizontalSpace));
    EXPECT_EQ(target(patched, plan, p.rootInitializerCall), layout.rootInitializer);
}

TEST(PlanEngineImage, ProportionalUiDecodesToTheCentredCanvas) {
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = engine.expectedLayout();
    const lkm::test::EnginePlaces& p = engine.places;
    ASSERT_EQ(p.horizontalSpace, layout.horizontalForward + 17);
    ASSERT_EQ(p.verticalSpace, layout.verticalForward + 17);
    ASSERT_EQ(p.reciprocalSpace, layout.horizontalInverse + 17);
    const lkm::Image image = engine.image();

    for (const ScreenExpectation& c : screenExpectations) {
        SCOPED_TRACE(std::to_string(c.x) + "x" + std::to_string(c.y));
        const std::vector<uint8_t> plan = patchedImage(image, lkm::build(image, layout, c.x, c.y, true));
        std::set<uint32_t> written;
        const auto expect32 = [&](uint32_t offset, uint32_t value) {
            EXPECT_EQ(u32(plan, offset), value) << "at " << offset;
            for (uint32_t i = 0; i < 4; ++i) written.insert(offset + i);
        };
        const auto expectBytes = [&](uint32_t offset, const std::vector<uint8_t>& bytes) {
            EXPECT_EQ(run(plan, offset, uint32_t(bytes.size())), bytes) << "at " << offset;
            for (uint32_t i = 0; i < bytes.size(); ++i) written.insert(offset + i);
        };

        expect32(p.aspectOperand, c.aspect);
        for (uint32_t place : {p.horizontalScale, p.mouseHorizontalScale, p.rootWidth})
            expect32(place, c.width);
        for (uint32_t place : {p.verticalScale, p.mouseVerticalScale, p.rootHeight})
            expect32(place, c.height);
        expect32(p.horizontalReciprocal, c.widthReciprocal);
        expect32(p.reciprocalSpace, c.heightReciprocal);
        for (uint32_t reference : p.verticalReferences)
            expect32(reference, engine.address(p.reciprocalSpace));

        // E8 rel32 at the root GUI constructor: call horizontal trampoline
        expectBytes(p.rootInitializerCall, {0xE8});
        EXPECT_EQ(target(engine, plan, p.rootInitializerCall), engine.address(p.horizontalSpace));
        written.insert({p.rootInitializerCall + 1, p.rootInitializerCall + 2, p.rootInitializerCall + 3,
                        p.rootInitializerCall + 4});
        // C7 44 24 04 imm32: mov dword ptr [esp+4], horizontal offset; E9 rel32: jmp vertical trampoline
        expectBytes(p.horizontalSpace, {0xC7, 0x44, 0x24, 0x04});
        expect32(p.horizontalSpace + 4, c.horizontalOffset);
        expectBytes(p.horizontalSpace + 8, {0xE9});
        EXPECT_EQ(target(engine, plan, p.horizontalSpace + 8), engine.address(p.verticalSpace));
        // C7 44 24 08 imm32: mov dword ptr [esp+8], vertical offset; E9 rel32: jmp root GUI initializer
        expectBytes(p.verticalSpace, {0xC7, 0x44, 0x24, 0x08});
        expect32(p.verticalSpace + 4, c.verticalOffset);
        expectBytes(p.verticalSpace + 8, {0xE9});
        EXPECT_EQ(target(engine, plan, p.verticalSpace + 8), layout.rootInitializer);
        for (uint32_t space : {p.horizontalSpace, p.verticalSpace})
            for (uint32_t i = 9; i < 13; ++i) written.insert(space + i);

        // The rest of each space is still filler; the stock 1/768 and the code sharing it are untouched.
        EXPECT_EQ(run(plan, p.horizontalSpace + 13, 2), std::vector<uint8_t>(2, 0xCC));
        EXPECT_EQ(run(plan, p.verticalSpace + 13, 2), std::vector<uint8_t>(2, 0xCC));
        EXPECT_EQ(run(plan, p.reciprocalSpace + 4, 11), std::vector<uint8_t>(11, 0xCC));
        EXPECT_EQ(u32(plan, p.verticalReciprocal), lkm::test::stockHeightReciprocalBits);
        EXPECT_EQ(u32(plan, p.sharedReference), engine.address(p.verticalReciprocal));

        // Nothing else moved.
        for (uint32_t offset : changed(plan, engine.bytes()))
            EXPECT_TRUE(written.count(offset)) << "unexpected change at " << offset;
    }
}

TEST(PlanEngineImage, EarlierPatchedAndStockImagesArePatchedAlike) {
    const EngineImage stock = makeEngineImage();
    const EngineImage patched = stock.earlierPatched();
    const lkm::Image stockImage = stock.image(), oldImage = patched.image();
    for (bool keep : {false, true})
        for (const ScreenExpectation& c : screenExpectations)
            EXPECT_EQ(
                patchedImage(oldImage, lkm::build(oldImage, patched.expectedLayout(), c.x, c.y, keep)),
                patchedImage(stockImage, lkm::build(stockImage, stock.expectedLayout(), c.x, c.y, keep)))
                << c.x << "x" << c.y << " keep " << keep;
}

// The plan from the runs recognition kept is the plan of the whole image, run
// for run: the same offsets, the same expected and replacement bytes.
TEST(PlanEngineImage, PlanIsThePlanOfTheWholeImage) {
    std::size_t patches = 0;
    const EngineImage stock = makeEngineImage();
    for (const EngineImage& engine : {stock, stock.earlierPatched()}) {
        const lkm::Image image = engine.image();
        const lkm::Layout layout = lkm::inspect(image);
        EXPECT_EQ(lkm::test::layoutDifferences(layout, engine.expectedLayout()), "");
        for (bool keep : {false, true}) {
            for (const ScreenExpectation& c : screenExpectations) {
                const std::vector<lkm::Patch> plan = lkm::build(image, layout, c.x, c.y, keep);
                patches += plan.size();
                EXPECT_EQ(lkm::test::planDifferences(
                              plan, lkm::test::wholeImagePlan(image, layout, c.x, c.y, keep)),
                          "")
                    << c.x << "x" << c.y << " keep " << keep << " earlier patch " << engine.earlierPatch;
            }
        }
    }
    EXPECT_GT(patches, 100u);
}

} // namespace
