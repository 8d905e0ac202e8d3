#include <windows.h>

#include <stdexcept>

#include "display.hpp"

namespace lkm::plugin {

DisplayMode desktopResolution() {
    POINT cursor{0, 0};
    GetCursorPos(&cursor); // on failure the point stays (0, 0)
    const HMONITOR monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY);

    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) throw std::runtime_error("Cannot detect the active display.");

    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode))
        throw std::runtime_error("Cannot detect the desktop resolution.");

    return {static_cast<int32_t>(mode.dmPelsWidth), static_cast<int32_t>(mode.dmPelsHeight)};
}

} // namespace lkm::plugin
