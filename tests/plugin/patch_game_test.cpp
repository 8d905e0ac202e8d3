// The start-up's memory steps over the synthetic engine at 1920 x 1080 with the
// proportional UI: plan patches, gateways, pin and commit against plain buffers,
// with each service failing in turn. Whatever fails, the module is left as it
// was, no protection stays changed and the gateway page is released exactly
// once by the error path; a commit that succeeds keeps its page.
#include "patch_game.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine_image.hpp"
#include "fake_memory.hpp"
#include "gateways.hpp"
#include "globals.hpp"
#include "lkm/machine_code.hpp"
#include "lkm/plan.hpp"
#include "whole_image_plan.hpp"

namespace {

constexpr uint32_t page = 4096;
constexpr char warning[] = "Warning: Windows could not restore an original page protection.";
const std::array<uint32_t, 5> hookAddresses = {0x10001000, 0x10001040, 0x10001080, 0x100010C0, 0x10001100};

struct alignas(page) Page {
    uint8_t bytes[page];
};

// The transaction's fake services, plus a gateway page that is a real buffer.
// Every call goes into the fake's call log; the gateway page's lines name it.
class GatewayMemory final : public lkm::plugin::MemoryServices {
public:
    explicit GatewayMemory(lkm::plugin::test::FakeMemory& fakeMemory) : fake(fakeMemory) {}

    lkm::plugin::test::FakeMemory& fake;
    bool failAllocate = false;
    Page gatewayPage{};
    std::vector<void*> released;

    uint32_t pageSize() override { return fake.pageSize(); }
    bool protect(void* address, std::size_t size, uint32_t protection, uint32_t* previous) override {
        const bool done = fake.protect(address, size, protection, previous);
        if (address == gatewayPage.bytes)
            fake.calls.back() = "protect gateway " + std::to_string(size) + " " + hex(protection);
        return done;
    }
    void* currentProcess() override { return fake.currentProcess(); }
    bool flushInstructionCache(void* process, const void* address, std::size_t size) override {
        const bool done = fake.flushInstructionCache(process, address, size);
        if (address == gatewayPage.bytes) fake.calls.back() += " gateway";
        return done;
    }
    void* allocate(std::size_t size, uint32_t protection) override {
        fake.calls.push_back("allocate " + std::to_string(size) + " " + hex(protection));
        if (failAllocate) return nullptr;
        fake.seed(gatewayPage.bytes, protection);
        return gatewayPage.bytes;
    }
    bool release(void* address) override {
        fake.calls.push_back(address == gatewayPage.bytes ? "release gateway" : "release other");
        released.push_back(address);
        fake.pages.erase(reinterpret_cast<uintptr_t>(address)); // gone, with its protection
        return true;
    }

    bool readyToRelist() override { return fake.readyToRelist(); }
    bool otherThreads(std::vector<void*>& threads) override { return fake.otherThreads(threads); }
    lkm::plugin::NextThread nextThread(void* thread, void** next) override {
        return fake.nextThread(thread, next);
    }
    uint32_t threadId(void* thread) override { return fake.threadId(thread); }
    lkm::plugin::Suspension suspend(void* thread) override { return fake.suspend(thread); }
    bool instructionPointer(void* thread, uintptr_t* address) override {
        return fake.instructionPointer(thread, address);
    }
    bool resume(void* thread) override { return fake.resume(thread); }
    void yield() override { fake.yield(); }
    void closeThread(void* thread) override { fake.closeThread(thread); }

private:
    static std::string hex(uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "%02X", unsigned(value));
        return text;
    }
};

// The pin step, as a plain function like the plug-in's.
std::vector<std::string>* pinLog = nullptr;
bool pinRefused = false;
void pin() {
    pinLog->push_back("pin");
    if (pinRefused) throw std::runtime_error("Cannot pin the plugin module.");
}

class PatchGame : public ::testing::Test {
protected:
    void SetUp() override {
        const lkm::test::EngineImage engine = lkm::test::makeEngineImage();
        snapshotBytes = engine.bytes();
        layout = engine.expectedLayout();
        const lkm::Image image = engine.image();
        plan = lkm::build(image, layout, 1920, 1080, true);
        committedBytes = lkm::test::patchedImage(image, plan);
        for (std::size_t k = 0; k < layout.setters.size(); ++k) {
            const std::vector<uint8_t> jump =
                lkm::redirectionBytes(base + layout.setters[k], hookAddresses[k]);
            std::copy(jump.begin(), jump.end(),
                      committedBytes.begin() + static_cast<std::ptrdiff_t>(layout.setters[k]));
        }
        pages.resize((snapshotBytes.size() + page - 1) / page);
        live = pages.front().bytes;
    }

    struct Outcome {
        std::string message = "none";
        bool committed = false;
        void* page = nullptr;
        std::vector<void*> released;
        std::vector<std::string> calls;
        std::vector<uintptr_t> changedPages;
        std::vector<std::string> warnings;
        std::vector<uint8_t> before, after; // the live module around the run
        std::vector<uint8_t> gateways;      // a copy of the gateway page afterwards
    };

    // What goes wrong in a run; an empty function injects nothing.
    using ModuleFault =
        std::function<void(lkm::Layout& layout, std::vector<lkm::Patch>& plan, uint8_t* live)>;
    struct Faults {
        std::function<void(GatewayMemory&)> memory;
        ModuleFault module;
        bool pinRefused = false;
    };
    static Faults memoryFault(std::function<void(GatewayMemory&)> fault) {
        Faults faults;
        faults.memory = std::move(fault);
        return faults;
    }
    static Faults moduleFault(ModuleFault fault) {
        Faults faults;
        faults.module = std::move(fault);
        return faults;
    }
    static Faults pinFault() {
        Faults faults;
        faults.pinRefused = true;
        return faults;
    }
    // One start-up's memory steps from a fresh copy of the module, then what its
    // error path does with the gateway page.
    Outcome run(const Faults& faults) {
        lkm::Layout recognised = layout;
        std::vector<lkm::Patch> planned = plan;
        std::memcpy(live, snapshotBytes.data(), snapshotBytes.size());
        if (faults.module) faults.module(recognised, planned, live);

        memory.reset(); // before the fake it refers to
        fake = std::make_unique<lkm::plugin::test::FakeMemory>(live, page);
        memory = std::make_unique<GatewayMemory>(*fake);
        if (faults.memory) faults.memory(*memory);
        lkm::plugin::test::warnings.clear();
        pinLog = &fake->calls;
        pinRefused = faults.pinRefused;
        lkm::plugin::originalSetters = {};

        Outcome out;
        out.before.assign(live, live + snapshotBytes.size());
        try {
            lkm::plugin::patchGame(*memory, {base, live, recognised, planned, hookAddresses}, pin,
                                   lkm::plugin::test::collectWarning, out.page, out.committed);
        } catch (const std::runtime_error& error) {
            out.message = error.what();
        }
        // The start-up's error handler does this after its stop line; after a
        // commit it must do nothing.
        lkm::plugin::releaseGatewayPage(*memory, out.page, out.committed);

        out.after.assign(live, live + snapshotBytes.size());
        out.released = memory->released;
        out.calls = fake->calls;
        out.changedPages = fake->changedPages();
        out.warnings = lkm::plugin::test::warnings;
        out.gateways.assign(memory->gatewayPage.bytes, memory->gatewayPage.bytes + page);
        return out;
    }

    // Calls of the commit itself in the run, from its page size query on.
    static std::vector<std::string> commitCalls(const Outcome& out) {
        const auto start = std::find(out.calls.begin(), out.calls.end(), "pageSize");
        return {start, out.calls.end()};
    }

    static constexpr uint32_t base = 0x00400000;
    std::vector<uint8_t> snapshotBytes, committedBytes;
    std::vector<lkm::Patch> plan;
    lkm::Layout layout;
    std::vector<Page> pages; // the live module, on page boundaries
    uint8_t* live = nullptr;
    std::unique_ptr<lkm::plugin::test::FakeMemory> fake; // of the last run
    std::unique_ptr<GatewayMemory> memory;
};

TEST_F(PatchGame, CommitWritesPlanAndRedirectionsAndKeepsTheGatewayPage) {
    const Outcome out = run({});
    ASSERT_EQ(out.message, "none");
    EXPECT_TRUE(out.committed);
    EXPECT_EQ(out.page, memory->gatewayPage.bytes);
    EXPECT_TRUE(out.released.empty()) << "a committed page belongs to the process";
    EXPECT_TRUE(out.after == committedBytes) << "every planned byte and every redirection is live";

    // Gateway k at page + 16 k runs the setter's first instruction and jumps behind it.
    const uint8_t* const gateways = static_cast<const uint8_t*>(out.page);
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const std::vector<uint8_t> code = lkm::gatewayBytes(
            lkm::cvar::setterPrologue, lkm::plugin::address32(gateways + 16 * k), base + layout.setters[k]);
        EXPECT_TRUE(
            std::equal(code.begin(), code.end(), out.gateways.begin() + static_cast<std::ptrdiff_t>(16 * k)));
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(lkm::plugin::originalSetters[k]), gateways + 16 * k);
    }

    // The order of the start-up: page, gateways made executable and flushed, pin, commit.
    const std::vector<std::string> head(out.calls.begin(), out.calls.begin() + 6);
    EXPECT_EQ(head, (std::vector<std::string>{"allocate 4096 04", "protect gateway 4096 20", "currentProcess",
                                              "flush process address 4096 gateway", "pin", "pageSize"}));
    const std::vector<std::string> commit = commitCalls(out);
    EXPECT_EQ(std::count(commit.begin(), commit.end(), "flush process null 0"), 1);
    EXPECT_EQ(out.changedPages, std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(out.page)})
        << "only the gateway page keeps its new protection, execute-read";
    EXPECT_TRUE(out.warnings.empty());
}

TEST_F(PatchGame, RefusedRestoreAfterTheCommitOnlyWarns) {
    // Protect calls: 1 the gateway page, then one change per game page, then the restores.
    const Outcome clean = run({});
    const std::vector<std::string> commit = commitCalls(clean);
    const int changes = int(std::count_if(commit.begin(), commit.end(), [](const std::string& call) {
        return call.rfind("protect", 0) == 0 && call.substr(call.size() - 2) == "40";
    }));
    ASSERT_GE(changes, 3) << "the plan spans code and constant pages";

    const Outcome out =
        run(memoryFault([&](GatewayMemory& m) { m.fake.failingProtects = {1 + changes + 1}; }));
    EXPECT_EQ(out.message, "none");
    EXPECT_TRUE(out.committed);
    EXPECT_TRUE(out.released.empty());
    EXPECT_TRUE(out.after == committedBytes);
    EXPECT_EQ(out.warnings, std::vector<std::string>{warning});
    EXPECT_EQ(out.changedPages.size(), 2u) << "the gateway page and the page Windows kept writable";
}

TEST_F(PatchGame, EveryFailureLeavesTheGameAsItWasAndReleasesThePageOnce) {
    struct Case {
        const char* message;
        Faults faults;
        bool allocated; // the gateway page existed when the failure came
        bool pinned;    // the pin step ran
    };
    const uint32_t aspect = layout.aspectOperand;
    const uint32_t setter = layout.setters[3];
    const Case cases[] = {
        {"Cannot allocate CVar gateways.", memoryFault([](GatewayMemory& m) { m.failAllocate = true; }),
         false, false},
        // Another tool's jump over a setter entry, as recognition found it.
        {"Unsupported CVar hook instruction.",
         moduleFault([&](lkm::Layout& recognised, std::vector<lkm::Patch>&, uint8_t*) {
             for (lkm::ByteRun& run : recognised.original)
                 if (setter >= run.offset && setter < run.end()) run.bytes[setter - run.offset] = 0xE9;
         }),
         true, false},
        {"Cannot protect CVar gateways.", memoryFault([](GatewayMemory& m) { m.fake.failingProtects = {1}; }),
         true, false},
        {"Cannot flush CVar gateways.", memoryFault([](GatewayMemory& m) { m.fake.failingFlushes = {1}; }),
         true, false},
        {"Cannot pin the plugin module.", pinFault(), true, true},
        // A byte of the camera aspect that the plan changes, changed in the live
        // game after recognition.
        {"Game code changed during initialization; no patches applied.",
         moduleFault(
             [&](lkm::Layout&, std::vector<lkm::Patch>&, uint8_t* module) { module[aspect + 1] ^= 0x01; }),
         true, true},
        // The first game page is made writable, the second is refused.
        {"Cannot make the game patch pages writable.",
         memoryFault([](GatewayMemory& m) { m.fake.failingProtects = {3}; }), true, true},
        {"Instruction cache flush failed; memory patches rolled back.",
         memoryFault([](GatewayMemory& m) { m.fake.failingFlushes = {2}; }), true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Outcome out = run(c.faults);
        EXPECT_EQ(out.message, c.message);
        EXPECT_FALSE(out.committed);
        EXPECT_TRUE(out.after == out.before) << "the live module is as it was";
        EXPECT_TRUE(out.changedPages.empty()) << "no protection is left changed";
        EXPECT_TRUE(out.warnings.empty());
        EXPECT_EQ(std::count(out.calls.begin(), out.calls.end(), "pin"), c.pinned ? 1 : 0);
        // Before the pin no protection of the game has been asked for.
        if (!c.pinned) {
            EXPECT_TRUE(commitCalls(out).empty());
        }
        if (c.allocated) {
            ASSERT_NE(out.page, nullptr);
            EXPECT_EQ(out.released, std::vector<void*>{out.page});
            EXPECT_EQ(out.calls.back(), "release gateway") << "the page goes last, after everything else";
        } else {
            EXPECT_EQ(out.page, nullptr);
            EXPECT_TRUE(out.released.empty());
        }
    }
}

TEST(ReleaseGatewayPage, OnlyAnAllocatedPageThatNeverWentLive) {
    uint8_t anchor = 0;
    lkm::plugin::test::FakeMemory fake(&anchor);
    GatewayMemory memory(fake);
    lkm::plugin::releaseGatewayPage(memory, nullptr, false);
    lkm::plugin::releaseGatewayPage(memory, memory.gatewayPage.bytes, true);
    EXPECT_TRUE(memory.released.empty());
    lkm::plugin::releaseGatewayPage(memory, memory.gatewayPage.bytes, false);
    EXPECT_EQ(memory.released, std::vector<void*>{memory.gatewayPage.bytes});
}

} // namespace
