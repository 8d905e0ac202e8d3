// The libFuzzer entry of one target; LKMFUZZ_TARGET names its body (bodies.hpp).
#include <cstddef>
#include <cstdint>

#include "bodies.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    return lkm::fuzz::LKMFUZZ_TARGET(data, size);
}

// Allocation stacks cost more than the code under test, which allocates a
// message string for every bounded read; a finding is replayed with full
// stacks by setting ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options() {
    return "malloc_context_size=0";
}
