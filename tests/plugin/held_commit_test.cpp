// The commit holds the process's other threads while it writes, also those
// started after they were listed: on every way through the code is whole or
// untouched, nothing is allocated, protected or listed with the heap while a
// thread is held, and every thread is resumed and every handle closed once.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "fake_memory.hpp"
#include "held_threads.hpp"
#include "message_of.hpp"
#include "transaction.hpp"

namespace {

using Thread = lkm::plugin::test::FakeMemory::Thread;
using Calls = std::vector<std::string>;

constexpr char notHeld[] =
    "Cannot hold the game's other threads outside the code to patch; no patches applied.";

struct alignas(64) Code {
    std::array<uint8_t, 128> bytes{};
};

// `born`: how many listings of the threads miss it, as it starts after them.
Thread at(const Code& code, std::vector<std::size_t> offsets,
          lkm::plugin::Suspension suspension = lkm::plugin::Suspension::held, int born = 0) {
    Thread thread;
    thread.places.clear();
    for (std::size_t offset : offsets)
        thread.places.push_back(reinterpret_cast<uintptr_t>(&code.bytes[offset]));
    thread.suspension = suspension;
    thread.born = born;
    return thread;
}

// One listed thread and `count` started after the listing, all away from the patch.
std::vector<Thread> newborns(const Code& code, std::size_t count) {
    std::vector<Thread> threads(count + 1, at(code, {100}, lkm::plugin::Suspension::held, 1));
    threads.front().born = 0;
    return threads;
}

enum Fault { none, listFails, cannotRelist, relistFails, flushFails };

TEST(HeldCommit, EveryWayThroughResumesEveryThreadAndLeavesTheCodeWholeOrUntouched) {
    Code code; // the patch covers bytes 10..15
    Thread unreadable = at(code, {100}), stuck = at(code, {100});
    unreadable.places.clear();
    stuck.refusesResume = true;
    const Calls once{"list",     "id 0",    "id 1",     "suspend 0", "ip 0",    "suspend 1",
                     "ip 1",     "next 0",  "id 0",     "next 1",    "close 0", "id 1",
                     "next end", "close 1", "resume 0", "resume 1",  "close 0", "close 1"};
    const Calls exited{"list",    "id 0",     "id 1",    "suspend 0", "suspend 1", "ip 1",
                       "next 0",  "id 0",     "next 1",  "close 0",   "id 1",      "next end",
                       "close 1", "resume 1", "close 0", "close 1"};
    const std::size_t room = lkm::plugin::HeldThreads::newcomerRoom;
    const char* const done = "(none)";
    const char* const flushFailed = "Instruction cache flush failed; memory patches rolled back.";
    const auto held = lkm::plugin::Suspension::held, refused = lkm::plugin::Suspension::refused,
               gone = lkm::plugin::Suspension::gone;
    const struct {
        const char* name;
        std::vector<Thread> threads;
        Fault fault;
        const char* message;
        int tries;         // suspensions of thread 0; a yield comes before each but the first
        Calls threadCalls; // empty: not compared
    } cases[] = {
        {"elsewhere and on a first byte", {at(code, {100}), at(code, {10})}, none, done, 1, once},
        {"inside twice, then out", {at(code, {100}), at(code, {13, 15, 100})}, none, done, 3, {}},
        {"inside for good", {at(code, {100}), at(code, {13})}, none, notHeld, 64, {}},
        {"cannot be suspended", {at(code, {100}), at(code, {100}, refused)}, none, notHeld, 64, {}},
        {"exited", {at(code, {100}, gone), at(code, {100})}, none, done, 1, exited},
        {"place cannot be read", {unreadable}, none, notHeld, 64, {}},
        {"cannot be resumed", {stuck, at(code, {100})}, none, done, 1, once},
        {"not all listed", {at(code, {100})}, listFails, notHeld, 0, {"list", "close 0"}},
        {"flush fails while held", {at(code, {100})}, flushFails, flushFailed, 1, {}},
        {"born after the listing", {at(code, {100}), at(code, {100}, held, 1)}, none, done, 1, {}},
        {"born to a newborn", {at(code, {100}, held, 1), at(code, {100}, held, 2)}, none, done, 1, {}},
        {"born inside, then out", {at(code, {100}), at(code, {13, 100}, held, 1)}, none, done, 2, {}},
        {"newborn refused", {at(code, {100}), at(code, {100}, refused, 1)}, none, notHeld, 64, {}},
        {"newborns fill the room", newborns(code, room), none, done, 1, {}},
        {"newborns overflow the room", newborns(code, room + 1), none, notHeld, 64, {}},
        {"cannot list while held", {at(code, {100})}, cannotRelist, notHeld, 0, {}},
        {"listing again fails", {at(code, {100})}, relistFails, notHeld, 64, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < code.bytes.size(); ++i) code.bytes[i] = uint8_t(i * 5 + 3);
        auto expected = code.bytes;
        lkm::plugin::test::FakeMemory fake(code.bytes.data(), 64);
        fake.threads = c.threads;
        fake.listFails = c.fault == listFails;
        fake.cannotRelist = c.fault == cannotRelist;
        fake.relistFails = c.fault == relistFails;
        if (c.fault == flushFails) fake.failingFlushes = {1};
        bool heldAtFlush = true; // every thread that runs is suspended once when the new bytes are flushed
        fake.onFlush = [&] {
            for (const Thread& t : fake.threads)
                heldAtFlush =
                    heldAtFlush && (t.suspension != lkm::plugin::Suspension::held || t.suspended == 1);
        };
        const std::vector<uint8_t> replacement{0xE9, 1, 2, 3, 4, 0x90};
        lkm::plugin::Transaction transaction(fake, code.bytes.data(), lkm::plugin::test::collectWarning);
        transaction.add(
            {10, std::vector<uint8_t>(expected.begin() + 10, expected.begin() + 16), replacement});
        const std::string message = lkm::test::messageOf([&] { transaction.commit(); });

        EXPECT_EQ(message, c.message);
        EXPECT_EQ(transaction.committed, message == "(none)");
        if (transaction.committed) std::copy(replacement.begin(), replacement.end(), expected.begin() + 10);
        EXPECT_EQ(code.bytes, expected);
        EXPECT_TRUE(fake.changedPages().empty());
        EXPECT_EQ(fake.callsWhileHeld, 0);
        EXPECT_EQ(fake.badHandles, 0);
        EXPECT_TRUE(heldAtFlush);
        if (!c.threadCalls.empty()) {
            EXPECT_EQ(fake.threadCalls, c.threadCalls);
        }
        for (const Thread& t : fake.threads) {
            EXPECT_EQ(t.opened, 0);
            EXPECT_EQ(t.suspended == 0, !t.refusesResume);
        }
        EXPECT_EQ(std::count(fake.threadCalls.begin(), fake.threadCalls.end(), "suspend 0"), c.tries);
        EXPECT_EQ(std::count(fake.threadCalls.begin(), fake.threadCalls.end(), "yield"),
                  std::max(c.tries - 1, 0));
    }
}

} // namespace
