// The game's 3-D view: the scene of frame_scene.hpp ray cast into a frame with
// the view angles the engine's projection returned.
#pragma once

#include "frame.hpp"

namespace lkm::game {

// Fills the whole frame. Angles in degrees; outside 0..180 (exclusive) the
// camera has no projection and the frame stays black.
void drawScene(Frame& frame, double horizontalDegrees, double verticalDegrees);

} // namespace lkm::game
