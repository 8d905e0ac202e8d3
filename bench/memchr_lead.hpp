// The yardstick both search benchmarks measure against: one memchr pass that
// counts a signature's lead byte over the code bytes.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "lkm/image.hpp"

namespace lkm::bench {

// Counts the bytes equal to the first byte of `signature` (its first two hex
// digits) in [code, code + length) of the image; the count is the "hits" counter.
void memchrLead(benchmark::State& state, const lkm::Image* image, uint32_t code, uint32_t length,
                const char* signature);

} // namespace lkm::bench
