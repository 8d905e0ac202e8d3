// The game's other threads held still while the transaction writes live code:
// every one suspended, none of them stopped inside a run about to be written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lkm/patch.hpp"
#include "memory_services.hpp"

namespace lkm::plugin {

class HeldThreads {
public:
    // Threads a hold can take on beyond the listed ones: those started after the
    // listing, found by listing the threads again while the others are held.
    static constexpr std::size_t newcomerRoom = 64;

    // Lists and opens the other threads and reads their ids; everything the
    // holding needs, room for newcomers included, is allocated here, so that
    // hold and release allocate nothing. A failed resume is not retried: the
    // thread is gone, or its handle no longer valid.
    explicit HeldThreads(MemoryServices& memory);
    // Resumes every thread still held and closes every handle.
    ~HeldThreads();
    HeldThreads(const HeldThreads&) = delete;
    HeldThreads& operator=(const HeldThreads&) = delete;

    // False when the threads could not all be listed and opened, or could not
    // be listed again while held.
    bool listed() const { return listed_; }
    // Suspends every listed thread, then lists the threads again, and again,
    // until a listing meets none that is not held yet, suspending each thread
    // started after the listing: once every other thread is held, none can
    // start. True when each one is held (or has exited) and none stopped inside
    // a patch (at `base` + its offset) past its first byte; otherwise, also
    // when a newcomer finds no room or cannot be listed, opened or held, every
    // thread it suspended is resumed again and the answer is false. No heap, no
    // lock, no log line.
    bool holdOutside(const uint8_t* base, const std::vector<lkm::Patch>& patches);
    // Resumes every held thread, each once, and closes the newcomers' handles;
    // a thread that cannot be resumed does not keep the others waiting.
    void release();

private:
    // Suspends threads_[i]: true when it is held outside the patches or has exited.
    bool hold(std::size_t i, const uint8_t* base, const std::vector<lkm::Patch>& patches);
    // Lists the threads again until a listing finds no newcomer, holding each
    // one it finds; false at the first that cannot be taken on or held.
    bool holdNewcomers(const uint8_t* base, const std::vector<lkm::Patch>& patches);

    MemoryServices& memory_;
    // The listed threads first, then the newcomers of the current hold; all
    // three reserved up to `limit_` in the constructor.
    std::vector<void*> threads_;
    std::vector<uint32_t> ids_;
    std::vector<uint8_t> held_; // 1 where threads_[i] is suspended by this object
    std::size_t listedCount_ = 0;
    std::size_t limit_ = 0;
    bool listed_ = false;
};

} // namespace lkm::plugin
