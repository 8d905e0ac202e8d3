// The process memory services the patching code needs, behind one small
// interface: the Windows implementation lives in memory_services_win32.cpp, and
// tests substitute plain buffers and injected failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lkm::plugin {

// What suspending a thread of the process came to.
enum class Suspension {
    held,    // the thread stopped
    gone,    // it had exited: nothing to hold
    refused, // it runs on and could not be stopped
};

// What asking for the next thread of the process came to.
enum class NextThread {
    found,  // a new handle to it
    none,   // no thread follows
    failed, // the threads could not be listed
};

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

    // The threads of the process other than the calling one (toolhelp snapshot,
    // OpenThread), appended to `threads` as handles that can be suspended, read
    // and resumed. A thread that exited before it was opened is left out; false
    // when the list cannot be taken or a live thread cannot be opened (the
    // handles appended so far stay in `threads`).
    virtual bool otherThreads(std::vector<void*>& threads) = 0;
    // Resolves what nextThread calls (NtGetNextThread); false when this system
    // has no way to list threads without the heap. Called before any suspension.
    virtual bool readyToRelist() = 0;
    // NtGetNextThread: the thread of the process after `thread` (null: the
    // first), the calling one skipped, as a new handle in `next` that can be
    // suspended, read and resumed. No heap and no lock: it lists while the other
    // threads are held.
    virtual NextThread nextThread(void* thread, void** next) = 0;
    // GetThreadId: the thread's id, unique while a handle to it is open; 0 when
    // it cannot be read. No heap and no lock.
    virtual uint32_t threadId(void* thread) = 0;
    // SuspendThread. Neither this nor the three below allocates or takes a lock.
    virtual Suspension suspend(void* thread) = 0;
    // GetThreadContext of a suspended thread: false when it cannot be read.
    virtual bool instructionPointer(void* thread, uintptr_t* address) = 0;
    // ResumeThread: false on failure.
    virtual bool resume(void* thread) = 0;
    // SwitchToThread, or Sleep(0) when no other thread was ready to run here.
    virtual void yield() = 0;
    // CloseHandle of a handle from otherThreads or nextThread. No heap, no lock.
    virtual void closeThread(void* thread) = 0;
};

// The services of the running Windows process (Windows builds only).
MemoryServices& windowsMemory();

} // namespace lkm::plugin
