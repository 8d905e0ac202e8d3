#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture.hpp"
#include "claim.hpp"
#include "code_in_the_way.hpp"
#include "display.hpp"
#include "enforce.hpp"
#include "game_file_checks.hpp"
#include "globals.hpp"
#include "hooks.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/image.hpp"
#include "lkm/inspect.hpp"
#include "lkm/plan.hpp"
#include "lkm/utf8_win32.hpp"
#include "log.hpp"
#include "memory_services.hpp"
#include "options.hpp"
#include "patch_game.hpp"
#include "paths.hpp"
#include "pin.hpp"
#include "process_view.hpp"
#include "settings.hpp"
#include "startup.hpp"
#include "startup_phases.hpp"
#include "stop_explanation.hpp"

namespace lkm::plugin {

namespace {

constexpr const char* productName = "Larkmere Widescreen Fix ASI ";
constexpr const char* version = LKM_VERSION_TEXT; // the project's version, from the build
constexpr DWORD modulePathCapacity = 32768;       // wide characters, the longest Windows path

// The plug-in's own path and the INI and log paths beside it.
struct Files {
    std::wstring modulePath;
    std::wstring iniPath;
    std::wstring logPath;
};

// What the start-up changed in the game's process, for its error handler.
struct Changes {
    void* gatewayPage = nullptr; // the CVar gateway page once allocated
    bool committed = false;      // every game patch is written
};

Files locateFiles() {
    std::vector<wchar_t> buffer(modulePathCapacity);
    const DWORD length = GetModuleFileNameW(moduleHandle, buffer.data(), modulePathCapacity);
    if (length == 0 || length >= modulePathCapacity)
        throw std::runtime_error("Cannot determine module path.");
    Files files;
    files.modulePath.assign(buffer.data(), length);
    files.iniPath = sibling(files.modulePath, L".ini");
    files.logPath = sibling(files.modulePath, L".log");
    return files;
}

// Reads and judges the options in their fixed order; the first one that fails is
// the one reported. With Enabled 0 nothing after it is read.
Settings readIni(const Files& files) {
    const std::wstring& ini = files.iniPath;
    requireReadableIni(ini);
    return readSettings(
        [&](const wchar_t* key, int defaultValue) { return readOption(key, defaultValue, ini); });
}

// The target resolution: configured, or the desktop mode when both keys are 0.
DisplayMode settleResolution(const Settings& settings) {
    DisplayMode target{settings.resolutionX, settings.resolutionY};
    if (automaticResolution(target.width, target.height)) target = desktopResolution();
    requireResolution(target.width, target.height);
    return target;
}

// The live module: inside the game its load address is the pointer itself.
uint8_t* liveGame(const lkm::Image& image) {
    return reinterpret_cast<uint8_t*>(static_cast<uintptr_t>(image.base));
}

void gatewaysReady() {
    phaseEnded(Phase::gateways);
}

// The plan's patches and the gateways in one transaction, and the one commit
// that makes every change live. The transaction inside patchGame is destroyed
// on the way out, so a protection it could not give back is logged before the
// start-up's stop line.
void patch(const lkm::Image& image, const lkm::Layout& layout, const std::vector<lkm::Patch>& plan,
           Changes& changes) {
    patchGame(windowsMemory(), {image.base, liveGame(image), layout, plan, hookAddresses()}, pinModule,
              logLine, changes.gatewayPage, changes.committed, gatewaysReady);
}

// What enforcement applies, from the settings, the target and what recognition found.
Enforcement enforcementOf(const Settings& settings, DisplayMode target, const lkm::Layout& layout) {
    Enforcement values;
    values.resolutionX = target.width;
    values.resolutionY = target.height;
    values.windowed = settings.windowed;
    values.forcedBaseFov = settings.baseFov;
    values.focalFactor = double(layout.aspect) / (double(target.width) / double(target.height));
    values.xresCvar = layout.xresCvar;
    values.yresCvar = layout.yresCvar;
    values.fovCvar = layout.fovCvar;
    values.fullscreenCvar = layout.fullscreenCvar;
    values.defaultFocal = layout.defaultFocal;
    return values;
}

// Publishes what enforcement reads, arms it and applies the configured values
// once, in a fixed order.
void applyConfiguredValues(const Enforcement& values) {
    arm(values);
    for (uint32_t cvar : {values.xresCvar, values.yresCvar, values.fovCvar, values.fullscreenCvar})
        enforce(reinterpret_cast<void*>(static_cast<uintptr_t>(cvar)));
}

// The game's executable on disk, opened only to check or explain.
std::unique_ptr<lkm::ByteSource> openGame() {
    return openExecutable(gameExecutablePath());
}

// Runs `step`; when it stops because the game's code is not what the plug-in
// expects there (any refusal of recognition where `recognising`, else a
// CodeInTheWay), first logs what stands in the way, then lets the stop go on.
template <class Step>
auto explainingStops(const lkm::Image& image, const Files& files, bool recognising, Step&& step) {
    try {
        return step();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::runtime_error& stop) {
        if (recognising || dynamic_cast<const CodeInTheWay*>(&stop)) {
            const StopContext context{lkm::windows::narrowed(gameExecutablePath()),
                                      lkm::windows::narrowed(files.modulePath),
                                      image.base,
                                      {}};
            for (const std::string& line : explainStop(openGame, context, windowsProcess(), &image))
                logLine(line.c_str());
        }
        throw;
    }
}

// The summary, a line for each setter chained behind another mod's hook, the
// notices about places normalisation changed, and the closing line.
void reportApplied(const Settings& settings, const Enforcement& values, const lkm::Layout& layout,
                   uint32_t base) {
    char summary[256];
    std::snprintf(summary, sizeof summary,
                  "Applied: %dx%d; windowed=%d; proportional menu/HUD=%d; FOV source=%s; %d CVar hooks.",
                  int(values.resolutionX), int(values.resolutionY), int(values.windowed),
                  int(settings.keepUiAspectRatio),
                  values.forcedBaseFov != 0 ? "INI BaseFOV" : "game configuration",
                  int(lkm::cvar::setterCount));
    logLine(summary);
    for (const std::string& line : chainedHookLines(layout, windowsProcess())) logLine(line.c_str());
    for (const std::string& line : earlierPatchNotices(layout, base, openGame)) logLine(line.c_str());
    logLine("The plugin does not write the game executable or configuration. Restart the game after editing "
            "the INI.");
}

// Everything after the INI: the game read in place, recognised, patched and armed.
void start(const Settings& settings, const Files& files, Changes& changes) {
    const DisplayMode target = settleResolution(settings);
    claimProcess(files.modulePath);
    phaseEnded(Phase::paths);
    const lkm::Image image = imageOf(gameModule());
    phaseEnded(Phase::regions);
    lkm::SignatureMatches matches = lkm::searchSignatures(image);
    phaseEnded(Phase::search);
    const lkm::InspectOptions options{settings.chainHooks == 1};
    const lkm::Layout layout =
        explainingStops(image, files, true, [&] { return lkm::inspect(image, std::move(matches), options); });
    const std::vector<lkm::Patch> plan =
        lkm::build(image, layout, target.width, target.height, settings.keepUiAspectRatio == 1);
    phaseEnded(Phase::recognition);
    explainingStops(image, files, false, [&] {
        requireStockEntriesOnDisk(layout, image.base, openGame);
        patch(image, layout, plan, changes);
    });
    phaseEnded(Phase::commit);
    const Enforcement values = enforcementOf(settings, target, layout);
    applyConfiguredValues(values);
    reportApplied(settings, values, layout, image.base);
}

} // namespace

void initialize() {
    startupBegan();
    Changes changes;
    try {
        const Files files = locateFiles();
        openLog(files.logPath);
        logLine((std::string(productName) + version).c_str());
        const Settings settings = readIni(files);
        if (!settings.enabled) {
            logLine("Disabled by the INI. No game memory changed.");
        } else {
            start(settings, files, changes);
        }
    } catch (const std::exception& error) {
        // Formed without allocating: the failure may be the memory running out.
        const bool memory = dynamic_cast<const std::bad_alloc*>(&error) != nullptr;
        char line[2048];
        std::snprintf(line, sizeof line, "Initialization stopped: %s",
                      memory ? "Not enough memory to start the plugin." : error.what());
        logLine(line);
        // A page that never went live is the plug-in's to give back.
        releaseGatewayPage(windowsMemory(), changes.gatewayPage, changes.committed);
    }
    closeLog();
    phaseEnded(Phase::log);
}

} // namespace lkm::plugin
