#include <windows.h>

#include <stdexcept>

#include "options.hpp"

namespace lkm::plugin {

namespace {

// The same file on a path that the file services take at any length.
std::wstring extendedPath(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    return L"\\\\?\\" + path;
}

bool absent(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

int readOption(const wchar_t* key, int defaultValue, const std::wstring& iniPath) {
    wchar_t buffer[optionBufferSize] = {};
    const DWORD count =
        GetPrivateProfileStringW(L"MAIN", key, missingValue, buffer, optionBufferSize, iniPath.c_str());
    return parseOptionValue(buffer, count, defaultValue);
}

void requireReadableIni(const std::wstring& iniPath) {
    const std::wstring path = extendedPath(iniPath);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && absent(GetLastError())) return;
    bool readable = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                    iniPath.size() < MAX_PATH;
    if (readable) {
        // The profile calls open the file for reading and let others read and write it.
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (absent(GetLastError())) return; // gone in between: absent after all
            readable = false;
        } else {
            CloseHandle(file);
        }
    }
    if (!readable) throw std::runtime_error("Cannot read the INI file.");
}

} // namespace lkm::plugin
