#include "plan_patches.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fake_memory.hpp"
#include "lkm/diff.hpp"

namespace {

using Runs = std::vector<std::pair<std::size_t, std::size_t>>; // (first index, length)

Runs pairsOf(const std::vector<lkm::Run>& runs) {
    Runs out;
    for (const lkm::Run& run : runs) out.push_back({run.offset, run.length});
    return out;
}

TEST(PlanPatches, EveryMaximalRunOfChangedBytesIsOnePatchInAscendingOrder) {
    struct Case {
        const char* name;
        std::vector<std::size_t> changed; // indices where the plan differs
        Runs runs;
    };
    const std::vector<Case> cases{
        {"plan equal to the snapshot", {}, {}},
        {"first byte of the image", {0}, {{0, 1}}},
        {"last byte of the image", {31}, {{31, 1}}},
        {"runs separated by one unchanged byte", {4, 5, 7, 8}, {{4, 2}, {7, 2}}},
        {"touching changed bytes", {10, 11, 12, 13}, {{10, 4}}},
        {"runs at both ends", {0, 1, 30, 31}, {{0, 2}, {30, 2}}},
        {"every byte", {}, {{0, 32}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> snapshot(32);
        for (std::size_t i = 0; i < snapshot.size(); ++i) snapshot[i] = uint8_t(i);
        std::vector<uint8_t> plan = snapshot;
        for (std::size_t i : c.changed) plan[i] ^= 0x80;
        if (std::string(c.name) == "every byte")
            for (uint8_t& byte : plan) byte = uint8_t(~byte);

        std::vector<uint8_t> live(32);
        lkm::plugin::test::FakeMemory memory(live.data());
        lkm::plugin::Transaction transaction(memory, lkm::plugin::test::collectWarning);
        lkm::plugin::addPlanPatches(transaction, live.data(), snapshot, plan, {{0, uint32_t(plan.size())}});

        ASSERT_EQ(transaction.patches.size(), c.runs.size());
        for (std::size_t k = 0; k < c.runs.size(); ++k) {
            const auto [first, length] = c.runs[k];
            const lkm::plugin::Patch& patch = transaction.patches[k];
            EXPECT_EQ(patch.target, live.data() + first);
            EXPECT_EQ(patch.expected,
                      std::vector<uint8_t>(snapshot.begin() + static_cast<std::ptrdiff_t>(first),
                                           snapshot.begin() + static_cast<std::ptrdiff_t>(first + length)));
            EXPECT_EQ(patch.replacement,
                      std::vector<uint8_t>(plan.begin() + static_cast<std::ptrdiff_t>(first),
                                           plan.begin() + static_cast<std::ptrdiff_t>(first + length)));
        }
        EXPECT_TRUE(memory.calls.empty());
    }
}

// The runs on random lengths and sparse changes (runs that start, end and cross
// every alignment) are those of a byte-by-byte walk.
TEST(PlanPatches, RunsAgreeWithAByteWalkOnRandomPlans) {
    std::mt19937 random(1312);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> snapshot(random() % 200);
        for (uint8_t& byte : snapshot) byte = uint8_t(random());
        std::vector<uint8_t> plan = snapshot;
        for (std::size_t i = 0; i < plan.size(); ++i)
            if (random() % 8 == 0) plan[i] ^= uint8_t(1 + random() % 255);
        Runs expected;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            if (plan[i] == snapshot[i]) continue;
            if (!expected.empty() && expected.back().first + expected.back().second == i)
                ++expected.back().second;
            else
                expected.push_back({i, 1});
        }
        ASSERT_EQ(pairsOf(lkm::differingRuns(snapshot, plan)), expected) << "round " << round;
    }
}

// Compared inside ranges that hold every change (in any order, overlapping,
// touching, reaching past the end), the runs are those of the whole vectors:
// a run across touching ranges stays one run.
TEST(PlanPatches, RunsWithinRangesAreTheRunsOfTheWholeVectors) {
    std::mt19937 random(2713);
    std::size_t runs = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> snapshot(1 + random() % 200);
        for (uint8_t& byte : snapshot) byte = uint8_t(random());
        std::vector<uint8_t> plan = snapshot;
        std::vector<lkm::Run> ranges;
        for (uint32_t k = random() % 8, at = 0; k > 0; --k) {
            at = random() % 3 ? at : uint32_t(random() % snapshot.size()); // mostly touching the last
            const uint32_t length = uint32_t(random() % 24);
            for (uint32_t i = at; i < at + length && i < plan.size(); ++i)
                if (random() % 3) plan[i] ^= uint8_t(1 + random() % 255);
            ranges.push_back({at, length});
            at += length;
        }
        std::shuffle(ranges.begin(), ranges.end(), random);
        const Runs whole = pairsOf(lkm::differingRuns(snapshot, plan));
        ASSERT_EQ(pairsOf(lkm::differingRunsWithin(snapshot, plan, ranges)), whole) << "round " << round;
        runs += whole.size();
    }
    EXPECT_GT(runs, 500u);
}

TEST(PlanPatches, PlanOfAnotherLengthIsRefused) {
    const std::vector<uint8_t> snapshot(16, 1);
    const std::vector<uint8_t> plan(17, 1);
    std::vector<uint8_t> live(17);
    lkm::plugin::test::FakeMemory memory(live.data());
    lkm::plugin::Transaction transaction(memory, lkm::plugin::test::collectWarning);
    try {
        lkm::plugin::addPlanPatches(transaction, live.data(), snapshot, plan, {{0, uint32_t(plan.size())}});
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid patch range.");
    }
    EXPECT_TRUE(transaction.patches.empty());
}

} // namespace
