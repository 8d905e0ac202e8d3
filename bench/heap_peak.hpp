// Heap use of the benchmark's own process, counted by replacing the global
// operator new and delete (linking heap_peak.cpp replaces them): the bytes
// live now, and the most that were live since the last reset.
#pragma once

#include <cstddef>

namespace lkm::bench {

std::size_t liveHeap();
// Starts a new peak at what is live now.
void resetHeapPeak();
// The most heap bytes live at once since resetHeapPeak.
std::size_t heapPeak();

} // namespace lkm::bench
