#include "held_threads.hpp"

#include <algorithm>

namespace lkm::plugin {

namespace {

// True when `address` lies inside a patch at `base` but not on its first byte:
// a thread there would resume into the middle of changed bytes.
bool insideAfterFirstByte(const uint8_t* base, const std::vector<lkm::Patch>& patches, uintptr_t address) {
    const uintptr_t from = reinterpret_cast<uintptr_t>(base);
    if (address < from) return false;
    const uintptr_t into = address - from;
    for (const lkm::Patch& patch : patches)
        if (into > patch.offset && into - patch.offset < patch.expected.size()) return true;
    return false;
}

} // namespace

HeldThreads::HeldThreads(MemoryServices& memory) : memory_(memory) {
    try {
        listed_ = memory_.readyToRelist() && memory_.otherThreads(threads_);
        listedCount_ = threads_.size();
        limit_ = listedCount_ + newcomerRoom;
        threads_.reserve(limit_);
        ids_.reserve(limit_);
        held_.reserve(limit_);
        held_.assign(listedCount_, 0);
        ids_.assign(listedCount_, 0);
        for (std::size_t i = 0; listed_ && i < listedCount_; ++i) {
            ids_[i] = memory_.threadId(threads_[i]);
            listed_ = ids_[i] != 0;
        }
    } catch (...) {
        for (void* thread : threads_) memory_.closeThread(thread);
        throw;
    }
}

HeldThreads::~HeldThreads() {
    release();
    for (void* thread : threads_) memory_.closeThread(thread);
}

bool HeldThreads::holdOutside(const uint8_t* base, const std::vector<lkm::Patch>& patches) {
    bool clear = listed_;
    for (std::size_t i = 0; clear && i < listedCount_; ++i) clear = hold(i, base, patches);
    clear = clear && holdNewcomers(base, patches);
    if (!clear) release();
    return clear;
}

bool HeldThreads::hold(std::size_t i, const uint8_t* base, const std::vector<lkm::Patch>& patches) {
    const Suspension suspension = memory_.suspend(threads_[i]);
    if (suspension == Suspension::gone) return true;
    if (suspension == Suspension::refused) return false;
    held_[i] = 1;
    // A thread whose place cannot be read may be anywhere, also inside a patch.
    uintptr_t address = 0;
    return memory_.instructionPointer(threads_[i], &address) && !insideAfterFirstByte(base, patches, address);
}

bool HeldThreads::holdNewcomers(const uint8_t* base, const std::vector<lkm::Patch>& patches) {
    // Every newcomer adds one to threads_, which stops at limit_: the passes end.
    for (bool found = true; found;) {
        found = false;
        void* position = nullptr; // the thread last listed: where the listing goes on from
        bool closeAfter = false;  // position is a known thread's handle, opened by this listing
        for (;;) {
            void* next = nullptr;
            const NextThread answer = memory_.nextThread(position, &next);
            if (closeAfter) memory_.closeThread(position);
            if (answer == NextThread::none) break;
            if (answer == NextThread::failed) return false;
            const uint32_t id = memory_.threadId(next);
            const bool known = id != 0 && std::find(ids_.begin(), ids_.end(), id) != ids_.end();
            position = next;
            closeAfter = known;
            if (known) continue;
            if (id == 0 || threads_.size() == limit_) {
                memory_.closeThread(next);
                return false;
            }
            // Within the capacity reserved by the constructor: no allocation.
            threads_.push_back(next);
            ids_.push_back(id);
            held_.push_back(0);
            found = true;
            if (!hold(threads_.size() - 1, base, patches)) return false;
        }
    }
    return true;
}

void HeldThreads::release() {
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (held_[i] == 0) continue;
        // A thread that cannot be resumed is past helping: the others go on all the same.
        memory_.resume(threads_[i]);
        held_[i] = 0;
    }
    // The next hold lists them again. Shrinking frees nothing.
    for (std::size_t i = listedCount_; i < threads_.size(); ++i) memory_.closeThread(threads_[i]);
    threads_.resize(listedCount_);
    ids_.resize(listedCount_);
    held_.resize(listedCount_);
}

} // namespace lkm::plugin
