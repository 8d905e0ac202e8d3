// The integer options of the INI's MAIN section: how a value is read and judged.
#pragma once

#include <cstdint>
#include <string>

namespace lkm::plugin {

// What the profile call leaves in the buffer when a key (or the whole file) is absent.
inline constexpr const wchar_t* missingValue = L"<missing>";
// The value buffer, terminator included, and the longest value it accepts.
inline constexpr unsigned optionBufferSize = 128;
inline constexpr unsigned longestOptionValue = 126;

// Judges the text the profile call returned (`count` characters before the
// terminator): the default for "<missing>", else a decimal 32-bit integer that
// may be followed by blanks and tabs. Throws "INI option is too long." or
// "Invalid integer in the MAIN section of the INI.".
int parseOptionValue(const std::wstring& buffer, unsigned count, int defaultValue);

// The value of `key` in section MAIN of the INI at `iniPath`, or `defaultValue`
// when the key or the file is absent (Windows builds only).
int readOption(const wchar_t* key, int defaultValue, const std::wstring& iniPath);

// Throws "Cannot read the INI file." when something stands at `iniPath` that the
// profile calls would take for an absent file: a folder, a file that cannot be
// opened for reading (locked without read sharing, no access), or any file on a
// path too long for them. Nothing at all there is fine: the defaults apply
// (Windows builds only).
void requireReadableIni(const std::wstring& iniPath);

// low <= value <= high, tested as unsigned 32-bit numbers after subtracting the
// lower bound, so that every negative value lies outside.
inline bool within(int32_t value, uint32_t low, uint32_t high) {
    return static_cast<uint32_t>(value) - low <= high - low;
}

} // namespace lkm::plugin
