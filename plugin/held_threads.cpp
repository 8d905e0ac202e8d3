#include "held_threads.hpp"

#include "transaction.hpp"

namespace lkm::plugin {

namespace {

// True when `address` lies inside a patch but not on its first byte: a thread
// there would resume into the middle of changed bytes.
bool insideAfterFirstByte(const std::vector<Patch>& patches, uintptr_t address) {
    for (const Patch& patch : patches) {
        const uintptr_t first = reinterpret_cast<uintptr_t>(patch.target);
        if (address > first && address - first < patch.expected.size()) return true;
    }
    return false;
}

} // namespace

HeldThreads::HeldThreads(MemoryServices& memory) : memory_(memory) {
    try {
        listed_ = memory_.otherThreads(threads_);
        held_.assign(threads_.size(), 0);
    } catch (...) {
        for (void* thread : threads_) memory_.closeThread(thread);
        throw;
    }
}

HeldThreads::~HeldThreads() {
    release();
    for (void* thread : threads_) memory_.closeThread(thread);
}

bool HeldThreads::holdOutside(const std::vector<Patch>& patches) {
    bool clear = listed_;
    for (std::size_t i = 0; clear && i < threads_.size(); ++i) {
        const Suspension suspension = memory_.suspend(threads_[i]);
        if (suspension == Suspension::gone) continue;
        if (suspension == Suspension::refused) {
            clear = false;
            break;
        }
        held_[i] = 1;
        // A thread whose place cannot be read may be anywhere, also inside a patch.
        uintptr_t address = 0;
        if (!memory_.instructionPointer(threads_[i], &address) || insideAfterFirstByte(patches, address))
            clear = false;
    }
    if (!clear) release();
    return clear;
}

void HeldThreads::release() {
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        if (held_[i] == 0) continue;
        // A thread that cannot be resumed is past helping: the others go on all the same.
        memory_.resume(threads_[i]);
        held_[i] = 0;
    }
}

} // namespace lkm::plugin
