// The game's HUD over the 3-D view: laid out in the 1024 x 768 GUI space and
// placed on the screen by the engine's GUI canvas and conversion functions,
// with the mouse cursor mapped by the engine's mouse mapping; and the caption
// text of a picture.
#pragma once

#include <string>

#include "frame.hpp"

namespace lkm::game {

// The menu frame around the layout space, a crosshair and four corner widgets;
// the widget under the mouse cursor is highlighted.
void drawHud(Frame& frame);
// One line of text in screen pixels, its capitals `size` x 7 pixels high, with
// the top left corner at (left, top).
void drawText(Frame& frame, int left, int top, int size, const std::string& text);

} // namespace lkm::game
