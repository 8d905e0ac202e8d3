#include "transaction.hpp"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "fake_memory.hpp"
#include "message_of.hpp"

namespace {

using lkm::plugin::Transaction;
using lkm::plugin::test::FakeMemory;
using Calls = std::vector<std::string>;

constexpr uint32_t page = 64;

// Four pages of "game code" on a page boundary of the fake's page size.
struct alignas(page) Pages {
    std::array<uint8_t, 4 * page> bytes;
};

class TransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        lkm::plugin::test::warnings.clear();
        for (std::size_t i = 0; i < memory.bytes.size(); ++i) memory.bytes[i] = uint8_t(i * 7 + 1);
        original = memory.bytes;
    }

    uint8_t* at(std::size_t offset) { return memory.bytes.data() + offset; }

    // A patch of `count` bytes at `offset` that expects what is there now and writes `value`.
    void add(Transaction& transaction, std::size_t offset, unsigned count, uint8_t value = 0xAA) {
        transaction.add({uint32_t(offset), std::vector<uint8_t>(at(offset), at(offset) + count),
                         std::vector<uint8_t>(count, value)});
    }

    bool unchanged() const { return memory.bytes == original; }

    Pages memory{};
    std::array<uint8_t, 4 * page> original{};
    FakeMemory fake{memory.bytes.data(), page};
};

TEST_F(TransactionTest, CommitWritesEveryPatchAndGivesBackEachPageItsOwnProtection) {
    fake.seed(at(0), lkm::plugin::pageReadWrite);
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    add(transaction, 70, 3, 0x11); // page 1 first: the order of the changes follows the patches
    add(transaction, 10, 2, 0x22);
    transaction.commit();

    EXPECT_EQ(fake.calls, (Calls{"pageSize", "protect +64 64 40", "protect +0 64 40", "currentProcess",
                                 "flush process null 0", "protect +0 64 04", "protect +64 64 20"}));
    EXPECT_TRUE(transaction.committed);
    EXPECT_TRUE(transaction.protections.empty());
    EXPECT_TRUE(fake.changedPages().empty());
    EXPECT_TRUE(lkm::plugin::test::warnings.empty());
    auto expected = original;
    expected[70] = expected[71] = expected[72] = 0x11;
    expected[10] = expected[11] = 0x22;
    EXPECT_EQ(memory.bytes, expected);
}

TEST_F(TransactionTest, MismatchInTheLastByteOfAPatchStopsBeforeAnyChange) {
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    add(transaction, 0, 4);
    transaction.add(
        {100, {at(100)[0], at(100)[1], at(100)[2], uint8_t(at(100)[3] + 1)}, {0xBB, 0xBB, 0xBB, 0xBB}});

    EXPECT_EQ(lkm::test::messageOf([&] { transaction.commit(); }),
              "Game code changed during initialization; no patches applied.");
    EXPECT_EQ(fake.calls, Calls{"pageSize"});
    EXPECT_TRUE(unchanged());
    EXPECT_FALSE(transaction.committed);
}

TEST_F(TransactionTest, RefusedSecondOfThreePagesRestoresTheFirstAndWritesNothing) {
    fake.failingProtects = {2};
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    add(transaction, 60, 80); // pages 0, 1 and 2

    EXPECT_EQ(lkm::test::messageOf([&] { transaction.commit(); }),
              "Cannot make the game patch pages writable.");
    EXPECT_EQ(fake.calls, (Calls{"pageSize", "protect +0 64 40", "protect +64 64 40", "protect +0 64 20"}));
    EXPECT_TRUE(unchanged());
    EXPECT_TRUE(fake.changedPages().empty());
    EXPECT_TRUE(transaction.protections.empty());
    EXPECT_TRUE(lkm::plugin::test::warnings.empty());
    EXPECT_FALSE(transaction.committed);
}

TEST_F(TransactionTest, FailedFlushWritesTheExpectedBytesBackFlushesAgainAndRestores) {
    fake.failingFlushes = {1};
    std::vector<std::array<uint8_t, 4 * page>> seenAtFlush;
    fake.onFlush = [&] { seenAtFlush.push_back(memory.bytes); };
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    add(transaction, 5, 3, 0x11);
    add(transaction, 130, 4, 0x22);

    EXPECT_EQ(lkm::test::messageOf([&] { transaction.commit(); }),
              "Instruction cache flush failed; memory patches rolled back.");
    EXPECT_EQ(fake.calls, (Calls{"pageSize", "protect +0 64 40", "protect +128 64 40", "currentProcess",
                                 "flush process null 0", "currentProcess", "flush process null 0",
                                 "protect +128 64 20", "protect +0 64 20"}));
    ASSERT_EQ(seenAtFlush.size(), 2u);
    EXPECT_EQ(seenAtFlush[0][5], 0x11); // the first flush saw the new bytes
    EXPECT_EQ(seenAtFlush[0][133], 0x22);
    EXPECT_EQ(seenAtFlush[1], original); // the second one the old
    EXPECT_TRUE(unchanged());
    EXPECT_TRUE(fake.changedPages().empty());
    EXPECT_FALSE(transaction.committed);
}

TEST_F(TransactionTest, TwoFailedRestoresInOnePassWarnOnce) {
    fake.failingProtects = {4, 6}; // protect calls 4..6 are the restores of pages 2, 1, 0
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    add(transaction, 0, 1);
    add(transaction, 64, 1);
    add(transaction, 128, 1);
    transaction.commit();

    EXPECT_EQ(lkm::plugin::test::warnings,
              Calls{"Warning: Windows could not restore an original page protection."});
    EXPECT_TRUE(transaction.committed);
    EXPECT_TRUE(transaction.protections.empty());
    EXPECT_EQ(fake.changedPages(), (std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(at(0)),
                                                           reinterpret_cast<uintptr_t>(at(128))}));
    EXPECT_EQ(memory.bytes[64], 0xAA);
}

TEST_F(TransactionTest, PagesAreMadeWritableOncePerPage) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::size_t, unsigned>> patches; // (offset, length)
        Calls protects;                                        // the protect calls while making writable
    };
    const std::vector<Case> cases{
        {"two patches on one page", {{3, 2}, {40, 8}}, {"protect +0 64 40"}},
        {"patch across a page boundary", {{62, 4}}, {"protect +0 64 40", "protect +64 64 40"}},
        {"patch ending on the last byte of a page", {{60, 4}}, {"protect +0 64 40"}},
        {"second patch reusing both pages",
         {{62, 4}, {70, 1}, {10, 1}},
         {"protect +0 64 40", "protect +64 64 40"}},
        {"patch over three pages",
         {{63, 66}},
         {"protect +0 64 40", "protect +64 64 40", "protect +128 64 40"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeMemory memoryServices(memory.bytes.data(), page);
        Transaction transaction(memoryServices, at(0), lkm::plugin::test::collectWarning);
        for (const auto& [offset, length] : c.patches) add(transaction, offset, length);
        transaction.commit();
        const Calls writable(memoryServices.calls.begin() + 1,
                             memoryServices.calls.begin() +
                                 static_cast<std::ptrdiff_t>(1 + c.protects.size()));
        EXPECT_EQ(writable, c.protects);
        EXPECT_EQ(memoryServices.calls.size(), 1 + 2 * c.protects.size() + 2);
        EXPECT_TRUE(memoryServices.changedPages().empty());
        memory.bytes = original;
    }
}

TEST_F(TransactionTest, EmptyCommitOnlyAsksThePageSizeAndFlushes) {
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    transaction.commit();
    EXPECT_EQ(fake.calls, (Calls{"pageSize", "currentProcess", "flush process null 0"}));
    EXPECT_TRUE(transaction.committed);
}

TEST_F(TransactionTest, AddRefusesEmptyAndOverlappingPatchesAndKeepsAdjacentOnes) {
    Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
    EXPECT_EQ(lkm::test::messageOf([&] { add(transaction, 10, 0); }), "Empty memory patch.");
    add(transaction, 10, 5); // [10, 15)
    add(transaction, 15, 1); // adjacent after
    add(transaction, 8, 2);  // adjacent before
    for (const auto& range : std::vector<std::pair<std::size_t, unsigned>>{
             {10, 5}, {14, 1}, {12, 1}, {9, 2}, {5, 20}, {13, 10}, {7, 2}})
        EXPECT_EQ(lkm::test::messageOf([&] { add(transaction, range.first, range.second); }),
                  "Overlapping memory patches.")
            << range.first << "+" << range.second;
    ASSERT_EQ(transaction.patches.size(), 3u);
    EXPECT_EQ(transaction.patches[0].offset, 10u);
    EXPECT_EQ(transaction.target(transaction.patches[0]), at(10));
    EXPECT_EQ(transaction.patches[0].expected, std::vector<uint8_t>(at(10), at(15)));
    EXPECT_EQ(transaction.patches[0].replacement, std::vector<uint8_t>(5, 0xAA));
    EXPECT_TRUE(fake.calls.empty()); // nothing touched the memory services
    EXPECT_TRUE(unchanged());
}

// A module whose last offset is the last byte of the address space.
uint8_t* const highBase = reinterpret_cast<uint8_t*>(std::numeric_limits<uintptr_t>::max() - 0xFFFFFFFFu);
constexpr uint32_t last = 0xFFFFFFFF;

TEST_F(TransactionTest, OverlapAtTheTopOfTheAddressSpaceIsNotHiddenByWrapping) {
    Transaction transaction(fake, highBase, lkm::plugin::test::collectWarning);
    const std::vector<uint8_t> four{1, 2, 3, 4};
    transaction.add({last - 3, four, four}); // ends on the last byte
    EXPECT_EQ(lkm::test::messageOf([&] {
                  transaction.add({last - 1, {1}, {1}});
              }),
              "Overlapping memory patches.");
    EXPECT_EQ(lkm::test::messageOf([&] { transaction.add({16, four, four}); }), "(none)");
    EXPECT_EQ(lkm::test::messageOf([&] { transaction.add({last - 8, four, four}); }), "(none)");
    EXPECT_EQ(lkm::test::messageOf([&] {
                  transaction.add({last - 5, four, four});
              }),
              "Overlapping memory patches.");
    EXPECT_EQ(transaction.target(transaction.patches[0]),
              reinterpret_cast<uint8_t*>(std::numeric_limits<uintptr_t>::max() - 3));
}

TEST_F(TransactionTest, PatchPastTheTopOfTheAddressSpaceOrOfUnequalLengthsIsRefused) {
    const uintptr_t top = std::numeric_limits<uintptr_t>::max();
    const struct {
        const char* name;
        uintptr_t base;
        lkm::Patch patch;
        const char* message;
    } cases[] = {
        {"bytes past the top", top - 15, {13, {1, 2, 3, 4}, {1, 2, 3, 4}}, "Invalid patch range."},
        {"offset past the top", top - 1, {last, {1}, {1}}, "Invalid patch range."},
        {"last byte on the top", top - 15, {12, {1, 2, 3, 4}, {1, 2, 3, 4}}, "(none)"},
        {"longer replacement", 0x1000, {0, {1, 2}, {1, 2, 3}}, "Invalid patch range."},
        {"shorter replacement", 0x1000, {0, {1, 2}, {1}}, "Invalid patch range."},
        {"no bytes", 0x1000, {0, {}, {}}, "Empty memory patch."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Transaction transaction(fake, reinterpret_cast<uint8_t*>(c.base), lkm::plugin::test::collectWarning);
        EXPECT_EQ(lkm::test::messageOf([&] { transaction.add(c.patch); }), c.message);
        EXPECT_EQ(transaction.patches.size(), c.message == std::string("(none)") ? 1u : 0u);
    }
}

TEST_F(TransactionTest, DestructorGivesBackPagesWhenAnExceptionLeftTheCommit) {
    fake.throwingProtect = 3;
    fake.seed(at(64), lkm::plugin::pageReadWrite);
    {
        Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
        add(transaction, 60, 80); // pages 0, 1 and 2
        EXPECT_THROW(transaction.commit(), std::bad_alloc);
        EXPECT_EQ(transaction.protections.size(), 2u);
        EXPECT_EQ(fake.changedPages().size(), 2u);
        EXPECT_TRUE(unchanged());
    }
    EXPECT_EQ(fake.calls, (Calls{"pageSize", "protect +0 64 40", "protect +64 64 40", "protect +128 64 40",
                                 "pageSize", "protect +64 64 04", "protect +0 64 20"}));
    EXPECT_TRUE(fake.changedPages().empty());
    EXPECT_TRUE(unchanged()); // the destructor never writes game bytes
}

TEST_F(TransactionTest, DestructorAfterACommitTouchesNothing) {
    {
        Transaction transaction(fake, at(0), lkm::plugin::test::collectWarning);
        add(transaction, 0, 1);
        transaction.commit();
    }
    EXPECT_EQ(fake.calls.size(), 5u); // pageSize, protect, currentProcess, flush, restore
}

} // namespace
