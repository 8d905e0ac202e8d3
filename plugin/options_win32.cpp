#include <windows.h>

#include "options.hpp"

namespace lwf {

int readOption(const wchar_t* key, int defaultValue, const std::wstring& iniPath) {
    wchar_t buffer[optionBufferSize] = {};
    const DWORD count =
        GetPrivateProfileStringW(L"MAIN", key, missingValue, buffer, optionBufferSize, iniPath.c_str());
    return parseOptionValue(buffer, count, defaultValue);
}

} // namespace lwf
