#include "options.hpp"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <stdexcept>

namespace lkm::plugin {

int parseOptionValue(const std::wstring& buffer, unsigned count, int defaultValue) {
    if (buffer == missingValue) return defaultValue;
    if (count > longestOptionValue) throw std::runtime_error("INI option is too long.");

    const wchar_t* start = buffer.c_str();
    wchar_t* end = nullptr;
    errno = 0;
    const long value = std::wcstol(start, &end, 10);
    // long is 64 bits wide on some platforms: the 32-bit range is the rule everywhere.
    const bool overflow = errno != 0 || value < INT_MIN || value > INT_MAX;
    // Judged before the trailing blanks are skipped, so that blanks alone never read as 0.
    const bool noDigits = end == start;
    // The Windows runtime's wcstol also reads the decimal digits of other scripts
    // (Arabic-Indic, Devanagari, fullwidth, ...); a value is written with 0-9 only.
    const bool foreignDigits = std::any_of(start, static_cast<const wchar_t*>(end), [](wchar_t c) {
        return !std::iswspace(static_cast<wint_t>(c)) && c != L'+' && c != L'-' && (c < L'0' || c > L'9');
    });
    while (*end == L' ' || *end == L'\t') ++end;
    if (overflow || noDigits || foreignDigits || *end != L'\0')
        throw std::runtime_error("Invalid integer in the MAIN section of the INI.");
    return static_cast<int>(value);
}

} // namespace lkm::plugin
