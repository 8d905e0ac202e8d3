// Recognition when memory runs out: with the n-th allocation of lkm::inspect
// failing, for every 13th n until none fails (about 900 of its 12000), the
// shortage comes out as std::bad_alloc and never as a verdict on the image.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

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
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

TEST(InspectMemory, EveryFailedAllocationIsAMemoryFailure) {
    const lkmtest::EngineImage engine = lkmtest::makeEngineImage();
    const lkm::Image image = engine.image();
    long failing = 0;
    for (bool ranOut = true; ranOut; failing += 13) {
        std::string verdict;
        ranOut = false;
        allocationsLeft = failing;
        try {
            lkm::inspect(image);
        } catch (const std::bad_alloc&) {
            ranOut = true;
        } catch (const std::exception& error) {
            verdict = error.what();
        }
        allocationsLeft = -1;
        EXPECT_EQ(verdict, "") << "allocation " << failing;
    }
    EXPECT_GT(failing, 10); // the sweep reached past the candidate loops
}
