// A 32-bit value as the inspector shows addresses and words: 0x and eight
// upper-case hex digits.
#pragma once

#include <cstdint>
#include <string>

namespace lkm::inspector {

std::string hexWord(uint32_t value);

} // namespace lkm::inspector
