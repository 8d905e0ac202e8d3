#include "process_cost.hpp"

#include <windows.h>

#include <psapi.h>

#include <cstring>
#include <vector>

#include "own_image.hpp"

namespace lkm::game {

namespace {

// Committed private memory, region by region: what Windows charges as commit.
uint64_t privateCommit() {
    uint64_t total = 0;
    uintptr_t address = 0;
    MEMORY_BASIC_INFORMATION region{};
    while (VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return total;
}

} // namespace

ProcessMemory processMemory() {
    ProcessMemory memory;
    memory.commit = privateCommit();
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        memory.peakCommit = counters.PeakPagefileUsage;
        memory.workingSet = counters.WorkingSetSize;
        memory.peakWorkingSet = counters.PeakWorkingSetSize;
    }
    return memory;
}

int64_t clockTicks() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double millisecondsBetween(int64_t start, int64_t end) {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return double(end - start) * 1000.0 / double(frequency.QuadPart);
}

double coldImageCopyMs(uint32_t& size) {
    const uint8_t* base = ownImageBase();
    size = ownImageSize();
    void* copy = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!copy) return -1;
    const int64_t start = clockTicks();
    std::memcpy(copy, base, size); // an ordinary executable maps every page of its image readable
    const int64_t end = clockTicks();
    VirtualFree(copy, 0, MEM_RELEASE);
    return millisecondsBetween(start, end);
}

CommitSampler::CommitSampler() {
    peak_ = privateCommit();
    // Below the start-up it measures: on a machine with a second core it takes
    // that one, and it never takes the start-up's core from it.
    thread_ = CreateThread(nullptr, 0, run, this, CREATE_SUSPENDED, nullptr);
    if (thread_) {
        SetThreadPriority(thread_, THREAD_PRIORITY_LOWEST);
        ResumeThread(thread_);
    }
}

CommitSampler::~CommitSampler() {
    finish();
}

uint64_t CommitSampler::finish() {
    InterlockedExchange(&stop_, 1);
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    const uint64_t now = privateCommit();
    if (now > peak_) peak_ = now;
    return peak_;
}

unsigned long __stdcall CommitSampler::run(void* self) {
    auto& sampler = *static_cast<CommitSampler*>(self);
    while (InterlockedCompareExchange(&sampler.stop_, 0, 0) == 0) {
        const uint64_t now = privateCommit();
        if (now > sampler.peak_) sampler.peak_ = now;
        Sleep(1);
    }
    return 0;
}

} // namespace lkm::game
