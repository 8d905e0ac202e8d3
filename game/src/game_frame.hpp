// The frame the game shows after its engine ran, rendered from what the engine
// received: the resolution in r_xres and r_yres, the view angles that the
// camera projection returned, the GUI canvas and conversions, the mouse mapping.
#pragma once

#include <string>

#include "asi_loader.hpp"

namespace lkm::game {

struct FrameRequest {
    std::string path;     // PNG file to write; empty: no frame
    int width = 0;        // scale the picture to this width; 0: full size
    int screens = 1;      // mark the seams of this many screens side by side
    bool caption = false; // add a line under the picture: resolution, plug-in, view, canvas
};

// Renders and writes the frame; returns "" or the sentence saying what failed.
std::string writeGameFrame(const FrameRequest& request, const AsiReport& asi);

} // namespace lkm::game
