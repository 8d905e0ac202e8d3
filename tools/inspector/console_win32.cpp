#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include "console.hpp"
#include "lkm/utf8_win32.hpp"
#include "wide_text_win32.hpp"

namespace lkm::inspector {

namespace {

// A console gets UTF-16, whatever its code page; a file or a pipe gets the
// UTF-8 bytes, with line feeds only.
void write(DWORD stream, const std::string& text) {
    const HANDLE handle = GetStdHandle(stream);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || text.empty()) return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widened(text);
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &done, nullptr);
    } else {
        WriteFile(handle, text.data(), DWORD(text.size()), &done, nullptr);
    }
}

} // namespace

std::vector<std::string> commandLineWords(int, char**) {
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 1; words && i < count; ++i) out.push_back(lkm::windows::narrowed(words[i]));
    LocalFree(words);
    return out;
}

void writeOut(const std::string& text) {
    write(STD_OUTPUT_HANDLE, text);
}

void writeError(const std::string& text) {
    write(STD_ERROR_HANDLE, text);
}

} // namespace lkm::inspector
