// A stand-in for the process memory services: plain buffers, a log of every
// call in the order made, the protection each page currently has, and failures
// injected by call number. Its other threads are scripted; their calls go to a
// log of their own.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "memory_services.hpp"

namespace lkm::plugin::test {

class FakeMemory final : public lkm::plugin::MemoryServices {
public:
    // Addresses in the call log are written relative to `origin`.
    explicit FakeMemory(const void* origin, uint32_t page = 64) : origin_(origin), page_(page) {}

    std::vector<std::string> calls;
    std::map<uintptr_t, uint32_t> pages; // current protection of every page ever touched
    uint32_t initialProtection = lkm::plugin::pageExecuteRead;
    std::set<int> failingProtects;          // 1-based numbers of protect calls that fail
    int throwingProtect = 0;                // number of the protect call that throws std::bad_alloc
    std::set<int> failingFlushes;           // 1-based numbers of flush calls that fail
    std::function<void()> onFlush;          // runs inside every flush, before its result
    std::vector<uintptr_t> refusedRestores; // pages of failed calls that were to give a protection back

    uint32_t pageSize() override {
        calls.push_back("pageSize");
        return page_;
    }

    bool protect(void* address, std::size_t size, uint32_t protection, uint32_t* previous) override {
        const int number = ++protects_;
        if (anyHeld()) ++callsWhileHeld;
        char line[80];
        std::snprintf(line, sizeof line, "protect %+lld %zu %02X", relative(address), size,
                      unsigned(protection));
        calls.push_back(line);
        if (number == throwingProtect) throw std::bad_alloc();
        if (failingProtects.count(number)) {
            if (protection != lkm::plugin::pageExecuteReadWrite)
                refusedRestores.push_back(reinterpret_cast<uintptr_t>(address));
            return false;
        }
        const auto key = reinterpret_cast<uintptr_t>(address);
        const auto entry = pages.emplace(key, initialOf(key)).first;
        *previous = entry->second;
        entry->second = protection;
        return true;
    }

    void* currentProcess() override {
        calls.push_back("currentProcess");
        return processHandle();
    }

    bool flushInstructionCache(void* process, const void* address, std::size_t size) override {
        const int number = ++flushes_;
        char line[80];
        std::snprintf(line, sizeof line, "flush %s %s %zu", process == processHandle() ? "process" : "other",
                      address == nullptr ? "null" : "address", size);
        calls.push_back(line);
        if (onFlush) onFlush();
        return failingFlushes.count(number) == 0;
    }

    void* allocate(std::size_t, uint32_t) override {
        if (anyHeld()) ++callsWhileHeld;
        calls.push_back("allocate");
        return nullptr;
    }

    bool release(void*) override {
        calls.push_back("release");
        return false;
    }

    // Another thread of the process: where it stands at each reading of its
    // instruction pointer (the last place repeats; none: it cannot be read).
    struct Thread {
        std::vector<uintptr_t> places{0};
        lkm::plugin::Suspension suspension = lkm::plugin::Suspension::held;
        bool refusesResume = false;
        int born = 0; // listings that miss it: 1, the first (it starts after it), 2 the first two...
        int readings = 0, suspended = 0, opened = 0;
    };
    std::vector<Thread> threads;
    bool listFails = false;               // otherThreads fails after opening every thread
    bool cannotRelist = false;            // readyToRelist answers false
    bool relistFails = false;             // nextThread fails
    std::vector<std::string> threadCalls; // "list", "id 0", "suspend 0", "ip 0", "next 0", "next end",
                                          // "resume 0", "yield", "close 0"
    int callsWhileHeld = 0; // protect, allocate, listing or preparing calls while a thread was suspended
    int badHandles = 0;     // uses of a thread handle that is not open
    int listings = 0;       // otherThreads calls and listings begun by nextThread

    bool readyToRelist() override {
        if (anyHeld()) ++callsWhileHeld;
        return !cannotRelist;
    }
    bool otherThreads(std::vector<void*>& handles) override {
        if (anyHeld()) ++callsWhileHeld;
        threadCalls.push_back("list");
        ++listings;
        for (Thread& thread : threads)
            if (thread.born < listings) handles.push_back((++thread.opened, &thread));
        return !listFails;
    }
    // Each answer is a handle of its own to open and close, as NtGetNextThread's.
    lkm::plugin::NextThread nextThread(void* after, void** next) override {
        if (relistFails) return lkm::plugin::NextThread::failed;
        listings += after == nullptr ? 1 : 0;
        std::size_t i = after == nullptr ? 0 : std::size_t(&open(after) - threads.data()) + 1;
        while (i < threads.size() && threads[i].born >= listings) ++i;
        if (i == threads.size()) {
            threadCalls.push_back("next end");
            return lkm::plugin::NextThread::none;
        }
        threadCalls.push_back("next " + std::to_string(i));
        ++threads[i].opened;
        *next = &threads[i];
        return lkm::plugin::NextThread::found;
    }
    uint32_t threadId(void* handle) override { return uint32_t(&called("id ", handle) - threads.data()) + 1; }
    lkm::plugin::Suspension suspend(void* handle) override {
        Thread& thread = called("suspend ", handle);
        thread.suspended += thread.suspension == lkm::plugin::Suspension::held ? 1 : 0;
        return thread.suspension;
    }
    bool instructionPointer(void* handle, uintptr_t* address) override {
        Thread& thread = called("ip ", handle);
        if (thread.places.empty()) return false;
        *address = thread.places[std::min(std::size_t(thread.readings++), thread.places.size() - 1)];
        return true;
    }
    bool resume(void* handle) override {
        Thread& thread = called("resume ", handle);
        thread.suspended -= thread.refusesResume ? 0 : 1;
        return !thread.refusesResume;
    }
    void yield() override { threadCalls.push_back("yield"); }
    void closeThread(void* handle) override { --called("close ", handle).opened; }
    Thread& called(const char* call, void* handle) {
        Thread& thread = open(handle);
        threadCalls.push_back(call + std::to_string(&thread - threads.data()));
        return thread;
    }
    Thread& open(void* handle) {
        Thread& thread = *static_cast<Thread*>(handle);
        badHandles += thread.opened > 0 ? 0 : 1;
        return thread;
    }

    // Gives one page a protection other than `initialProtection` before the test.
    void seed(const void* page, uint32_t protection) {
        pages[reinterpret_cast<uintptr_t>(page)] = protection;
        initial_[reinterpret_cast<uintptr_t>(page)] = protection;
    }

    // The protection a page has now.
    uint32_t protectionOf(const void* page) const {
        const auto key = reinterpret_cast<uintptr_t>(page);
        const auto found = pages.find(key);
        return found == pages.end() ? initialOf(key) : found->second;
    }

    // The pages whose protection differs from the one they started with.
    std::vector<uintptr_t> changedPages() const {
        std::vector<uintptr_t> changed;
        for (const auto& [page, protection] : pages)
            if (protection != initialOf(page)) changed.push_back(page);
        return changed;
    }

    // True while any thread is suspended (one that refuses every resume stays so).
    bool anyHeld() const {
        return std::any_of(threads.begin(), threads.end(),
                           [](const Thread& t) { return t.suspended > 0 && !t.refusesResume; });
    }

private:
    long long relative(const void* address) const {
        return static_cast<long long>(reinterpret_cast<uintptr_t>(address) -
                                      reinterpret_cast<uintptr_t>(origin_));
    }
    static void* processHandle() {
        return reinterpret_cast<void*>(uintptr_t(-1));
    } // GetCurrentProcess' pseudo handle

    uint32_t initialOf(uintptr_t page) const {
        const auto found = initial_.find(page);
        return found == initial_.end() ? initialProtection : found->second;
    }

    std::map<uintptr_t, uint32_t> initial_;
    const void* origin_;
    uint32_t page_;
    int protects_ = 0;
    int flushes_ = 0;
};

// Collects the transaction's warning lines.
inline std::vector<std::string> warnings;
inline void collectWarning(const char* line) {
    warnings.emplace_back(line);
}

} // namespace lkm::plugin::test
