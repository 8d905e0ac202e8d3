#include "image_dump.hpp"

#include <cstdio>

#include "own_image.hpp"

namespace lkm::game {

bool dumpMainModule(const char* path) {
    const uint8_t* base = ownImageBase();
    const uint32_t size = ownImageSize();
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    // An ordinary executable maps every page of its image readable.
    const bool written = std::fwrite(base, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

} // namespace lkm::game
