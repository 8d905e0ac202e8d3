// What starting a module costs the game's process: time and memory.
#pragma once

#include <cstdint>

namespace lkm::game {

struct ProcessMemory {
    uint64_t commit = 0;         // private bytes committed now
    uint64_t peakCommit = 0;     // the most private bytes committed so far
    uint64_t workingSet = 0;     // bytes resident now
    uint64_t peakWorkingSet = 0; // the most bytes resident so far
};

ProcessMemory processMemory();

// Milliseconds between two readings of a monotonic clock.
int64_t clockTicks();
double millisecondsBetween(int64_t start, int64_t end);

// One memcpy of the main module's image into memory just allocated (its pages
// touched for the first time by the copy), in milliseconds; SizeOfImage in `size`.
double coldImageCopyMs(uint32_t& size);

// Samples the committed private bytes every millisecond on a thread of its own
// while it lives: the highest sample is the peak of what runs meanwhile.
class CommitSampler {
public:
    CommitSampler();
    ~CommitSampler();
    CommitSampler(const CommitSampler&) = delete;
    CommitSampler& operator=(const CommitSampler&) = delete;
    // Stops the sampling; the highest sample, the last one included.
    uint64_t finish();

private:
    void* thread_ = nullptr;
    volatile long stop_ = 0;
    volatile uint64_t peak_ = 0;
    static unsigned long __stdcall run(void* self);
};

} // namespace lkm::game
