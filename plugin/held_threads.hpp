// The game's other threads held still while the transaction writes live code:
// every one suspended, none of them stopped inside a run about to be written.
#pragma once

#include <cstdint>
#include <vector>

#include "memory_services.hpp"

namespace lkm::plugin {

struct Patch;

class HeldThreads {
public:
    // Lists and opens the other threads; everything the holding needs is
    // allocated here, so that hold and release allocate nothing. A thread
    // started after the listing is not held. A failed resume is not retried:
    // the thread is gone, or its handle no longer valid.
    explicit HeldThreads(MemoryServices& memory);
    // Resumes every thread still held and closes every handle.
    ~HeldThreads();
    HeldThreads(const HeldThreads&) = delete;
    HeldThreads& operator=(const HeldThreads&) = delete;

    // False when the threads could not all be listed and opened.
    bool listed() const { return listed_; }
    // Suspends every listed thread. True when each one is held (or has exited)
    // and none stopped inside a patch past its first byte; otherwise every
    // thread it suspended is resumed again and the answer is false. No heap, no
    // lock, no log line.
    bool holdOutside(const std::vector<Patch>& patches);
    // Resumes every held thread, each once; a thread that cannot be resumed does
    // not keep the others waiting.
    void release();

private:
    MemoryServices& memory_;
    std::vector<void*> threads_;
    std::vector<uint8_t> held_; // 1 where threads_[i] is suspended by this object
    bool listed_ = false;
};

} // namespace lkm::plugin
