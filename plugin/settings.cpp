#include "settings.hpp"

#include <stdexcept>

#include "lkm/plan.hpp"
#include "options.hpp"

namespace lwf {

namespace {

int32_t readFlag(const OptionReader& read, const wchar_t* key, int defaultValue, const char* message) {
    const int32_t value = read(key, defaultValue);
    if (!within(value, 0, 1)) throw std::runtime_error(message);
    return value;
}

} // namespace

Settings readSettings(const OptionReader& read) {
    Settings settings;
    settings.enabled = readFlag(read, L"Enabled", 1, "Enabled must be 0 or 1.") == 1;
    if (!settings.enabled) return settings;
    settings.resolutionX = read(L"ResX", 0);
    settings.resolutionY = read(L"ResY", 0);
    settings.keepUiAspectRatio = readFlag(read, L"KeepUIAspectRatio", 1, "KeepUIAspectRatio must be 0 or 1.");
    settings.windowed = readFlag(read, L"Windowed", 0, "Windowed must be 0 or 1.");
    settings.baseFov = read(L"BaseFOV", 0);
    if (!within(settings.baseFov, 0, 9999)) throw std::runtime_error("BaseFOV must be 0..9999.");
    return settings;
}

bool automaticResolution(int32_t width, int32_t height) {
    return width == 0 && height == 0;
}

void requireResolution(int32_t width, int32_t height) {
    if (!within(width, lkm::minResolutionX, lkm::maxResolutionX) ||
        !within(height, lkm::minResolutionY, lkm::maxResolutionY))
        throw std::runtime_error("Set both ResX and ResY, or set both to 0 for automatic resolution.");
}

} // namespace lwf
