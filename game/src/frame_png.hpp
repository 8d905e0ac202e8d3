// A frame scaled and written as a PNG file through the single-header stb
// scaler and writer.
#pragma once

#include <string>

#include "frame.hpp"

namespace lkm::game {

// The frame scaled to `width` pixels across, its aspect kept.
Frame scaled(const Frame& frame, int width);
// False when the file cannot be written.
bool writePng(const Frame& frame, const std::string& path);

} // namespace lkm::game
