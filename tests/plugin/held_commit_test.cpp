// The commit holds the process's other threads while it writes: each scripted
// thread of the fake is suspended, read and resumed, and every way through
// leaves the code whole or untouched, every thread resumed and every handle closed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "fake_memory.hpp"
#include "message_of.hpp"
#include "transaction.hpp"

namespace {

using lwf::Suspension;
using Calls = std::vector<std::string>;
using Thread = lwftest::FakeMemory::Thread;

constexpr uint32_t page = 64;
constexpr char notHeld[] =
    "Cannot hold the game's other threads outside the code to patch; no patches applied.";
constexpr char flushFailed[] = "Instruction cache flush failed; memory patches rolled back.";

struct alignas(page) Code {
    std::array<uint8_t, 2 * page> bytes;
};

struct Case {
    const char* name;
    std::vector<Thread> threads;
    std::function<void(lwftest::FakeMemory&)> configure;
    const char* message; // "(none)" for a commit
    Calls threadCalls;   // empty: not compared
};

// Places in the code: the patch covers bytes 10..15 of the first page.
uintptr_t at(const Code& code, std::size_t offset) {
    return reinterpret_cast<uintptr_t>(code.bytes.data() + offset);
}

Thread standing(std::vector<uintptr_t> places) {
    Thread thread;
    thread.places = std::move(places);
    return thread;
}

TEST(HeldCommit, EveryWayThroughResumesEveryThreadAndLeavesTheCodeWholeOrUntouched) {
    Code code{};
    const uintptr_t outside = at(code, 100), first = at(code, 10), inside = at(code, 13);
    Thread refused = standing({outside}), gone = standing({outside}), unreadable = standing({outside}),
           stuck = standing({outside});
    refused.suspension = Suspension::refused;
    gone.suspension = Suspension::gone;
    unreadable.unreadable = true;
    stuck.refusesResume = true;
    const std::vector<Case> cases = {
        {"no other thread", {}, {}, "(none)", {"list"}},
        {"two threads elsewhere and on a patch's first byte",
         {standing({outside}), standing({first})},
         {},
         "(none)",
         {"list", "suspend 0", "ip 0", "suspend 1", "ip 1", "resume 0", "resume 1", "close 0", "close 1"}},
        {"a thread inside the patch twice, then out",
         {standing({outside}), standing({inside, at(code, 15), outside})},
         {},
         "(none)",
         {"list",      "suspend 0", "ip 0",      "suspend 1", "ip 1",     "resume 0", "resume 1", "yield",
          "suspend 0", "ip 0",      "suspend 1", "ip 1",      "resume 0", "resume 1", "yield",    "suspend 0",
          "ip 0",      "suspend 1", "ip 1",      "resume 0",  "resume 1", "close 0",  "close 1"}},
        {"a thread that stays inside the patch", {standing({outside}), standing({inside})}, {}, notHeld, {}},
        {"a thread that cannot be suspended", {standing({outside}), refused}, {}, notHeld, {}},
        {"a thread that exited",
         {gone, standing({outside})},
         {},
         "(none)",
         {"list", "suspend 0", "suspend 1", "ip 1", "resume 1", "close 0", "close 1"}},
        {"a thread whose place cannot be read", {unreadable}, {}, notHeld, {}},
        {"a thread that cannot be resumed",
         {stuck, standing({outside})},
         {},
         "(none)",
         {"list", "suspend 0", "ip 0", "suspend 1", "ip 1", "resume 0", "resume 1", "close 0", "close 1"}},
        {"threads that cannot all be listed",
         {standing({outside})},
         [](lwftest::FakeMemory& m) { m.listFails = true; },
         notHeld,
         {"list", "close 0"}},
        {"a flush that fails while the threads are held",
         {standing({outside})},
         [](lwftest::FakeMemory& m) { m.failingFlushes = {1}; },
         flushFailed,
         {"list", "suspend 0", "ip 0", "resume 0", "close 0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t i = 0; i < code.bytes.size(); ++i) code.bytes[i] = uint8_t(i * 5 + 3);
        const auto original = code.bytes;
        lwftest::FakeMemory fake(code.bytes.data(), page);
        fake.threads = c.threads;
        if (c.configure) c.configure(fake);
        // At the flush the new bytes are in place and every thread that runs is held.
        bool heldAtFlush = true;
        fake.onFlush = [&] {
            for (const Thread& t : fake.threads)
                if (t.suspension == Suspension::held && t.suspended != 1) heldAtFlush = false;
        };
        bool committed = false;
        const std::array<uint8_t, 6> replacement{0xE9, 1, 2, 3, 4, 0x90};
        const std::string message = lkmtest::messageOf([&] {
            lwf::Transaction transaction(fake, lwftest::collectWarning);
            transaction.add(code.bytes.data() + 10, original.data() + 10, replacement.data(), 6);
            transaction.commit();
            committed = transaction.committed;
        });
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(committed, message == "(none)");
        auto expected = original;
        if (committed) std::copy(replacement.begin(), replacement.end(), expected.begin() + 10);
        EXPECT_EQ(code.bytes, expected);
        EXPECT_TRUE(fake.changedPages().empty());
        EXPECT_EQ(fake.callsWhileHeld, 0);
        EXPECT_TRUE(heldAtFlush);
        if (!c.threadCalls.empty()) {
            EXPECT_EQ(fake.threadCalls, c.threadCalls);
        }
        for (const Thread& t : fake.threads) {
            EXPECT_EQ(t.opened, 0);
            EXPECT_EQ(t.suspended, t.refusesResume
                                       ? std::count(fake.threadCalls.begin(), fake.threadCalls.end(),
                                                    "resume " + std::to_string(&t - fake.threads.data()))
                                       : 0);
        }
        // A refusal gives up after a bounded number of tries, one yield between two.
        const auto yields = std::count(fake.threadCalls.begin(), fake.threadCalls.end(), "yield");
        if (message == notHeld && !fake.listFails) {
            EXPECT_EQ(yields, 63);
        }
    }
}

} // namespace
