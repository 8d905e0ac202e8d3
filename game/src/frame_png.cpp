#include "frame_png.hpp"

#include <algorithm>
#include <cstdint>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#include <stb_image_resize.h>
#include <stb_image_write.h>

namespace lkm::game {

Frame scaled(const Frame& frame, int width) {
    const int height =
        std::max(1, int((int64_t(frame.height()) * width + frame.width() / 2) / frame.width()));
    Frame result(width, height);
    // Filtered in linear light, as sRGB pixels should be.
    stbir_resize_uint8_srgb(frame.bytes().data(), frame.width(), frame.height(), 0, result.data(), width,
                            height, 0, 3, STBIR_ALPHA_CHANNEL_NONE, 0);
    return result;
}

bool writePng(const Frame& frame, const std::string& path) {
    return stbi_write_png(path.c_str(), frame.width(), frame.height(), 3, frame.bytes().data(),
                          frame.width() * 3) != 0;
}

} // namespace lkm::game
