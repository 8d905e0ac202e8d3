// What the game's frame shows and how its parts can be told apart, shared by
// the renderer and the test that measures rendered frames.
//
// The 3-D scene, in metres: the eye at height eyeHeight looks level along +z
// from the origin; a sphere floats straight ahead at eye height, so that its
// silhouette is a circle of angular radius asin(sphereRadius / sphereDistance)
// whenever the picture is not stretched. A square floor grid lies at height 0.
//
// The HUD: the 4:3 menu frame is the outline of the 1024 x 768 layout space, in
// its own colour; no other pixel of the frame has that colour or the
// crosshair's, and only the sphere is red.
#pragma once

#include "frame.hpp"

namespace lkm::game::frame_scene {

constexpr double eyeHeight = 1.7;
constexpr double sphereRadius = 1.2;
constexpr double sphereDistance = 4.0;

constexpr Rgb menuFrameColour{255, 196, 64};
constexpr Rgb crosshairColour{96, 255, 128};

inline bool same(Rgb a, Rgb b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The sphere's lit and shaded surface: red well above green and blue.
inline bool isSphere(Rgb c) {
    return c.r >= 48 && c.r * 10 >= c.g * 16 && c.r >= c.b * 2;
}

} // namespace lkm::game::frame_scene
