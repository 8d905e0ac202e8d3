// The memory services of the running Windows process.
#include <windows.h>

#include "memory_services.hpp"

namespace lwf {

namespace {

class WindowsMemory final : public MemoryServices {
public:
    uint32_t pageSize() override {
        SYSTEM_INFO info{};
        GetSystemInfo(&info);
        return info.dwPageSize;
    }

    bool protect(void* address, std::size_t size, uint32_t protection, uint32_t* previous) override {
        DWORD old = 0;
        const bool ok = VirtualProtect(address, size, protection, &old) != 0;
        if (ok && previous != nullptr) *previous = old;
        return ok;
    }

    void* currentProcess() override { return GetCurrentProcess(); }

    bool flushInstructionCache(void* process, const void* address, std::size_t size) override {
        return FlushInstructionCache(process, address, size) != 0;
    }

    void* allocate(std::size_t size, uint32_t protection) override {
        return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, protection);
    }

    bool release(void* address) override { return VirtualFree(address, 0, MEM_RELEASE) != 0; }
};

// At namespace scope: a function-local static would take the runtime's guard.
WindowsMemory memory;

} // namespace

MemoryServices& windowsMemory() {
    return memory;
}

} // namespace lwf
