#include "settings.hpp"

#include <stdexcept>

#include "lkm/plan.hpp"
#include "options.hpp"

namespace lkm::plugin {

namespace {

// The key's value, or its default; throws the key's refusal for any value outside its limits.
int32_t readJudged(const OptionReader& read, const IniKey& key) {
    const int32_t value = read(key.name, key.defaultValue);
    if (!within(value, uint32_t(key.lowest), uint32_t(key.highest))) throw std::runtime_error(key.refusal);
    return value;
}

} // namespace

Settings readSettings(const OptionReader& read) {
    Settings settings;
    settings.enabled = readJudged(read, ini::enabled) == 1;
    if (!settings.enabled) return settings;
    settings.resolutionX = read(ini::resX.name, ini::resX.defaultValue);
    settings.resolutionY = read(ini::resY.name, ini::resY.defaultValue);
    settings.keepUiAspectRatio = readJudged(read, ini::keepUiAspectRatio);
    settings.windowed = readJudged(read, ini::windowed);
    settings.baseFov = readJudged(read, ini::baseFov);
    settings.chainHooks = readJudged(read, ini::chainHooks);
    return settings;
}

std::array<int32_t, ini::keyCount> valuesOf(const Settings& s) {
    return {s.enabled ? 1 : 0, s.resolutionX, s.resolutionY, s.keepUiAspectRatio,
            s.windowed,        s.baseFov,     s.chainHooks};
}

bool automaticResolution(int32_t width, int32_t height) {
    return width == 0 && height == 0;
}

void requireResolution(int32_t width, int32_t height) {
    if (!lkm::supportedResolution(width, height)) throw std::runtime_error(ini::resolutionRefusal);
}

} // namespace lkm::plugin
