#include "heap_peak.hpp"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> liveBytes{0}, peakBytes{0};

void* allocate(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    const std::size_t live = liveBytes += malloc_usable_size(p);
    for (std::size_t peak = peakBytes; live > peak && !peakBytes.compare_exchange_weak(peak, live);) {
    }
    return p;
}

void release(void* p) noexcept {
    if (!p) return;
    liveBytes -= malloc_usable_size(p);
    std::free(p);
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

namespace lkm::bench {

std::size_t liveHeap() {
    return liveBytes;
}

void resetHeapPeak() {
    peakBytes = liveBytes.load();
}

std::size_t heapPeak() {
    return peakBytes;
}

} // namespace lkm::bench
