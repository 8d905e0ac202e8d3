// The patch transaction against real page protections of a Windows process:
// pages allocated here stand in for the game's code.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory_services.hpp"
#include "message_of.hpp"
#include "transaction.hpp"

namespace {

std::vector<std::string> warnings;
void collect(const char* line) {
    warnings.emplace_back(line);
}

uint32_t protectionOf(const void* address) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(address, &info, sizeof info) != sizeof info) return 0;
    return info.Protect;
}

// Three committed pages filled with a pattern, then given the protections a
// game's code and data have; a small function at the start of the first.
class Pages {
public:
    Pages() {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        size = info.dwPageSize;
        base =
            static_cast<uint8_t*>(VirtualAlloc(nullptr, 3 * size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (base == nullptr) throw std::runtime_error("VirtualAlloc failed");
        for (std::size_t i = 0; i < 3 * size; ++i) base[i] = uint8_t(i * 13 + 5);
        const uint8_t function[] = {0xB8, 0x11, 0x11, 0x11, 0x11, 0xC3}; // mov eax, 11111111h; ret
        std::memcpy(base, function, sizeof function);
        original.assign(base, base + 3 * size);
        DWORD old = 0;
        VirtualProtect(base, 2 * size, PAGE_EXECUTE_READ, &old);
        VirtualProtect(base + 2 * size, size, PAGE_READONLY, &old);
    }
    ~Pages() { VirtualFree(base, 0, MEM_RELEASE); }
    Pages(const Pages&) = delete;
    Pages& operator=(const Pages&) = delete;

    uint32_t call() const {
        using Function = uint32_t (*)();
        Function volatile function = reinterpret_cast<Function>(reinterpret_cast<uintptr_t>(base));
        return function();
    }
    bool unchanged() const { return std::memcmp(base, original.data(), original.size()) == 0; }
    bool protectionsAsBefore() const {
        return protectionOf(base) == PAGE_EXECUTE_READ && protectionOf(base + size) == PAGE_EXECUTE_READ &&
               protectionOf(base + 2 * size) == PAGE_READONLY;
    }

    // A patch at `offset` that expects the bytes there before any change.
    lkm::Patch patch(uint32_t offset, const std::vector<uint8_t>& replacement) const {
        const auto at = original.begin() + static_cast<std::ptrdiff_t>(offset);
        return {offset, std::vector<uint8_t>(at, at + static_cast<std::ptrdiff_t>(replacement.size())),
                replacement};
    }

    uint8_t* base = nullptr;
    uint32_t size = 0;
    std::vector<uint8_t> original;
};

TEST(WindowsCommit, WritesThePatchesAndLeavesTheOldProtections) {
    warnings.clear();
    Pages pages;
    ASSERT_EQ(pages.call(), 0x11111111u);
    const std::vector<uint8_t> immediate{0x78, 0x56, 0x34, 0x12};
    const std::vector<uint8_t> across(6, 0xCC);
    const std::vector<uint8_t> data{1, 2, 3};

    lkm::plugin::Transaction transaction(lkm::plugin::windowsMemory(), pages.base, collect);
    transaction.add(pages.patch(1, immediate)); // mov eax, 12345678h
    transaction.add(pages.patch(pages.size - 3, across));
    transaction.add(pages.patch(2 * pages.size + 9, data));
    transaction.commit();

    EXPECT_TRUE(transaction.committed);
    EXPECT_TRUE(transaction.protections.empty());
    EXPECT_TRUE(warnings.empty());
    EXPECT_TRUE(pages.protectionsAsBefore());
    EXPECT_EQ(pages.call(), 0x12345678u);
    std::vector<uint8_t> expected = pages.original;
    std::memcpy(expected.data() + 1, immediate.data(), 4);
    std::memcpy(expected.data() + pages.size - 3, across.data(), 6);
    std::memcpy(expected.data() + 2 * pages.size + 9, data.data(), 3);
    EXPECT_EQ(std::memcmp(pages.base, expected.data(), expected.size()), 0);
}

TEST(WindowsCommit, VerificationFailureChangesNothing) {
    warnings.clear();
    Pages pages;
    lkm::Patch stale = pages.patch(2 * pages.size, std::vector<uint8_t>(8, 0x90));
    stale.expected.back() ^= 0xFF;

    lkm::plugin::Transaction transaction(lkm::plugin::windowsMemory(), pages.base, collect);
    transaction.add(pages.patch(1, {0x78, 0x56, 0x34, 0x12}));
    transaction.add(stale);
    EXPECT_EQ(lkm::test::messageOf([&] { transaction.commit(); }),
              "Game code changed during initialization; no patches applied.");

    EXPECT_FALSE(transaction.committed);
    EXPECT_TRUE(pages.unchanged());
    EXPECT_TRUE(pages.protectionsAsBefore());
    EXPECT_EQ(pages.call(), 0x11111111u);
}

TEST(WindowsCommit, PageThatCannotBecomeWritableLeavesEverythingAsItWas) {
    // A read-only view of a section cannot be made writable.
    warnings.clear();
    Pages pages;
    HANDLE section =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, pages.size, nullptr);
    ASSERT_NE(section, nullptr);
    auto* view = static_cast<uint8_t*>(MapViewOfFile(section, FILE_MAP_READ, 0, 0, pages.size));
    ASSERT_NE(view, nullptr);
    // Offsets from the lower of the two places: the view may lie below the pages.
    uint8_t* const base = std::min(pages.base, view);
    const auto offset = [base](const uint8_t* at) { return uint32_t(at - base); };

    lkm::plugin::Transaction transaction(lkm::plugin::windowsMemory(), base, collect);
    transaction.add({offset(pages.base + 1), {pages.base + 1, pages.base + 5}, {0x78, 0x56, 0x34, 0x12}});
    transaction.add({offset(view + 16), std::vector<uint8_t>(4, 0), std::vector<uint8_t>(4, 0x90)});
    EXPECT_EQ(lkm::test::messageOf([&] { transaction.commit(); }),
              "Cannot make the game patch pages writable.");

    EXPECT_TRUE(transaction.protections.empty());
    EXPECT_TRUE(pages.unchanged());
    EXPECT_TRUE(pages.protectionsAsBefore());
    EXPECT_EQ(protectionOf(view), uint32_t(PAGE_READONLY));
    EXPECT_TRUE(warnings.empty());
    UnmapViewOfFile(view);
    CloseHandle(section);
}

} // namespace
