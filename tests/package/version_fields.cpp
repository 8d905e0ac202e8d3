// Prints the version resource of a module as Windows reads it, one NAME=VALUE
// line per field, then loads the module and tells whether it exports
// InitializeASI. Exit status 1 when the file has no version resource.
//   version_fields FILE
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? std::size_t(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(result.size() - 1);
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], nullptr);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, block.data())) return 1;

    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        const auto print = [](const char* name, DWORD high, DWORD low) {
            std::printf("fixed %s=%u.%u.%u.%u\n", name, unsigned(HIWORD(high)), unsigned(LOWORD(high)),
                        unsigned(HIWORD(low)), unsigned(LOWORD(low)));
        };
        print("FileVersion", fixed->dwFileVersionMS, fixed->dwFileVersionLS);
        print("ProductVersion", fixed->dwProductVersionMS, fixed->dwProductVersionLS);
        std::printf("fixed FileType=%lu\n", fixed->dwFileType);
    }
    // The strings of the first language the resource lists.
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        const WORD* language = static_cast<const WORD*>(value);
        for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"InternalName", L"OriginalFilename",
                                    L"ProductName", L"ProductVersion"}) {
            wchar_t path[80];
            swprintf(path, 80, L"\\StringFileInfo\\%04x%04x\\%ls", language[0], language[1], name);
            const bool found = VerQueryValueW(block.data(), path, &value, &length) && length > 0;
            std::printf("%s=%s\n", utf8(name).c_str(),
                        found ? utf8(static_cast<const wchar_t*>(value)).c_str() : "");
        }
    }
    const HMODULE module = LoadLibraryW(argv[1]);
    std::printf("InitializeASI=%s\n",
                module && GetProcAddress(module, "InitializeASI") ? "exported" : "missing");
    return 0;
}
