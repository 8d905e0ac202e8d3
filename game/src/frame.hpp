// A frame the game shows: 8-bit RGB pixels, rows from the top, and the two
// drawing operations that the scene and the HUD share.
#pragma once

#include <cstdint>
#include <vector>

namespace lkm::game {

struct Rgb {
    uint8_t r, g, b;
};

class Frame {
public:
    Frame(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    uint8_t* data() { return bytes_.data(); }
    void set(int x, int y, Rgb colour);
    // Blends colour over the pixels [x0, x1) x [y0, y1), clipped to the frame;
    // opacity 1 replaces them.
    void fill(int x0, int y0, int x1, int y1, Rgb colour, float opacity = 1.0f);

private:
    int width_, height_;
    std::vector<uint8_t> bytes_;
};

} // namespace lkm::game
