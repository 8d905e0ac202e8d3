#include "rival_win32.hpp"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>

#include "hook_code.hpp"
#include "own_image.hpp"

namespace lkm::game::rival {

namespace {

constexpr std::size_t trampolinePage = 0x1000;

uint32_t address32(const void* pointer) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

struct Start {
    const char* module;
    void (*install)();
};

BOOL CALLBACK startInstall(INIT_ONCE*, void* parameter, void**) {
    const auto* start = static_cast<const Start*>(parameter);
    try {
        start->install();
    } catch (const std::exception& failure) {
        OutputDebugStringA((std::string(start->module) + ": " + failure.what()).c_str());
    }
    return TRUE;
}

} // namespace

std::vector<CodeRange> gameCode() {
    const uint8_t* const base = ownImageBase();
    const uint32_t imageSize = ownImageSize();
    std::vector<CodeRange> ranges;
    for (const lkm::SectionHeader& section : ownSections()) {
        if (!(section.characteristics & IMAGE_SCN_MEM_EXECUTE) || section.rva >= imageSize) continue;
        const uint32_t size =
            std::min(std::max(section.virtualSize, section.rawSize), imageSize - section.rva);
        ranges.push_back({base + section.rva, size});
    }
    std::sort(ranges.begin(), ranges.end(),
              [](const CodeRange& a, const CodeRange& b) { return a.bytes < b.bytes; });
    return ranges;
}

void writeCode(const uint8_t* at, const std::vector<uint8_t>& bytes) {
    void* const code = const_cast<uint8_t*>(at);
    DWORD previous = 0;
    if (!VirtualProtect(code, bytes.size(), PAGE_EXECUTE_READWRITE, &previous))
        throw std::runtime_error("Cannot unprotect the game's code.");
    std::memcpy(code, bytes.data(), bytes.size());
    DWORD unused = 0;
    const bool restored = VirtualProtect(code, bytes.size(), previous, &unused) != 0;
    FlushInstructionCache(GetCurrentProcess(), code, bytes.size());
    if (!restored) throw std::runtime_error("Cannot protect the game's code again.");
}

void installDetour(const Place& place, const void* hook, void*& original) {
    void* const page = VirtualAlloc(nullptr, trampolinePage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!page) throw std::runtime_error("Cannot allocate the trampoline.");
    Detour code;
    try {
        code = detour(place.at, place.available, address32(place.at), address32(page), address32(hook));
        std::memcpy(page, code.trampoline.data(), code.trampoline.size());
        DWORD previous = 0;
        if (!VirtualProtect(page, trampolinePage, PAGE_EXECUTE_READ, &previous))
            throw std::runtime_error("Cannot protect the trampoline.");
    } catch (...) {
        VirtualFree(page, 0, MEM_RELEASE);
        throw;
    }
    FlushInstructionCache(GetCurrentProcess(), page, trampolinePage);
    original = page;
    // From here on the trampoline stays, whatever happens to the entry.
    writeCode(place.at, code.entry);
}

void startOnce(const char* module, void (*install)()) {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    Start start{module, install};
    InitOnceExecuteOnce(&once, startInstall, &start, nullptr);
}

} // namespace lkm::game::rival
