#include <cstdint>
#include <cstdio>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "capture.hpp"
#include "claim.hpp"
#include "display.hpp"
#include "enforce.hpp"
#include "globals.hpp"
#include "hooks.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/earlier_patch.hpp"
#include "lkm/image.hpp"
#include "lkm/inspect.hpp"
#include "lkm/plan.hpp"
#include "log.hpp"
#include "memory_services.hpp"
#include "options.hpp"
#include "patch_game.hpp"
#include "paths.hpp"
#include "pin.hpp"
#include "settings.hpp"
#include "startup.hpp"

namespace lkm::plugin {

namespace {

constexpr const char* productName = "Larkmere Widescreen Fix ASI ";
constexpr const char* version = LKM_VERSION_TEXT; // the project's version, from the build
constexpr DWORD modulePathCapacity = 32768;       // wide characters, the longest Windows path

// What the steps hand on to each other; released when the start-up ends.
struct Startup {
    std::wstring modulePath;
    std::wstring iniPath;
    std::wstring logPath;
    int keepUiAspectRatio = 1;   // KeepUIAspectRatio option, 0 or 1
    void* gatewayPage = nullptr; // the CVar gateway page once allocated
    bool committed = false;      // every game patch is written
};

// The plug-in's own path and the INI and log paths beside it.
void locateFiles(Startup& startup) {
    std::vector<wchar_t> buffer(modulePathCapacity);
    const DWORD length = GetModuleFileNameW(moduleHandle, buffer.data(), modulePathCapacity);
    if (length == 0 || length >= modulePathCapacity)
        throw std::runtime_error("Cannot determine module path.");
    startup.modulePath.assign(buffer.data(), length);
    startup.iniPath = sibling(startup.modulePath, L".ini");
    startup.logPath = sibling(startup.modulePath, L".log");
}

// Reads and judges the options in their fixed order; the first one that fails is
// the one reported. False when the INI disables the plug-in: then nothing after
// Enabled is read.
bool readIni(Startup& startup) {
    const std::wstring& ini = startup.iniPath;
    requireReadableIni(ini);
    const Settings settings = readSettings(
        [&](const wchar_t* key, int defaultValue) { return readOption(key, defaultValue, ini); });
    resolutionX = settings.resolutionX;
    resolutionY = settings.resolutionY;
    startup.keepUiAspectRatio = settings.keepUiAspectRatio;
    windowed = settings.windowed;
    forcedBaseFov = settings.baseFov;
    return settings.enabled;
}

// The target resolution: configured, or the desktop mode when both keys are 0.
void settleResolution() {
    if (automaticResolution(resolutionX, resolutionY)) detectDesktopResolution();
    requireResolution(resolutionX, resolutionY);
}

// The snapshot of the game's main module.
lkm::Image snapshotGame() {
    CapturedModule game = captureImage();
    return lkm::Image(std::move(game.bytes), game.base);
}

// The live module: inside the game its load address is the pointer itself.
uint8_t* liveGame(const lkm::Image& image) {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(image.base));
}

// Recognition and plan, then the gateways and the one commit that makes every
// change live. The transaction inside patchGame is destroyed on the way out, so
// a protection it could not give back is logged before the start-up's stop line.
void recognizeAndPatch(Startup& startup, const lkm::Image& image) {
    layout = lkm::inspect(image);
    focalFactor = double(layout.aspect) / (double(resolutionX) / double(resolutionY));
    // The plan is written into the normalised bytes themselves: two copies of the image at most.
    const bool keepUi = startup.keepUiAspectRatio == 1;
    const std::vector<uint8_t> plan =
        lkm::build(image, layout, std::move(layout.normalized), resolutionX, resolutionY, keepUi);
    // Only where the plan's writes lie is the plan compared with the image.
    const std::vector<lkm::Run> ranges = lkm::planRanges(image, layout, resolutionX, resolutionY, keepUi);
    patchGame(windowsMemory(), {image, liveGame(image), plan, ranges, layout.setters, hookAddresses()},
              pinModule, logLine, startup.gatewayPage, startup.committed);
}

// Arms enforcement and applies the configured values once, in a fixed order.
void applyConfiguredValues() {
    // After every global it guards: a setter replacement that sees it set sees them too.
    active.store(true, std::memory_order_release);
    for (uint32_t cvar : {layout.xresCvar, layout.yresCvar, layout.fovCvar, layout.fullscreenCvar})
        enforce(reinterpret_cast<void*>(static_cast<uintptr_t>(cvar)));
}

void reportApplied(const Startup& startup) {
    char summary[256];
    std::snprintf(summary, sizeof summary,
                  "Applied: %dx%d; windowed=%d; proportional menu/HUD=%d; FOV source=%s; %d CVar hooks.",
                  int(resolutionX), int(resolutionY), int(windowed), startup.keepUiAspectRatio,
                  forcedBaseFov != 0 ? "INI BaseFOV" : "game configuration", int(lkm::cvar::setterCount));
    logLine(summary);
    if (lkm::cameraAspectShowsEarlierPatch(layout))
        logLine("A previous executable patch was normalized in memory. Restore the previous on-disk patch "
                "for a clean migration.");
    logLine("The plugin does not write the game executable or configuration. Restart the game after editing "
            "the INI.");
}

// Recognition's byte copy and lists serve only the plan; enforce reads the
// scalar members, which stay.
void releaseStartupBuffers() {
    std::vector<uint8_t>().swap(layout.normalized);
    std::vector<uint32_t>().swap(layout.verticalReferences);
    std::vector<uint32_t>().swap(layout.setters);
}

} // namespace

void initialize() {
    Startup startup;
    try {
        locateFiles(startup);
        openLog(startup.logPath);
        logLine((std::string(productName) + version).c_str());
        if (!readIni(startup)) {
            logLine("Disabled by the INI. No game memory changed.");
            closeLog();
            return;
        }
        settleResolution();
        claimProcess(startup.modulePath);
        const lkm::Image image = snapshotGame();
        recognizeAndPatch(startup, image);
        applyConfiguredValues();
        reportApplied(startup);
    } catch (const std::exception& error) {
        // Formed without allocating: the failure may be the memory running out.
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        char line[2048];
        std::snprintf(line, sizeof line, "Initialization stopped: %s",
                      memory ? "Not enough memory to start the plugin." : error.what());
        logLine(line);
        // A page that never went live is the plug-in's to give back.
        releaseGatewayPage(windowsMemory(), startup.gatewayPage, startup.committed);
    }
    releaseStartupBuffers();
    closeLog();
}

} // namespace lkm::plugin
