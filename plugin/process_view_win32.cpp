// The running process as the explanation of a stop reads it.
#include <windows.h>

#include <cstring>
#include <vector>

#include "lkm/utf8_win32.hpp"
#include "process_view.hpp"

namespace lkm::plugin {

namespace {

constexpr DWORD pathCapacity = 32768; // wide characters, the longest Windows path
constexpr uint64_t addressSpace = uint64_t(1) << 32;
constexpr DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                           PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD executable =
    PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

// The region at `address`, when it is committed and its protection has one of `access` and no guard.
bool committed(uint64_t address, DWORD access, MEMORY_BASIC_INFORMATION& info) {
    return VirtualQuery(reinterpret_cast<const void*>(uintptr_t(address)), &info, sizeof info) ==
               sizeof info &&
           info.State == MEM_COMMIT && (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) == 0 &&
           (info.Protect & access) != 0;
}

class WindowsProcess final : public ProcessView {
public:
    bool read(uint32_t address, uint8_t* out, std::size_t length) const override {
        const uint64_t end = uint64_t(address) + length;
        if (end > addressSpace) return false;
        // Every region of the range is asked first: a guard page is never touched.
        for (uint64_t at = address; at < end;) {
            MEMORY_BASIC_INFORMATION info;
            if (!committed(at, readable, info)) return false;
            const uint64_t regionEnd = uint64_t(uintptr_t(info.BaseAddress)) + info.RegionSize;
            if (regionEnd <= at) return false;
            at = regionEnd;
        }
        if (length != 0) std::memcpy(out, reinterpret_cast<const void*>(uintptr_t(address)), length);
        return true;
    }

    ModuleAt moduleAt(uint32_t address) const override {
        HMODULE module = nullptr;
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                   GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(uintptr_t(address)), &module)) {
            std::vector<wchar_t> path(pathCapacity);
            const DWORD length = GetModuleFileNameW(module, path.data(), pathCapacity);
            const std::string name = length != 0 && length < pathCapacity
                                         ? lkm::windows::narrowed(std::wstring(path.data(), length))
                                         : std::string();
            if (!name.empty()) return {name, false};
        }
        MEMORY_BASIC_INFORMATION info;
        return {std::nullopt, committed(address, executable, info)};
    }
};

// At namespace scope: a function-local static would take the runtime's guard.
WindowsProcess process;

} // namespace

const ProcessView& windowsProcess() {
    return process;
}

std::wstring gameExecutablePath() {
    std::vector<wchar_t> path(pathCapacity);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), pathCapacity);
    if (length == 0 || length >= pathCapacity) return std::wstring();
    return std::wstring(path.data(), length);
}

} // namespace lkm::plugin
