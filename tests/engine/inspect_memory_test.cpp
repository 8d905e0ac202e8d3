// Recognition when memory runs out: with the n-th allocation of lkm::inspect
// failing, the shortage comes out as std::bad_alloc and never as a verdict on
// the image. Every n of the first 400 (the candidate loops come early), then
// every 97th until none fails (of about 12000).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

namespace {
long allocationsLeft = -1; // allocations before the one that fails; -1: none fails
} // namespace

void* operator new(std::size_t size) {
    if (allocationsLeft >= 0 && allocationsLeft-- == 0) throw std::bad_alloc(); // that one only
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// GCC, optimising a little, pairs a new-expression it sees with the free()
// inside this replacement and warns; new and delete here do match.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

TEST(InspectMemory, EveryFailedAllocationIsAMemoryFailure) {
    const lkm::Image image = lkm::test::makeEngineImage().image();
    bool ranOut = true;
    for (long failing = 0; ranOut; failing += failing < 400 ? 1 : 97) {
        allocationsLeft = failing;
        ranOut = false;
        try {
            lkm::inspect(image);
        } catch (const std::bad_alloc&) {
            ranOut = true;
        } catch (const std::exception& error) {
            ADD_FAILURE() << "allocation " << failing << ": " << error.what();
        }
        allocationsLeft = -1;
    }
}
