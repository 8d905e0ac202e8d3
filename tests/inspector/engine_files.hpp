// Executable files for the inspector's tests: the synthetic engine image
// written as a file whose sections lie at the same offsets in the file as in
// memory, so mapping the file must give back the image byte for byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine_image.hpp"

namespace lkmtest {

// The image bytes with every section's PointerToRawData set to its address.
std::vector<uint8_t> engineFile(const EngineImage& engine);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

} // namespace lkmtest
