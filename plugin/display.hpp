// The automatic resolution: the current mode of the monitor under the cursor.
#pragma once

namespace lkm::plugin {

// Writes the pixel width and height of the current display mode of the monitor
// under the mouse cursor (the primary monitor when the cursor lies on none) into
// resolutionX and resolutionY. Throws "Cannot detect the active display." or
// "Cannot detect the desktop resolution." (Windows builds only).
void detectDesktopResolution();

} // namespace lkm::plugin
