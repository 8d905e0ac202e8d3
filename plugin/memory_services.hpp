// The process memory services the patching code needs, behind one small
// interface: the Windows implementation lives in memory_services_win32.cpp, and
// tests substitute plain buffers and injected failures.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lwf {

// Windows page protection constants used by the plug-in.
inline constexpr uint32_t pageReadWrite = 0x04;        // PAGE_READWRITE
inline constexpr uint32_t pageExecuteRead = 0x20;      // PAGE_EXECUTE_READ
inline constexpr uint32_t pageExecuteReadWrite = 0x40; // PAGE_EXECUTE_READWRITE

struct MemoryServices {
    virtual ~MemoryServices() = default;
    // GetSystemInfo: the system page size.
    virtual uint32_t pageSize() = 0;
    // VirtualProtect: false on failure; `previous` receives the old protection.
    virtual bool protect(void* address, std::size_t size, uint32_t protection, uint32_t* previous) = 0;
    // GetCurrentProcess.
    virtual void* currentProcess() = 0;
    // FlushInstructionCache: false when it returns zero.
    virtual bool flushInstructionCache(void* process, const void* address, std::size_t size) = 0;
    // VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, protection): null on failure.
    virtual void* allocate(std::size_t size, uint32_t protection) = 0;
    // VirtualFree(address, 0, MEM_RELEASE).
    virtual bool release(void* address) = 0;
};

// The services of the running Windows process (Windows builds only).
MemoryServices& windowsMemory();

} // namespace lwf
