#include "hex_text.hpp"

#include <cstdio>

namespace lkm::inspector {

std::string hexWord(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(value));
    return text;
}

} // namespace lkm::inspector
