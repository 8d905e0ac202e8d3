// The input of the option target: the bytes decode into the value of an INI
// key and into what the profile call hands the parser.
//
//   byte 0     bit 0 clear: the profile call's own result, the value cut to 127
//              characters and the count of what it kept; set: the whole value
//              with the count taken from byte 1
//   then       characters: a byte below 80h is that ASCII character; FFh and
//              the two bytes after it are one 16-bit unit (low byte first);
//              any other byte picks an entry of `specialCharacters`
//
// A zero character ends the value, as the terminator ends the profile buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lkm::fuzz::option_input {

// Characters that the runtime's wcstol or iswspace may treat specially, and a
// few that merely look like digits, signs or blanks.
inline constexpr wchar_t specialCharacters[] = {
    0x00A0, 0x1680, 0x2000, 0x2001, 0x2002, 0x2003, 0x2004, 0x2005, 0x2006, 0x2007, 0x2008, 0x2009,
    0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000, 0x0085, 0x180E, 0x200B, 0xFEFF, 0x0660, 0x0661,
    0x0669, 0x06F0, 0x06F5, 0x0966, 0x096F, 0x09E6, 0x0BE6, 0x0E50, 0x0F20, 0x1040, 0x17E0, 0x1810,
    0xFF10, 0xFF11, 0xFF19, 0x00B2, 0x00B9, 0x2070, 0x2080, 0x2460, 0xFF0B, 0xFF0D, 0x2212, 0x207A,
    0xFE62, 0xFE63, 0x00AD, 0xD800, 0xDFFF, 0xFFFE, 0xFFFF, 0x0100, 0x0130, 0x0131, 0x212A, 0xFF41,
};

struct Value {
    std::wstring buffer; // what the parser receives
    unsigned count;      // what the profile call returned
};

inline Value decode(const uint8_t* data, std::size_t size) {
    const bool explicitCount = size > 0 && (data[0] & 1);
    std::wstring value;
    for (std::size_t i = explicitCount ? 2 : 1; i < size; ++i) {
        const uint8_t b = data[i];
        wchar_t c;
        if (b < 0x80) {
            c = wchar_t(b);
        } else if (b == 0xFF) {
            if (size - i < 3) break;
            c = wchar_t(data[i + 1] | data[i + 2] << 8);
            i += 2;
        } else {
            c = specialCharacters[(b - 0x80) % (sizeof specialCharacters / sizeof *specialCharacters)];
        }
        if (c == 0) break;
        value.push_back(c);
    }
    if (explicitCount) return {value, size > 1 ? data[1] : 0u};
    // GetPrivateProfileStringW with a buffer of 128 keeps at most 127 characters.
    if (value.size() > 127) value.resize(127);
    return {value, unsigned(value.size())};
}

} // namespace lkm::fuzz::option_input
