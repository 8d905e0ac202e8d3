#include "frame.hpp"

#include <algorithm>
#include <cstddef>

namespace lkm::game {

Frame::Frame(int width, int height)
    : width_(width), height_(height), bytes_(size_t(width) * size_t(height) * 3, 0) {}

void Frame::set(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &bytes_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
    p[0] = colour.r;
    p[1] = colour.g;
    p[2] = colour.b;
}

void Frame::fill(int x0, int y0, int x1, int y1, Rgb colour, float opacity) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    const float keep = 1.0f - opacity;
    auto blend = [&](uint8_t old, uint8_t over) {
        return uint8_t(float(old) * keep + float(over) * opacity + 0.5f);
    };
    for (int y = y0; y < y1; ++y) {
        uint8_t* p = &bytes_[(size_t(y) * size_t(width_) + size_t(x0)) * 3];
        for (int x = x0; x < x1; ++x, p += 3) {
            p[0] = blend(p[0], colour.r);
            p[1] = blend(p[1], colour.g);
            p[2] = blend(p[2], colour.b);
        }
    }
}

} // namespace lkm::game
