// The game module read in place, against real process memory: the host's own
// main module, and blocks laid out here with reserved, no-access and guard pages.
#include "capture.hpp"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "globals.hpp"
#include "lkm/image.hpp"
#include "message_of.hpp"

namespace {

constexpr uint32_t pageSize = 0x1000;

// A reserved block whose pages are committed one by one.
class Block {
public:
    explicit Block(uint32_t pages) : size_(pages * pageSize) {
        base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, size_, MEM_RESERVE, PAGE_NOACCESS));
        if (!base_) throw std::runtime_error("VirtualAlloc failed");
    }
    ~Block() { VirtualFree(base_, 0, MEM_RELEASE); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    uint8_t* page(uint32_t index) const { return base_ + index * pageSize; }
    uintptr_t address() const { return reinterpret_cast<uintptr_t>(base_); }

    // Commits pages [first, first + count) read-write, fills them with a pattern
    // and then gives them `protection`.
    void commit(uint32_t first, uint32_t count, DWORD protection) {
        if (!VirtualAlloc(page(first), count * pageSize, MEM_COMMIT, PAGE_READWRITE))
            throw std::runtime_error("commit failed");
        for (uint32_t i = 0; i < count * pageSize; ++i) page(first)[i] = pattern(first * pageSize + i);
        DWORD previous = 0;
        if (protection != PAGE_READWRITE &&
            !VirtualProtect(page(first), count * pageSize, protection, &previous))
            throw std::runtime_error("protect failed");
    }

    static uint8_t pattern(uint32_t offset) {
        return static_cast<uint8_t>(offset * 7 + 1 + offset / pageSize);
    }

private:
    uint8_t* base_;
    uint32_t size_;
};

DWORD protectionAt(const void* address) {
    MEMORY_BASIC_INFORMATION region{};
    VirtualQuery(address, &region, sizeof region);
    return region.Protect;
}

// The bytes of [address, address + size) as the plug-in reads them in place.
std::vector<uint8_t> readInPlace(uintptr_t address, uint32_t size) {
    return lkm::ImageBytes::inPlace(reinterpret_cast<const uint8_t*>(address), size,
                                    lkm::plugin::unreadableRegions(address, size))
        .all();
}

TEST(UnreadableRegions, AccessibleRegionsReadAsTheyAreAndTheRestAsZeros) {
    Block block(8);
    block.commit(0, 2, PAGE_READWRITE);
    // page 2 stays reserved only
    block.commit(3, 1, PAGE_NOACCESS);
    block.commit(4, 1, PAGE_READWRITE | PAGE_GUARD);
    block.commit(5, 2, PAGE_READONLY);
    // page 7 stays reserved only
    const bool readable[8] = {true, true, false, false, false, true, true, false};

    for (const uint32_t size : {8 * pageSize, 6 * pageSize + 100, pageSize - 1}) {
        SCOPED_TRACE(size);
        const std::vector<uint8_t> bytes = readInPlace(block.address(), size);
        ASSERT_EQ(bytes.size(), size);
        std::size_t wrong = 0;
        for (uint32_t i = 0; i < size; ++i) {
            const uint8_t expected = readable[i / pageSize] ? Block::pattern(i) : 0;
            if (bytes[i] != expected) ++wrong;
        }
        EXPECT_EQ(wrong, 0u);
    }
    // Pages 2 to 4 are one unreadable range; the guard page was never touched: it is still armed.
    const std::vector<lkm::Run> ranges = lkm::plugin::unreadableRegions(block.address(), 8 * pageSize);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].offset, 2 * pageSize);
    EXPECT_EQ(ranges[0].length, 3 * pageSize);
    EXPECT_EQ(ranges[1].offset, 7 * pageSize);
    EXPECT_EQ(protectionAt(block.page(4)), DWORD(PAGE_READWRITE | PAGE_GUARD));
    EXPECT_EQ(protectionAt(block.page(3)), DWORD(PAGE_NOACCESS));
}

TEST(UnreadableRegions, WalkStartingInsideARegionReadsFromThere) {
    Block block(3);
    block.commit(0, 2, PAGE_READWRITE);
    const std::vector<uint8_t> bytes = readInPlace(block.address() + 100, 2 * pageSize);
    ASSERT_EQ(bytes.size(), 2 * pageSize);
    EXPECT_EQ(std::memcmp(bytes.data(), block.page(0) + 100, 2 * pageSize - 100), 0);
    EXPECT_EQ(bytes.back(), 0); // the last 100 bytes lie in the reserved page
}

TEST(UnreadableRegions, AddressOutsideTheProcessCannotBeQueried) {
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::unreadableRegions(0xFFFF0000u, pageSize); }),
              "Cannot query the game image.");
}

// A fake module in a reserved block of which the first two pages are committed.
struct FakeModule {
    Block block;
    explicit FakeModule(uint32_t pages = 4) : block(pages) {
        block.commit(0, 2, PAGE_READWRITE);
        std::memset(block.page(0), 0, 0x200);
        put16(0, 0x5A4D);                 // "MZ"
        put32(0x3C, 0x80);                // e_lfanew
        put32(0x80, 0x4550);              // "PE\0\0"
        put16(0x84, 0x014C);              // i386
        put32(0x80 + 0x50, 2 * pageSize); // SizeOfImage
    }
    void put16(uint32_t offset, uint16_t value) { std::memcpy(block.page(0) + offset, &value, 2); }
    void put32(uint32_t offset, uint32_t value) { std::memcpy(block.page(0) + offset, &value, 4); }
    std::string capture() const {
        return lkm::test::messageOf([&] { lkm::plugin::liveModule(block.address()); });
    }
};

TEST(LiveModule, SizeOfImageBytesWithTheBaseAndTheUnreadableRanges) {
    FakeModule module;
    const lkm::plugin::LiveModule live = lkm::plugin::liveModule(module.block.address());
    EXPECT_EQ(live.base, uint32_t(module.block.address()));
    EXPECT_EQ(live.size, 2 * pageSize);
    EXPECT_TRUE(live.unreadable.empty());

    module.put32(0x80 + 0x50, 4 * pageSize); // the last two pages are only reserved
    const lkm::plugin::LiveModule larger = lkm::plugin::liveModule(module.block.address());
    ASSERT_EQ(larger.unreadable.size(), 1u);
    EXPECT_EQ(larger.unreadable[0].offset, 2 * pageSize);
    EXPECT_EQ(larger.unreadable[0].length, 2 * pageSize);
}

TEST(LiveModule, TestsTheHeadersInLiveMemory) {
    struct Case {
        const char* name;
        uint32_t offset, value, width;
        std::string message;
    };
    const std::string header = "Invalid game image header.";
    const std::string machine = "Not an x86 game image.";
    const std::string size = "Unsupported image size.";
    const Case cases[] = {
        {"no MZ", 0, 0x5A4E, 2, header},
        {"e_lfanew 0", 0x3C, 0, 4, header},
        {"e_lfanew 1 MiB", 0x3C, 0x100000, 4, header},
        {"e_lfanew wild", 0x3C, 0xFFFFFFFF, 4, header},
        {"no PE signature", 0x80, 0x4551, 4, machine},
        {"x64 machine", 0x84, 0x8664, 2, machine},
        {"SizeOfImage 0", 0xD0, 0, 4, size},
        {"SizeOfImage 4095", 0xD0, 4095, 4, size},
        {"SizeOfImage 4096", 0xD0, 4096, 4, "(none)"},
        {"SizeOfImage 256 MiB", 0xD0, 0x10000000, 4, size},
        {"SizeOfImage 4 GiB - 1", 0xD0, 0xFFFFFFFF, 4, size},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeModule module;
        if (c.width == 2)
            module.put16(c.offset, static_cast<uint16_t>(c.value));
        else
            module.put32(c.offset, c.value);
        EXPECT_EQ(module.capture(), c.message);
    }
}

// e_lfanew passes its range test yet points past the mapped headers: the
// fields there must not be read from memory that is not there.
TEST(LiveModule, HeaderBeyondMappedMemoryIsRejectedWithoutACrash) {
    for (const uint32_t lfanew : {0xFFFFFu, 2 * pageSize - 0x53, 2 * pageSize, 3 * pageSize}) {
        SCOPED_TRACE(lfanew);
        FakeModule module(0x102); // reserved up to beyond module + 1 MiB
        module.put32(0x3C, lfanew);
        EXPECT_EQ(module.capture(), "Invalid game image header.");
    }
    FakeModule lastFit; // the fields end exactly at the end of the committed pages
    std::memcpy(lastFit.block.page(2) - 0x54, lastFit.block.page(0) + 0x80, 0x54);
    lastFit.put32(0x3C, 2 * pageSize - 0x54);
    EXPECT_EQ(lastFit.capture(), "(none)");
}

TEST(GameModule, MainModuleReadsAsItsMemory) {
    const lkm::plugin::LiveModule live = lkm::plugin::gameModule();
    const auto* module = reinterpret_cast<const uint8_t*>(GetModuleHandleW(nullptr));
    EXPECT_EQ(live.base, uint32_t(reinterpret_cast<uintptr_t>(module)));

    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(module + dos->e_lfanew);
    ASSERT_EQ(live.size, nt->OptionalHeader.SizeOfImage);
    EXPECT_TRUE(live.unreadable.empty());

    // The image read in place is a valid image: its bytes are the module's, read
    // where they lie, and its import map names what this program imports.
    const lkm::Image image = lkm::plugin::imageOf(live);
    EXPECT_EQ(image.bytes.direct(0, live.size), module);
    bool virtualQuery = false;
    for (const auto& entry : image.imports) virtualQuery |= entry.second == "KERNEL32.dll!VirtualQuery";
    EXPECT_TRUE(virtualQuery);
}

} // namespace
