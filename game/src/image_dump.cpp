#include "image_dump.hpp"

#include <windows.h>

#include <cstdio>

bool dumpMainModule(const char* path) {
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const DWORD size = nt->OptionalHeader.SizeOfImage;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    // An ordinary executable maps every page of its image readable.
    const bool written = std::fwrite(base, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}
