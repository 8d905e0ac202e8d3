// A plain restatement of the rules by which an INI option value is judged, for
// the property test and the option fuzz target to hold the parser against.
//
//   "<missing>"                  the default value
//   more than 126 characters     "INI option is too long."
//   otherwise                    leading white space (iswspace, as the runtime's
//                                wcstol skips it), an optional + or -, the digits
//                                0-9, a value within the 32-bit signed range,
//                                then only blanks and tabs to the end;
//                                anything else is "Invalid integer in the MAIN
//                                section of the INI."
#pragma once

#include <cstdint>
#include <cwctype>
#include <string>

namespace lkm::plugin::test {

struct OptionVerdict {
    std::string error; // empty when the value is accepted
    int value = 0;
};

inline OptionVerdict expectedOption(const std::wstring& buffer, unsigned count, int defaultValue) {
    const OptionVerdict invalid{"Invalid integer in the MAIN section of the INI."};
    if (buffer == L"<missing>") return {"", defaultValue};
    if (count > 126) return {"INI option is too long."};

    std::size_t i = 0;
    while (i < buffer.size() && std::iswspace(static_cast<wint_t>(buffer[i]))) ++i;
    bool negative = false;
    if (i < buffer.size() && (buffer[i] == L'+' || buffer[i] == L'-')) negative = buffer[i++] == L'-';
    const std::size_t digits = i;
    int64_t magnitude = 0;
    for (; i < buffer.size() && buffer[i] >= L'0' && buffer[i] <= L'9'; ++i)
        if (magnitude <= INT64_C(1) << 33) magnitude = magnitude * 10 + (buffer[i] - L'0');
    if (i == digits) return invalid;
    while (i < buffer.size() && (buffer[i] == L' ' || buffer[i] == L'\t')) ++i;
    if (i != buffer.size()) return invalid;
    const int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX) return invalid;
    return {"", static_cast<int>(value)};
}

} // namespace lkm::plugin::test
