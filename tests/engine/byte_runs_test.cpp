// Runs of bytes at image offsets: ranges joined where they overlap or touch,
// copied ranges joined with those already held, and changed runs that are
// maximal, so that two changes next to each other stay one patch.
#include "lkm/byte_runs.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_of.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

std::string shown(const std::vector<lkm::Run>& ranges) {
    std::string out;
    for (const lkm::Run& r : ranges) out += std::to_string(r.offset) + "+" + std::to_string(r.length) + " ";
    return out;
}

std::string shown(const std::vector<lkm::ByteRun>& runs) {
    std::string out;
    for (const lkm::ByteRun& r : runs) {
        out += std::to_string(r.offset) + ":";
        for (uint8_t b : r.bytes) out += std::to_string(b) + ",";
        out += " ";
    }
    return out;
}

TEST(ByteRuns, RangesThatOverlapOrTouchAreJoined) {
    struct Case {
        std::vector<lkm::Run> ranges;
        std::string merged;
    };
    const Case cases[] = {
        {{}, ""},
        {{{10, 4}, {0, 2}}, "0+2 10+4 "},
        {{{0, 4}, {4, 2}}, "0+6 "},         // touching
        {{{0, 4}, {2, 1}, {3, 5}}, "0+8 "}, // inside, then past the end
        {{{0, 4}, {5, 1}}, "0+4 5+1 "},     // one byte apart
        {{{8, 0}, {2, 6}}, "2+6 "},         // an empty range where another ends
    };
    for (const Case& c : cases) EXPECT_EQ(shown(lkm::mergedRanges(c.ranges)), c.merged);
}

TEST(ByteRuns, ACopiedRangeJoinsTheRunsItMeetsAndTheirBytesWin) {
    Bytes image(32);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i);
    const lkm::ImageBytes bytes(image);
    std::vector<lkm::ByteRun> runs = {{4, {104, 105}}, {10, {110}}};
    lkm::addCopiedRange(runs, bytes, 6, 4); // touches both
    EXPECT_EQ(shown(runs), "4:104,105,6,7,8,9,110, ");
    lkm::addCopiedRange(runs, bytes, 20, 2);
    lkm::addCopiedRange(runs, bytes, 0, 1);
    EXPECT_EQ(shown(runs), "0:0, 4:104,105,6,7,8,9,110, 20:20,21, ");
    EXPECT_EQ(lkm::test::messageOf([&] { lkm::addCopiedRange(runs, bytes, 31, 2); }), "Invalid image range.");
}

TEST(ByteRuns, ChangedRunsAreMaximalAndPiecesLieInsideOneRun) {
    std::vector<lkm::ByteRun> before = {{0, {1, 2, 3, 4, 5, 6}}, {6, {7, 8}}, {20, {9, 9, 9}}};
    std::vector<lkm::ByteRun> after = before;
    lkm::layOver(after, {4, {0, 0}});  // the end of the first run
    lkm::layOver(after, {6, {0}});     // the start of the next one, touching it
    lkm::layOver(after, {21, {7, 9}}); // the second byte equal: one changed byte
    EXPECT_EQ(shown(lkm::changedRuns(before, after)), "4:0,0, 6:0, 21:7, ");
    EXPECT_EQ(lkm::test::messageOf([&] { lkm::layOver(after, {7, {1, 1}}); }), "Invalid patch range.");
    EXPECT_EQ(lkm::bytesIn(before, 2, 3), (Bytes{3, 4, 5}));
    EXPECT_TRUE(lkm::bytesIn(before, 5, 2).empty()) << "across two runs";
    EXPECT_TRUE(lkm::bytesIn(before, 23, 1).empty()) << "past the last run";
}

} // namespace
