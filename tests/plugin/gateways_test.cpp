#include "gateways.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

#include "globals.hpp"
#include "lkm/machine_code.hpp"

namespace {

using lkm::plugin::gatewayPageSize;

// Memory services over plain buffers: the page is a zeroed vector, every call is
// recorded, and each of allocate, protect and flush can be made to fail.
class FakeMemory : public lkm::plugin::MemoryServices {
public:
    bool failAllocate = false;
    bool failProtect = false;
    bool failFlush = false;

    std::vector<uint8_t> page = std::vector<uint8_t>(gatewayPageSize);
    std::size_t allocatedSize = 0;
    uint32_t allocatedProtection = 0;
    std::vector<uint8_t> pageWhenProtected; // the page as it was when made executable
    struct Call {
        const void* address;
        std::size_t size;
        uint32_t value;
    };
    std::vector<Call> protects;
    std::vector<Call> flushes;
    int processHandle = 0;

    uint32_t pageSize() override { return 4096; }
    bool protect(void* address, std::size_t size, uint32_t protection, uint32_t* previous) override {
        protects.push_back({address, size, protection});
        pageWhenProtected = page;
        *previous = lkm::plugin::pageReadWrite;
        return !failProtect;
    }
    void* currentProcess() override { return &processHandle; }
    bool flushInstructionCache(void* process, const void* address, std::size_t size) override {
        flushes.push_back({address, size, process == &processHandle ? 1u : 0u});
        return !failFlush;
    }
    void* allocate(std::size_t size, uint32_t protection) override {
        allocatedSize = size;
        allocatedProtection = protection;
        return failAllocate ? nullptr : page.data();
    }
    bool release(void*) override {
        ADD_FAILURE() << "the gateways never release their page themselves";
        return true;
    }
    // A process of one thread: the gateways never hold threads.
    bool readyToRelist() override { return true; }
    bool otherThreads(std::vector<void*>&) override { return true; }
    lkm::plugin::NextThread nextThread(void*, void**) override { return lkm::plugin::NextThread::none; }
    uint32_t threadId(void*) override { return 0; }
    lkm::plugin::Suspension suspend(void*) override { return lkm::plugin::Suspension::gone; }
    bool instructionPointer(void*, uintptr_t*) override { return false; }
    bool resume(void*) override { return false; }
    void yield() override {}
    void closeThread(void*) override {}
};

constexpr uint32_t base = 0x00400000;
constexpr uint32_t imageSize = 0x3000;
const std::vector<uint32_t> setterOffsets = {0x1010, 0x1100, 0x1230, 0x1400, 0x2FF0};
const std::array<uint32_t, 5> hookAddresses = {0x10001000, 0x10001040, 0x10001080, 0x100010C0, 0x10001100};

// The first six bytes of each setter of `image` that has six, as recognition records them.
std::vector<lkm::ByteRun> originalOf(const std::vector<uint8_t>& image,
                                     const std::vector<uint32_t>& setters) {
    std::vector<lkm::ByteRun> original;
    for (uint32_t s : setters)
        if (s <= image.size() && image.size() - s >= 6)
            original.push_back({s, std::vector<uint8_t>(image.begin() + std::ptrdiff_t(s),
                                                        image.begin() + std::ptrdiff_t(s + 6))});
    std::sort(original.begin(), original.end(),
              [](const lkm::ByteRun& a, const lkm::ByteRun& b) { return a.offset < b.offset; });
    return original;
}

class Gateways : public ::testing::Test {
protected:
    Gateways() : snapshot(imageSize, 0xCC) {
        for (uint32_t s : setterOffsets)
            std::copy(lkm::cvar::setterPrologue.begin(), lkm::cvar::setterPrologue.end(),
                      snapshot.begin() + static_cast<std::ptrdiff_t>(s));
        std::copy(snapshot.begin(), snapshot.end(), live.begin());
        lkm::plugin::originalSetters = {};
    }

    // Runs the gateway preparation; returns the failure text, empty on success.
    std::string prepare() {
        const std::vector<lkm::ByteRun> original = originalOf(snapshot, setters);
        const lkm::plugin::GameModule game{original, base};
        try {
            lkm::plugin::prepareGateways(memory, transaction, game, setters, hookAddresses, page);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "";
    }

    FakeMemory memory;
    std::vector<uint8_t> snapshot;
    std::vector<uint8_t> live =
        std::vector<uint8_t>(imageSize); // the module in memory, the transaction's base
    lkm::plugin::Transaction transaction{memory, live.data(), [](const char*) {}};
    std::vector<uint32_t> setters = setterOffsets;
    void* page = nullptr;
};

TEST_F(Gateways, BuildsFiveGatewaysAndQueuesFiveRedirections) {
    ASSERT_EQ(prepare(), "");
    ASSERT_EQ(page, memory.page.data());
    EXPECT_EQ(memory.allocatedSize, 0x1000u);
    EXPECT_EQ(memory.allocatedProtection, lkm::plugin::pageReadWrite);

    const uint8_t* const bytes = memory.page.data();
    ASSERT_EQ(transaction.patches.size(), 5u);
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const uint8_t* const gateway = bytes + 16 * k;
        const std::vector<uint8_t> code = lkm::gatewayBytes(
            lkm::cvar::setterPrologue, lkm::plugin::address32(gateway), base + setterOffsets[k]);
        EXPECT_TRUE(std::equal(code.begin(), code.end(), gateway));
        EXPECT_TRUE(std::all_of(gateway + 11, gateway + 16, [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(reinterpret_cast<const uint8_t*>(lkm::plugin::originalSetters[k]), gateway);

        const lkm::Patch& patch = transaction.patches[k];
        EXPECT_EQ(patch.offset, setterOffsets[k]);
        EXPECT_EQ(patch.expected,
                  std::vector<uint8_t>(lkm::cvar::setterPrologue.begin(), lkm::cvar::setterPrologue.end()));
        EXPECT_EQ(patch.replacement, lkm::redirectionBytes(base + setterOffsets[k], hookAddresses[k]));
    }
    EXPECT_TRUE(std::all_of(bytes + 80, bytes + gatewayPageSize, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(live, snapshot) << "the game changes only with the commit";
    EXPECT_FALSE(transaction.committed);

    // Made executable once, over the whole page, after every gateway was written; then flushed.
    ASSERT_EQ(memory.protects.size(), 1u);
    EXPECT_EQ(memory.protects[0].address, page);
    EXPECT_EQ(memory.protects[0].size, 0x1000u);
    EXPECT_EQ(memory.protects[0].value, lkm::plugin::pageExecuteRead);
    EXPECT_EQ(memory.pageWhenProtected, memory.page);
    ASSERT_EQ(memory.flushes.size(), 1u);
    EXPECT_EQ(memory.flushes[0].address, page);
    EXPECT_EQ(memory.flushes[0].size, 0x1000u);
    EXPECT_EQ(memory.flushes[0].value, 1u) << "flushed for the current process";
}

TEST_F(Gateways, ChainedSetterQueuesARedirectionOfTheOtherJumpsFiveBytes) {
    const std::vector<uint8_t> jump{0xE9, 0x10, 0x20,
                                    0x30, 0x40, 0x55}; // another mod's jmp, then a byte of its own
    std::copy(jump.begin(), jump.end(), snapshot.begin() + static_cast<std::ptrdiff_t>(setterOffsets[3]));
    const std::vector<lkm::ByteRun> original = originalOf(snapshot, setters);
    const std::vector<uint32_t> jumps{0, 0, 0, 0x20000000, 0};
    const lkm::plugin::GameModule game{original, base, &jumps};
    lkm::plugin::prepareGateways(memory, transaction, game, setters, hookAddresses, page);

    ASSERT_EQ(transaction.patches.size(), 5u);
    const lkm::Patch& patch = transaction.patches[3];
    EXPECT_EQ(patch.offset, setterOffsets[3]);
    EXPECT_EQ(patch.expected, std::vector<uint8_t>(jump.begin(), jump.begin() + 5));
    EXPECT_EQ(patch.replacement, lkm::chainedRedirectionBytes(base + setterOffsets[3], hookAddresses[3]));
    EXPECT_EQ(transaction.patches[2].expected.size(), lkm::redirectionLength);
}

TEST_F(Gateways, FailuresOfThePageServicesStopWithTheirMessage) {
    struct Case {
        bool FakeMemory::*failure;
        const char* message;
        bool pageHandedBack;
    };
    const Case cases[] = {
        {&FakeMemory::failAllocate, "Cannot allocate CVar gateways.", false},
        {&FakeMemory::failProtect, "Cannot protect CVar gateways.", true},
        {&FakeMemory::failFlush, "Cannot flush CVar gateways.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        FakeMemory fake;
        fake.*c.failure = true;
        lkm::plugin::Transaction pending{fake, live.data(), [](const char*) {}};
        void* allocated = nullptr;
        const std::vector<lkm::ByteRun> original = originalOf(snapshot, setters);
        const lkm::plugin::GameModule game{original, base};
        try {
            lkm::plugin::prepareGateways(fake, pending, game, setters, hookAddresses, allocated);
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        // The caller must get the page back to release it.
        EXPECT_EQ(allocated, c.pageHandedBack ? fake.page.data() : nullptr);
        EXPECT_EQ(live, snapshot);
    }
}

TEST_F(Gateways, SetterWithAnotherFirstInstructionIsRefusedBeforeItsRedirection) {
    const std::vector<std::vector<uint8_t>> entries = {
        {0xE9, 0x10, 0x20, 0x30, 0x40, 0x90}, // jmp left there by another tool
        {0x64, 0xA1, 0x04, 0x00, 0x00, 0x00}, // mov eax, fs:[4]
        {0x64, 0xA1, 0x00, 0x00, 0x00, 0x01}, // last byte differs
        {0x55, 0x8B, 0xEC, 0x6A, 0xFF, 0x68}, // push ebp; mov ebp, esp; ...
        {0xCC, 0xA1, 0x00, 0x00, 0x00, 0x00}, // breakpoint of a debugger
    };
    for (const std::vector<uint8_t>& entry : entries) {
        SCOPED_TRACE(int(entry[0]));
        FakeMemory fake;
        lkm::plugin::Transaction pending{fake, live.data(), [](const char*) {}};
        std::vector<uint8_t> image = snapshot;
        std::copy(entry.begin(), entry.end(), image.begin() + static_cast<std::ptrdiff_t>(setterOffsets[2]));
        void* allocated = nullptr;
        const std::vector<lkm::ByteRun> original = originalOf(image, setters);
        const lkm::plugin::GameModule game{original, base};
        try {
            lkm::plugin::prepareGateways(fake, pending, game, setters, hookAddresses, allocated);
            ADD_FAILURE() << "no failure";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Unsupported CVar hook instruction.");
        }
        EXPECT_EQ(allocated, fake.page.data());
        ASSERT_EQ(pending.patches.size(), 2u) << "setters 0 and 1 only";
        EXPECT_EQ(pending.patches[1].offset, setterOffsets[1]);
        EXPECT_TRUE(std::all_of(fake.page.begin() + 32, fake.page.end(), [](uint8_t b) { return b == 0; }));
        EXPECT_TRUE(fake.protects.empty());
    }
}

TEST_F(Gateways, SetterTooCloseToTheImageEndIsRefused) {
    // Six bytes must have been recorded; offsets whose sum with 6 would wrap included.
    for (uint32_t s : {imageSize - 5, imageSize - 1, imageSize, imageSize + 100, 0xFFFFFFFDu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(s);
        setters[4] = s;
        transaction.patches.clear();
        EXPECT_EQ(prepare(), "Unsupported CVar hook instruction.");
        EXPECT_EQ(transaction.patches.size(), 4u);
    }
}

TEST_F(Gateways, SetterInTheLastSixBytesOfTheImageIsAccepted) {
    setters[4] = imageSize - 6;
    std::copy(lkm::cvar::setterPrologue.begin(), lkm::cvar::setterPrologue.end(), snapshot.end() - 6);
    std::copy(snapshot.begin(), snapshot.end(), live.begin());
    ASSERT_EQ(prepare(), "");
    EXPECT_EQ(transaction.patches.back().offset, imageSize - 6);
}

TEST_F(Gateways, LayoutWithoutFiveSettersIsRefused) {
    for (std::size_t count : {0u, 4u, 6u}) {
        SCOPED_TRACE(count);
        setters = setterOffsets;
        setters.resize(count, setterOffsets[0]);
        transaction.patches.clear();
        EXPECT_EQ(prepare(), "Unsupported CVar hook instruction.");
        EXPECT_TRUE(transaction.patches.empty());
    }
}

} // namespace
