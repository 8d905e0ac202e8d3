// Hostile INI values: the option parser against a plain restatement of the
// rules (option_reference.hpp) over a seeded stream of random wide strings,
// shaped so that accepted values, overlong ones and every kind of refusal all
// come up often, with blanks, tabs, white space of other scripts, digits of
// other scripts, signs and look-alikes, and arbitrary 16-bit units mixed in.
#include "options.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>

#include "option_reference.hpp"

namespace {

constexpr int defaultValue = 7;

// Characters that a runtime may take for white space, digits or signs.
const wchar_t unusual[] = {
    0x00A0, 0x1680, 0x2000, 0x2003, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0x0085, 0x180E,
    0x200B, 0xFEFF, 0x0660, 0x0665, 0x0669, 0x06F0, 0x0966, 0x09E6, 0x0E50, 0x1040, 0xFF10, 0xFF15,
    0xFF19, 0x00B2, 0x2070, 0x2460, 0xFF0B, 0xFF0D, 0x2212, 0xFE62, 0xD800, 0xFFFF, 0x0130, 0x212A,
};

class ValueStream {
public:
    explicit ValueStream(uint32_t seed) : random_(seed) {}

    std::wstring next() {
        switch (below(10)) {
        case 0:
            return noise(below(8) == 0 ? 120 + below(20) : below(12));
        case 1:
            return L"<missing>" + (below(2) ? std::wstring() : noise(1 + below(3)));
        default:
            return shaped();
        }
    }

private:
    uint32_t below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random_); }

    wchar_t anyCharacter() {
        switch (below(6)) {
        case 0:
            return wchar_t(L'0' + below(10));
        case 1:
            return L" \t+-\v\f\r\nx.e"[below(11)];
        case 2:
            return unusual[below(sizeof unusual / sizeof *unusual)];
        case 3:
            return wchar_t(0x21 + below(0x5E));
        default:
            return wchar_t(1 + below(0xFFFF));
        }
    }

    std::wstring noise(uint32_t length) {
        std::wstring out;
        while (out.size() < length) out.push_back(anyCharacter());
        return out;
    }

    std::wstring run(const wchar_t* alphabet, uint32_t length) {
        const std::wstring letters(alphabet);
        std::wstring out;
        while (out.size() < length) out.push_back(letters[below(uint32_t(letters.size()))]);
        return out;
    }

    // White space, a sign, digits (sometimes with leading zeros, sometimes at
    // the edges of the 32-bit range), blanks and tabs; then, now and then, one
    // character changed, inserted or appended.
    std::wstring shaped() {
        std::wstring out = run(L" \t\v\f\r\n", below(3) ? 0 : below(4));
        if (below(4) == 0) out += unusual[below(10)];
        if (below(3) == 0) out += L"+-"[below(2)];
        switch (below(4)) {
        case 0:
            out += std::to_wstring(int64_t(INT32_MAX) + int64_t(below(5)) - 2);
            break;
        case 1:
            out += std::to_wstring(int64_t(INT32_MIN) + int64_t(below(5)) - 2).substr(1);
            break;
        case 2:
            out += std::wstring(below(6) == 0 ? 110 + below(20) : 0, L'0') + std::to_wstring(below(20000));
            break;
        default:
            out += run(L"0123456789", 1 + below(12));
            break;
        }
        out += run(L" \t", below(3) ? 0 : below(5));
        if (below(3) == 0 && !out.empty()) {
            const std::size_t at = below(uint32_t(out.size()) + 1);
            const wchar_t c = anyCharacter();
            if (below(2) && at < out.size())
                out[at] = c;
            else
                out.insert(at, 1, c);
        }
        return out;
    }

    std::mt19937 random_;
};

std::string hex(const std::wstring& text) {
    std::string out;
    char unit[8];
    for (wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", unsigned(c));
        out += unit;
    }
    return out;
}

// What parseOptionValue makes of a value the profile call delivers: cut to the
// 127 characters a 128-character buffer keeps, with the count of those.
lkm::plugin::test::OptionVerdict parsed(const std::wstring& value) {
    const std::wstring buffer = value.substr(0, lkm::plugin::optionBufferSize - 1);
    try {
        return {"", lkm::plugin::parseOptionValue(buffer, unsigned(buffer.size()), defaultValue)};
    } catch (const std::runtime_error& error) {
        return {error.what()};
    }
}

lkm::plugin::test::OptionVerdict expected(const std::wstring& value) {
    const std::wstring buffer = value.substr(0, lkm::plugin::optionBufferSize - 1);
    return lkm::plugin::test::expectedOption(buffer, unsigned(buffer.size()), defaultValue);
}

TEST(OptionValueProperty, AcceptsExactlyWhatTheRulesAccept) {
    ValueStream values(0x1A1F0C05);
    int accepted = 0, tooLong = 0, invalid = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::wstring value = values.next();
        const lkm::plugin::test::OptionVerdict want = expected(value);
        const lkm::plugin::test::OptionVerdict got = parsed(value);
        ASSERT_EQ(want.error, got.error) << "value " << hex(value);
        if (want.error.empty()) {
            ASSERT_EQ(want.value, got.value) << "value " << hex(value);
        }
        accepted += want.error.empty();
        tooLong += want.error == "INI option is too long.";
        invalid += want.error == "Invalid integer in the MAIN section of the INI.";
    }
    // The stream reaches every outcome often enough for the comparison to mean something.
    EXPECT_GT(accepted, 40000);
    EXPECT_GT(tooLong, 2000);
    EXPECT_GT(invalid, 40000);
}

// The Windows runtime's wcstol reads the decimal digits of other scripts too
// (Arabic-Indic, Devanagari, fullwidth and more); an option value is written
// with 0 to 9 only, on every platform alike.
TEST(OptionValueProperty, DigitsOfOtherScriptsAreNoInteger) {
    const std::wstring values[] = {
        L"\u0661\u0669\u0662\u0660", // Arabic-Indic 1920
        L"\uFF11\uFF19\uFF12\uFF10", // fullwidth 1920
        L"19\u0662\u0660",           // mixed
        L"-\u0967",                  // Devanagari 1
        L" \u06F5 ",                 // extended Arabic-Indic 5 between blanks
    };
    for (const std::wstring& value : values)
        EXPECT_EQ("Invalid integer in the MAIN section of the INI.", parsed(value).error) << hex(value);
}

// Leading white space is what the runtime's wcstol skips: every character that
// iswspace calls white space, and nothing else.
TEST(OptionValueProperty, LeadingWhiteSpaceIsWhatIswspaceCallsWhiteSpace) {
    for (wchar_t c : unusual) {
        const lkm::plugin::test::OptionVerdict got = parsed(std::wstring(1, c) + L"42");
        if (std::iswspace(static_cast<wint_t>(c))) {
            EXPECT_EQ("", got.error) << hex(std::wstring(1, c));
            EXPECT_EQ(42, got.value);
        } else {
            EXPECT_EQ("Invalid integer in the MAIN section of the INI.", got.error)
                << hex(std::wstring(1, c));
        }
    }
}

} // namespace
