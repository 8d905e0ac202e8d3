// The memory services of the running Windows process.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstddef>

#include "memory_services.hpp"

namespace lkm::plugin {

namespace {

constexpr DWORD threadAccess = THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION;

// ntdll's NtGetNextThread(process, thread, access, attributes, flags, next):
// a kernel call that opens the thread after `thread` (null: the first).
using GetNextThread = LONG(NTAPI*)(HANDLE, HANDLE, ACCESS_MASK, ULONG, ULONG, HANDLE*);
constexpr LONG noMoreEntries = LONG(0x8000001AU); // STATUS_NO_MORE_ENTRIES

// True when the thread behind `thread` has ended (its exit code is set).
bool exited(HANDLE thread) {
    DWORD code = 0;
    return GetExitCodeThread(thread, &code) != 0 && code != STILL_ACTIVE;
}

// A toolhelp snapshot, closed on every way out.
struct Snapshot {
    HANDLE handle = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    Snapshot() = default;
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    ~Snapshot() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
};

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

    bool otherThreads(std::vector<void*>& threads) override {
        const Snapshot snapshot;
        if (snapshot.handle == INVALID_HANDLE_VALUE) return false;
        const DWORD process = GetCurrentProcessId();
        const DWORD self = GetCurrentThreadId();
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Thread32First(snapshot.handle, &entry); more;
             more = Thread32Next(snapshot.handle, &entry)) {
            // An entry too short to name its process is no thread of ours.
            const bool named = entry.dwSize >= offsetof(THREADENTRY32, th32OwnerProcessID) + sizeof(DWORD);
            const bool other = named && entry.th32OwnerProcessID == process && entry.th32ThreadID != self;
            entry.dwSize = sizeof entry;
            if (!other) continue;
            threads.reserve(threads.size() + 1); // room first: an opened handle is never lost
            const HANDLE thread = OpenThread(threadAccess, FALSE, entry.th32ThreadID);
            if (thread != nullptr) {
                threads.push_back(thread);
                continue;
            }
            // No thread of that number any more: it exited after the snapshot.
            if (GetLastError() != ERROR_INVALID_PARAMETER) return false;
        }
        return GetLastError() == ERROR_NO_MORE_FILES;
    }

    // NtGetNextThread came with Windows Vista. Without it the threads cannot be
    // listed while held, so the commit refuses and the game stays unchanged,
    // rather than leave a thread started during the hold running unheld.
    bool readyToRelist() override {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const FARPROC found = ntdll == nullptr ? nullptr : GetProcAddress(ntdll, "NtGetNextThread");
        getNextThread_ = reinterpret_cast<GetNextThread>(reinterpret_cast<void (*)()>(found));
        return getNextThread_ != nullptr;
    }

    NextThread nextThread(void* thread, void** next) override {
        if (getNextThread_ == nullptr) return NextThread::failed;
        const DWORD self = GetCurrentThreadId();
        HANDLE current = thread;
        for (;;) {
            HANDLE found = nullptr;
            const LONG status = getNextThread_(GetCurrentProcess(), current, threadAccess, 0, 0, &found);
            if (current != thread) CloseHandle(current); // the calling thread's, opened here
            if (status == noMoreEntries) return NextThread::none;
            if (status < 0 || found == nullptr) return NextThread::failed;
            if (GetThreadId(found) != self) {
                *next = found;
                return NextThread::found;
            }
            current = found;
        }
    }

    uint32_t threadId(void* thread) override { return GetThreadId(thread); }

    Suspension suspend(void* thread) override {
        if (SuspendThread(thread) != DWORD(-1)) return Suspension::held;
        return exited(thread) ? Suspension::gone : Suspension::refused;
    }

    bool instructionPointer(void* thread, uintptr_t* address) override {
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        // It also waits until the suspension has taken effect.
        if (GetThreadContext(thread, &context) == 0) return false;
        *address = context.Eip;
        return true;
    }

    bool resume(void* thread) override { return ResumeThread(thread) != DWORD(-1); }

    void yield() override {
        if (SwitchToThread() == 0) Sleep(0);
    }

    void closeThread(void* thread) override { CloseHandle(thread); }

private:
    GetNextThread getNextThread_ = nullptr;
};

// At namespace scope: a function-local static would take the runtime's guard.
WindowsMemory memory;

} // namespace

MemoryServices& windowsMemory() {
    return memory;
}

} // namespace lkm::plugin
