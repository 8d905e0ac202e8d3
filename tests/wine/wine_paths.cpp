#include "wine_paths.hpp"

#include <windows.h>

namespace lkm::plugin::test {

std::wstring windowsPath(const char* buildPath) {
    // Wine's own translation, present in every Wine kernel32; the path is used
    // as it is where it is missing (then it is a Windows path already).
    using Translate = wchar_t* (*)(const char*);
    const auto translate = reinterpret_cast<Translate>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (translate && buildPath[0] == '/') {
        if (wchar_t* dos = translate(buildPath)) {
            std::wstring result = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    std::wstring result;
    for (const char* c = buildPath; *c; ++c) result.push_back(*c == '/' ? L'\\' : wchar_t(*c));
    return result;
}

std::wstring pluginPath() {
    return windowsPath(LKM_PLUGIN_FILE);
}
std::wstring shippedIniPath() {
    return windowsPath(LKM_PLUGIN_INI);
}
std::wstring hostPath() {
    return windowsPath(LKM_HOST_FILE);
}

} // namespace lkm::plugin::test
