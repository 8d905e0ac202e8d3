#include "options.hpp"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <stdexcept>

namespace lwf {

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
    while (*end == L' ' || *end == L'\t') ++end;
    if (overflow || noDigits || *end != L'\0')
        throw std::runtime_error("Invalid integer in the MAIN section of the INI.");
    return static_cast<int>(value);
}

} // namespace lwf
