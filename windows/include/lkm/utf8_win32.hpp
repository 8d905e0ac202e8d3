// Windows' UTF-16 text as UTF-8, the encoding of every text the plug-in and
// the inspector write (Windows builds only).
#pragma once

#include <windows.h>

#include <climits>
#include <string>

namespace lkm::windows {

// Empty for an empty text, one longer than INT_MAX units, or one Windows cannot convert.
inline std::string narrowed(const std::wstring& utf16) {
    if (utf16.empty() || utf16.size() > INT_MAX) return std::string();
    const int units = int(utf16.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), units, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string out(std::size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), units, &out[0], length, nullptr, nullptr);
    return out;
}

} // namespace lkm::windows
