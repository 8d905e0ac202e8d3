// Reading a file at an offset on Windows: a read that reaches past the file's
// end says the file is shorter, whatever form Windows gives that end in, and a
// failed read never passes for a whole one.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lkm/read_at_win32.hpp"

namespace {

struct Read {
    const char* name;
    uint64_t offset;
    std::size_t length;
    bool whole;
    bool shorter;
    std::string bytes; // what a whole read gives
};

TEST(ReadAt, WholeOrShorterAtEveryOffset) {
    const std::filesystem::path path = std::filesystem::path(LKM_INSPECTOR_SCRATCH) / "read_at.bin";
    std::ofstream(path, std::ios::binary) << "0123456789";
    HANDLE file = CreateFileW(path.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const Read reads[] = {
        {"all of it", 0, 10, true, false, "0123456789"},   {"the middle", 3, 4, true, false, "3456"},
        {"nothing, past the end", 20, 0, true, false, ""}, {"across the end", 8, 4, false, true, ""},
        {"from the end", 10, 1, false, true, ""},          {"beyond the end", 20, 4, false, true, ""},
    };
    for (const Read& r : reads) {
        SCOPED_TRACE(r.name);
        std::vector<uint8_t> out(r.length);
        const lkm::windows::ReadOutcome outcome = lkm::windows::readAt(file, r.offset, out.data(), r.length);
        EXPECT_EQ(outcome.whole(), r.whole);
        EXPECT_EQ(outcome.shorter, r.shorter);
        EXPECT_EQ(outcome.error, DWORD(0));
        if (r.whole) {
            EXPECT_EQ(std::string(out.begin(), out.end()), r.bytes);
        }
    }
    CloseHandle(file);
}

TEST(ReadAt, AFailedReadIsNeitherWholeNorShorter) {
    uint8_t byte = 0;
    const lkm::windows::ReadOutcome outcome = lkm::windows::readAt(INVALID_HANDLE_VALUE, 0, &byte, 1);
    EXPECT_FALSE(outcome.whole());
    EXPECT_FALSE(outcome.shorter);
    EXPECT_NE(outcome.error, DWORD(0));
}

} // namespace
