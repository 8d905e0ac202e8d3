// The fuzz bodies. Each takes one input, runs the code under test on it and
// checks a property of the result; a violation stops the process (check.hpp).
// The same bodies run under libFuzzer (fuzzer_main.cpp, clang tree) and under
// the plain replay runner of the ordinary test trees (replay.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace lkm::fuzz {

// lkm::Image on arbitrary bytes: 4 bytes of load address, then the image.
int image(const uint8_t* data, std::size_t size);
// lkm::inspect and lkm::build on the synthetic engine with a list of edits (inspect_input.hpp).
int inspect(const uint8_t* data, std::size_t size);
// Image::find with the engine's signatures over a small image whose code is the input.
int find(const uint8_t* data, std::size_t size);
// The inspector's file mapping on arbitrary file bytes.
int mapping(const uint8_t* data, std::size_t size);
// The INI option parser on a wide string decoded from the bytes (option_input.hpp).
int option(const uint8_t* data, std::size_t size);

struct Target {
    const char* name;
    int (*body)(const uint8_t*, std::size_t);
};

inline constexpr Target targets[] = {
    {"image", image}, {"inspect", inspect}, {"find", find}, {"mapping", mapping}, {"option", option},
};

} // namespace lkm::fuzz
