// Prints the fields of a module's version resource as Windows reads them, one
// NAME=VALUE line each, then whether the module loads and exports InitializeASI.
//   version_fields FILE        (exit status 1: no version resource)
#include <windows.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    const DWORD size = argc == 2 ? GetFileVersionInfoSizeW(argv[1], nullptr) : 0;
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
    // The strings in the first language that the resource lists.
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && length >= 4) {
        const WORD* language = static_cast<const WORD*>(value);
        for (const wchar_t* name : {L"FileDescription", L"FileVersion", L"InternalName", L"OriginalFilename",
                                    L"ProductName", L"ProductVersion"}) {
            wchar_t path[80];
            swprintf(path, 80, L"\\StringFileInfo\\%04x%04x\\%ls", language[0], language[1], name);
            const bool found = VerQueryValueW(block.data(), path, &value, &length) && length > 0;
            std::printf("%ls=%ls\n", name, found ? static_cast<const wchar_t*>(value) : L"");
        }
    }
    const HMODULE module = LoadLibraryW(argv[1]);
    std::printf("InitializeASI=%s\n",
                module && GetProcAddress(module, "InitializeASI") ? "exported" : "missing");
    return 0;
}
