// The automatic resolution: the current mode of the monitor under the cursor.
#pragma once

#include <cstdint>

namespace lkm::plugin {

struct DisplayMode {
    int32_t width = 0; // pixels
    int32_t height = 0;
};

// The current display mode of the monitor under the mouse cursor (the primary
// monitor when the cursor lies on none). Throws "Cannot detect the active
// display." or "Cannot detect the desktop resolution." (Windows builds only).
DisplayMode desktopResolution();

} // namespace lkm::plugin
