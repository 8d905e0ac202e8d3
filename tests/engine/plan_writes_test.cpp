// The plan as named writes: the lists of the fixture engine, the resolution of
// overlapping writes and the earlier-patch mark.
#include "lkm/plan_writes.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine_image.hpp"
#include "lkm/earlier_patch.hpp"
#include "lkm/inspect.hpp"
#include "message_of.hpp"
#include "pe_builder.hpp"

namespace {

using lkm::test::hexBytes;

TEST(PlanWrites, ListsOfTheFixtureNeitherOverlapNorRepeatAName) {
    const lkm::test::EngineImage engine = lkm::test::makeEngineImage();
    const lkm::Image image = engine.image();
    const lkm::Layout layout = engine.expectedLayout();
    const lkm::WriteTarget target = lkm::wholeImage(image);
    for (const std::vector<lkm::Write>& writes :
         {lkm::stockRestoringWrites(layout, target),
          lkm::patchingWrites(layout, lkm::patchValuesForResolution(1920, 1080), true, target)}) {
        const std::vector<lkm::Write> resolved = lkm::withoutOverlaps(writes);
        ASSERT_EQ(resolved.size(), writes.size());
        std::set<std::string> names;
        for (std::size_t i = 0; i < resolved.size(); ++i) {
            const std::string& name = resolved[i].name;
            EXPECT_TRUE(i == 0 || resolved[i - 1].end() <= resolved[i].offset) << name;
            EXPECT_TRUE(name == lkm::placeName::verticalGuiReference || names.insert(name).second) << name;
        }
        EXPECT_EQ(names.size(), writes.size() - layout.verticalReferences.size());
    }
}

TEST(PlanWrites, RestoringAnEarlierPatchGivesTheStockBytes) {
    const lkm::test::EngineImage patched = lkm::test::makeEngineImage().earlierPatched();
    const lkm::Image image = patched.image();
    std::vector<uint8_t> bytes = image.bytes.all();
    const lkm::WriteTarget target{image.base, bytes.size(), bytes.size()};
    lkm::applyWrites(bytes, lkm::stockRestoringWrites(patched.expectedLayout(), target));
    EXPECT_TRUE(bytes == patched.stock);
}

TEST(PlanWrites, WithoutOverlapsChangesWhatApplyingInOrderChanges) {
    struct Case {
        const char* name;
        std::vector<lkm::Write> inOrder;
        std::vector<uint32_t> offsets; // of the resolved writes
    };
    const std::vector<Case> cases{
        {"apart", {{"a", 4, hexBytes("11 11")}, {"b", 0, hexBytes("22 22")}}, {0, 4}},
        {"adjacent", {{"a", 0, hexBytes("11 11")}, {"b", 2, hexBytes("22")}}, {0, 2}},
        {"later inside", {{"a", 0, hexBytes("11 11 11 11")}, {"b", 1, hexBytes("22 22")}}, {0, 1, 3}},
        {"later over the end", {{"a", 0, hexBytes("11 11 11")}, {"b", 2, hexBytes("22 22")}}, {0, 2}},
        {"later over all", {{"a", 1, hexBytes("11")}, {"b", 0, hexBytes("22 22 22")}}, {0}},
        {"same place", {{"a", 2, hexBytes("11 11")}, {"b", 2, hexBytes("22 22")}}, {2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> inOrder(8, 0), resolved(8, 0);
        for (const lkm::Write& write : c.inOrder) lkm::applyWrites(inOrder, {write});
        const std::vector<lkm::Write> writes = lkm::withoutOverlaps(c.inOrder);
        lkm::applyWrites(resolved, writes);
        EXPECT_EQ(resolved, inOrder);
        std::vector<uint32_t> offsets;
        for (const lkm::Write& write : writes) offsets.push_back(write.offset);
        EXPECT_EQ(offsets, c.offsets);
    }
    std::vector<uint8_t> bytes(4, 0);
    EXPECT_EQ(lkm::test::messageOf([&] {
                  lkm::applyWrites(bytes, {{"a", 2, hexBytes("11 11 11")}});
              }),
              "Invalid patch range.");
}

TEST(PlanWrites, OnlyAnAspectBeyondFloatRoundingOfFourThirdsMarksAnEarlierPatch) {
    const std::vector<std::pair<uint32_t, bool>> cases{
        {0x3FAAAAAB, false}, {0x3FAAAAAA, false}, {0x3FAAAB00, true}, {0x3FE38E39, true}};
    for (const auto& [aspectBits, earlier] : cases) {
        lkm::Layout layout;
        layout.aspect = lkm::test::floatFromBits(aspectBits);
        EXPECT_EQ(lkm::cameraAspectShowsEarlierPatch(layout), earlier) << std::hex << aspectBits;
    }
}

// A 4:3 earlier patch moved the reciprocal but left the camera aspect: present, yet no notice.
TEST(PlanWrites, AnEarlierPatchIsAnyRestoredPlaceAndTheNoticeOnlyTheCameraAspect) {
    const lkm::test::EngineImage stock = lkm::test::makeEngineImage();
    const std::vector<std::tuple<const char*, lkm::test::EngineImage, bool, bool>> cases{
        {"stock", stock, false, false},
        {"16:9", stock.earlierPatched(), true, true},
        {"4:3", stock.earlierPatched({4.0f / 3.0f, 1024.0f, 819.2f}), true, false}};
    for (const auto& [name, engine, present, cameraAspect] : cases) {
        const lkm::Image image = engine.image();
        const lkm::EarlierPatch earlier = lkm::earlierPatchOf(lkm::inspect(image));
        EXPECT_EQ(earlier.present, present) << name;
        EXPECT_EQ(earlier.cameraAspect, cameraAspect) << name;
    }
}

} // namespace
