// Fault injection over a start-up-sized commit: the plan of the synthetic
// engine at 1920 x 1080 with the proportional UI, plus the five setter
// redirections, committed over a plain copy of the module while each memory
// service call in turn fails. After every run the module holds either every
// new byte or exactly the old ones, and only pages whose restore was refused
// keep a changed protection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine_image.hpp"
#include "fake_memory.hpp"
#include "lkm/machine_code.hpp"
#include "lkm/plan.hpp"
#include "transaction.hpp"
#include "whole_image_plan.hpp"

namespace {

constexpr uint32_t page = 4096;
constexpr char notWritable[] = "Cannot make the game patch pages writable.";
constexpr char flushFailed[] = "Instruction cache flush failed; memory patches rolled back.";
constexpr char warning[] = "Warning: Windows could not restore an original page protection.";

struct alignas(page) Page {
    uint8_t bytes[page];
};

class CommitFaults : public ::testing::Test {
protected:
    void SetUp() override {
        const lkm::test::EngineImage engine = lkm::test::makeEngineImage();
        const lkm::Image image = engine.image();
        const lkm::Layout layout = engine.expectedLayout();
        snapshot = image.bytes.all();
        plan = lkm::build(image, layout, 1920, 1080, true);
        setters = layout.setters;
        // Every new byte: the plan, then the redirections over the setters' first instructions.
        committedBytes = lkm::test::patchedImage(image, plan);
        for (std::size_t k = 0; k < setters.size(); ++k) {
            const std::vector<uint8_t> jump = redirection(k);
            std::copy(jump.begin(), jump.end(),
                      committedBytes.begin() + static_cast<std::ptrdiff_t>(setters[k]));
        }
        pages.resize((snapshot.size() + page - 1) / page);
        live = pages.front().bytes;
    }

    std::vector<uint8_t> redirection(std::size_t k) const {
        return lkm::redirectionBytes(0x00400000 + setters[k], 0x10001000 + 0x40 * uint32_t(k));
    }

    // One commit from a fresh copy of the module; `configure` injects the faults.
    struct Outcome {
        std::string message = "none";
        bool committed = false;
        std::size_t protectionsLeft = 0, patches = 0;
        std::vector<std::string> calls;
        std::vector<uintptr_t> changedPages, refusedRestores;
        std::vector<std::string> warnings;
        bool original = false, complete = false;
    };
    template <class Configure>
    Outcome run(Configure&& configure) {
        std::memcpy(live, snapshot.data(), snapshot.size());
        lkm::plugin::test::warnings.clear();
        lkm::plugin::test::FakeMemory memory(live, pageSize);
        configure(memory);
        Outcome out;
        {
            lkm::plugin::Transaction transaction(memory, live, lkm::plugin::test::collectWarning);
            for (const lkm::Patch& p : plan) transaction.add(p);
            for (std::size_t k = 0; k < setters.size(); ++k) {
                const auto entry = snapshot.begin() + static_cast<std::ptrdiff_t>(setters[k]);
                transaction.add({setters[k], std::vector<uint8_t>(entry, entry + lkm::redirectionLength),
                                 redirection(k)});
            }
            try {
                transaction.commit();
            } catch (const std::runtime_error& error) {
                out.message = error.what();
            } catch (const std::bad_alloc&) {
                out.message = "bad_alloc";
            }
            out.committed = transaction.committed;
            out.protectionsLeft = transaction.protections.size();
            out.patches = transaction.patches.size();
        }
        out.calls = memory.calls;
        out.changedPages = memory.changedPages();
        out.refusedRestores = memory.refusedRestores;
        std::sort(out.refusedRestores.begin(), out.refusedRestores.end());
        out.warnings = lkm::plugin::test::warnings;
        out.original = std::memcmp(live, snapshot.data(), snapshot.size()) == 0;
        out.complete = std::memcmp(live, committedBytes.data(), committedBytes.size()) == 0;
        return out;
    }

    // What every run must show: all or nothing, and changed protections only where refused.
    static void expectSound(const Outcome& out, const char* message, bool committed, std::size_t left = 0) {
        EXPECT_EQ(out.message, message);
        EXPECT_EQ(out.committed, committed);
        EXPECT_TRUE(committed ? out.complete : out.original);
        EXPECT_EQ(out.protectionsLeft, left);
        EXPECT_EQ(out.changedPages, out.refusedRestores);
        EXPECT_EQ(out.warnings, out.refusedRestores.empty() ? std::vector<std::string>{}
                                                            : std::vector<std::string>{warning});
    }

    std::vector<uint8_t> snapshot, committedBytes;
    std::vector<lkm::Patch> plan;
    std::vector<uint32_t> setters;
    uint32_t pageSize = page; // what the fake reports
    std::vector<Page> pages;  // the live module, on page boundaries
    uint8_t* live = nullptr;

    void everyFault();
};

TEST_F(CommitFaults, EveryFailureLeavesTheModuleWholeOrUntouched) {
    // 4 KiB pages as on x86 Windows, and small ones so that more patches share and cross pages.
    for (uint32_t size : {page, 256u}) {
        SCOPED_TRACE("page size " + std::to_string(size));
        pageSize = size;
        everyFault();
    }
}

void CommitFaults::everyFault() {
    const Outcome clean = run([](lkm::plugin::test::FakeMemory&) {});
    expectSound(clean, "none", true);
    const int writable =
        int(std::count_if(clean.calls.begin(), clean.calls.end(), [](const std::string& call) {
            return call.rfind("protect", 0) == 0 && call.substr(call.size() - 2) == "40";
        }));
    ASSERT_GE(writable, 4) << "the commit should span several pages";
    ASSERT_EQ(std::count(clean.calls.begin(), clean.calls.end(), "flush process null 0"), 1);

    for (int k = 1; k <= writable; ++k) {
        SCOPED_TRACE("protection change " + std::to_string(k) + " refused");
        const Outcome out = run([&](lkm::plugin::test::FakeMemory& m) { m.failingProtects = {k}; });
        expectSound(out, notWritable, false);
        EXPECT_EQ(out.calls.size(), std::size_t(1 + k + (k - 1))); // page size, k changes, k - 1 restores
        for (int j = 1; j < k; ++j) {
            SCOPED_TRACE("and restore " + std::to_string(j) + " of that rollback refused");
            const Outcome both = run([&](lkm::plugin::test::FakeMemory& m) {
                m.failingProtects = {k, k + j};
            });
            expectSound(both, notWritable, false);
            EXPECT_EQ(both.refusedRestores.size(), 1u);
        }
    }
    {
        SCOPED_TRACE("flush refused");
        const Outcome out = run([](lkm::plugin::test::FakeMemory& m) { m.failingFlushes = {1}; });
        expectSound(out, flushFailed, false);
        EXPECT_EQ(std::count(out.calls.begin(), out.calls.end(), "flush process null 0"), 2);
        for (int j = 1; j <= writable; ++j) {
            SCOPED_TRACE("and restore " + std::to_string(j) + " refused");
            const Outcome both = run([&](lkm::plugin::test::FakeMemory& m) {
                m.failingFlushes = {1};
                m.failingProtects = {writable + j};
            });
            expectSound(both, flushFailed, false);
            EXPECT_EQ(both.refusedRestores.size(), 1u);
        }
    }
    for (int j = 1; j <= writable; ++j) {
        SCOPED_TRACE("restore " + std::to_string(j) + " after the commit refused");
        const Outcome out =
            run([&](lkm::plugin::test::FakeMemory& m) { m.failingProtects = {writable + j}; });
        expectSound(out, "none", true);
        EXPECT_EQ(out.refusedRestores.size(), 1u);
    }
    {
        SCOPED_TRACE("every restore after the commit refused");
        const Outcome out = run([&](lkm::plugin::test::FakeMemory& m) {
            for (int j = 1; j <= writable; ++j) m.failingProtects.insert(writable + j);
        });
        expectSound(out, "none", true);
        EXPECT_EQ(out.refusedRestores.size(), std::size_t(writable));
    }
    for (int k = 1; k <= writable; ++k) {
        SCOPED_TRACE("allocation failure at protection change " + std::to_string(k));
        const Outcome out = run([&](lkm::plugin::test::FakeMemory& m) { m.throwingProtect = k; });
        // The commit left k - 1 pages recorded; the destructor gave them back.
        expectSound(out, "bad_alloc", false, std::size_t(k - 1));
        // page size, k changes; then, when pages were recorded, page size and k - 1 restores
        EXPECT_EQ(out.calls.size(), std::size_t(1 + k + (k > 1 ? k : 0)));
    }
}

} // namespace
