#include "options.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

#include "message_of.hpp"
#include "paths.hpp"

namespace {

constexpr const char* invalidInteger = "Invalid integer in the MAIN section of the INI.";
constexpr const char* tooLong = "INI option is too long.";
constexpr const char* invalidFilename = "Invalid plugin filename.";
constexpr int defaultValue = 7;

struct ValueCase {
    const char* name;
    std::wstring text; // what the profile call left in the buffer
    int value;         // expected result when `error` is empty
    std::string error;
};

// A value as long as `length` characters: zeros in front of `digits`.
std::wstring padded(unsigned length, const std::wstring& digits) {
    return std::wstring(length - digits.size(), L'0') + digits;
}

TEST(ParseOptionValue, JudgesEveryValueShape) {
    const ValueCase cases[] = {
        {"plain", L"1920", 1920, ""},
        {"blanks and tabs after", L"1920  \t \t", 1920, ""},
        {"blanks before", L"   1920", 1920, ""},
        {"tab before", L"\t1920", 1920, ""},
        {"plus sign", L"+75", 75, ""},
        {"minus one", L"-1", -1, ""},
        {"zero", L"0", 0, ""},
        {"unit after the number", L"1920px", 0, invalidInteger},
        {"blank then text", L"1920 px", 0, invalidInteger},
        {"decimal point", L"19.20", 0, invalidInteger},
        {"hexadecimal", L"0x780", 0, invalidInteger},
        {"empty", L"", 0, invalidInteger},
        {"sign only", L"+", 0, invalidInteger},
        {"eleven nines", L"99999999999", 0, invalidInteger},
        {"largest int", L"2147483647", INT_MAX, ""},
        {"one past the largest int", L"2147483648", 0, invalidInteger},
        {"smallest int", L"-2147483648", INT_MIN, ""},
        {"one below the smallest int", L"-2147483649", 0, invalidInteger},
        {"beyond 64 bits", L"99999999999999999999", 0, invalidInteger},
        {"126 characters", padded(126, L"1920"), 1920, ""},
        {"126 characters ending in text", L"1920" + std::wstring(122, L'x'), 0, invalidInteger},
        {"127 characters", padded(127, L"1920"), 0, tooLong},
        {"absent", L"<missing>", defaultValue, ""},
        {"absent marker with more text", L"<missing>1", 0, invalidInteger},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned count = static_cast<unsigned>(c.text.size());
        if (c.error.empty()) {
            EXPECT_EQ(lkm::plugin::parseOptionValue(c.text, count, defaultValue), c.value);
        } else {
            EXPECT_EQ(
                lkm::test::messageOf([&] { lkm::plugin::parseOptionValue(c.text, count, defaultValue); }),
                c.error);
        }
    }
}

// Skipping the trailing blanks before the no-digits test would read a value of
// blanks alone (as a quoted value can deliver it) as 0.
TEST(ParseOptionValue, BlanksAloneAreNotReadAsZero) {
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::parseOptionValue(L"   ", 3, 1); }), invalidInteger);
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::parseOptionValue(L" \t", 2, 1); }), invalidInteger);
}

// On LP64 systems wcstol reads 2147483648 without setting errno; the 32-bit
// range must still be the rule, as on Windows.
TEST(ParseOptionValue, ValueBeyondInt32IsRejectedWhereLongIsWider) {
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::parseOptionValue(L"4294967296", 10, 0); }),
              invalidInteger);
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::parseOptionValue(L"-4294967297", 11, 0); }),
              invalidInteger);
}

// The profile call returns 127 for every value it had to cut; the length test
// comes from that count, and an absent key is recognised before it.
TEST(ParseOptionValue, CountDecidesTheLengthTest) {
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::parseOptionValue(L"5", 127, 0); }), tooLong);
    EXPECT_EQ(lkm::plugin::parseOptionValue(L"5", 126, 0), 5);
    EXPECT_EQ(lkm::plugin::parseOptionValue(L"<missing>", 127, defaultValue), defaultValue);
}

TEST(Within, TestsBothBoundsInUnsignedArithmetic) {
    struct Case {
        int32_t value;
        uint32_t low, high;
        bool inside;
    };
    const Case cases[] = {
        {320, 320, 16384, true},
        {319, 320, 16384, false},
        {16384, 320, 16384, true},
        {16385, 320, 16384, false},
        {200, 200, 16384, true},
        {199, 200, 16384, false},
        {-1, 320, 16384, false},
        {INT_MIN, 320, 16384, false},
        {INT_MAX, 320, 16384, false},
        {0, 0, 1, true},
        {1, 0, 1, true},
        {2, 0, 1, false},
        {-1, 0, 1, false},
        {9999, 0, 9999, true},
        {10000, 0, 9999, false},
        {-1, 0, 9999, false},
        {INT_MIN, 0, 9999, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lkm::plugin::within(c.value, c.low, c.high), c.inside)
            << c.value << " in " << c.low << ".." << c.high;
    }
}

TEST(Sibling, ReplacesTheExtensionOfTheFileName) {
    EXPECT_EQ(lkm::plugin::sibling(L"C:\\Games\\Larkmere\\Larkmere.WidescreenFix.asi", L".ini"),
              L"C:\\Games\\Larkmere\\Larkmere.WidescreenFix.ini");
    EXPECT_EQ(lkm::plugin::sibling(L"C:\\Games\\Larkmere\\Larkmere.WidescreenFix.asi", L".log"),
              L"C:\\Games\\Larkmere\\Larkmere.WidescreenFix.log");
    EXPECT_EQ(lkm::plugin::sibling(L"C:\\Games\\Lark.v2\\fix.asi", L".ini"), L"C:\\Games\\Lark.v2\\fix.ini");
    EXPECT_EQ(lkm::plugin::sibling(L"C:/Games/fix.asi", L".log"), L"C:/Games/fix.log");
    EXPECT_EQ(lkm::plugin::sibling(L"C:\\Games\\fix.", L".ini"), L"C:\\Games\\fix.ini");
    EXPECT_EQ(lkm::plugin::sibling(L"fix.asi", L".ini"), L"fix.ini");
}

TEST(Sibling, PathWithoutFullStopIsRejected) {
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::sibling(L"C:\\Games\\Larkmere\\plugin", L".ini"); }),
              invalidFilename);
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::sibling(L"", L".log"); }), invalidFilename);
}

// Cutting at a folder's full stop would put the INI and the log beside the
// folder, where "wb" would truncate whatever file of that name lies there.
TEST(Sibling, DottedFolderDoesNotMoveTheFilesOutOfThePluginFolder) {
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::sibling(L"C:\\Games\\Lark.v2\\plugin", L".log"); }),
              invalidFilename);
    EXPECT_EQ(lkm::test::messageOf([] { lkm::plugin::sibling(L"C:/Games/Lark.v2/plugin", L".ini"); }),
              invalidFilename);
}

} // namespace
