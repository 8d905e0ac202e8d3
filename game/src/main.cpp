// Larkmere.exe, the stand-in game: it registers its engine's console
// variables, starts every ASI module in its folder like an ASI loader, runs its
// engine code once and prints a JSON report of what the engine received and of
// what the ASI modules changed in the game's memory.
//
//   Larkmere.exe [--twice | --threads | --no-asi | --loader-lock] [--busy-threads N]
//                [--dump-image FILE] [--resolution WxH]
//                [--frame FILE.png [--frame-width N] [--frame-screens N] [--frame-caption]]
//                [--ini-folder] [--lock-ini] [--copy-asi NAME] [--fov-read-backs N]
//                [--low-memory] [--cost]
//
// --loader-lock starts the modules from the DllMain of LarkLoader.dll, under
// the loader lock. --busy-threads starts N threads before the modules start,
// each running the engine code the plug-in patches until they are started.
// --dump-image writes the main module's memory to FILE once the ASI modules
// have started, before the engine runs. --resolution is the game's own video
// setting (800x600 without it). --frame writes the frame the game shows after
// the run as a PNG, scaled to N pixels across with --frame-width, with the
// seams of N screens side by side marked with --frame-screens, and with a
// caption line below it with --frame-caption. --ini-folder puts a folder where
// each module's INI would be, --lock-ini holds each module's INI open without
// sharing while the modules start, --copy-asi copies the first module to
// NAME.asi first. --fov-read-backs makes the engine set r_fov N times more
// from its own current value. --low-memory fills the address space while each
// InitializeASI runs. --cost reports the time of each InitializeASI call, the
// process's memory around them and the time of one cold memcpy of the image.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

#include "asi_loader.hpp"
#include "asi_setup.hpp"
#include "busy_threads.hpp"
#include "debug_capture.hpp"
#include "engine_run.hpp"
#include "game_frame.hpp"
#include "image_dump.hpp"
#include "memory_watch.hpp"
#include "report.hpp"

namespace lkm::game {

namespace {

// The command line above: the modules started, the engine run, the report printed.
int runGame(int argc, char** argv) {
    AsiOptions options;
    AsiMode& mode = options.mode;
    const char* dumpPath = nullptr;
    AsiSetup setup;
    int fovReadBacks = 0;
    int busyThreads = 0;
    int videoWidth = 800, videoHeight = 600;
    FrameRequest frame;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--twice") == 0) {
            mode = AsiMode::twice;
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            mode = AsiMode::threads;
        } else if (std::strcmp(argv[i], "--no-asi") == 0) {
            mode = AsiMode::none;
        } else if (std::strcmp(argv[i], "--loader-lock") == 0) {
            mode = AsiMode::lock;
        } else if (std::strcmp(argv[i], "--busy-threads") == 0 && hasValue) {
            busyThreads = std::max(0, std::min(64, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--dump-image") == 0 && hasValue) {
            dumpPath = argv[++i];
        } else if (std::strcmp(argv[i], "--resolution") == 0 && hasValue &&
                   std::sscanf(argv[i + 1], "%5dx%5d", &videoWidth, &videoHeight) == 2 && videoWidth > 0 &&
                   videoHeight > 0) {
            ++i;
        } else if (std::strcmp(argv[i], "--frame") == 0 && hasValue) {
            frame.path = argv[++i];
        } else if (std::strcmp(argv[i], "--frame-width") == 0 && hasValue) {
            frame.width = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--frame-screens") == 0 && hasValue) {
            frame.screens = std::max(1, std::min(8, std::atoi(argv[++i])));
        } else if (std::strcmp(argv[i], "--frame-caption") == 0) {
            frame.caption = true;
        } else if (std::strcmp(argv[i], "--ini-folder") == 0) {
            setup.iniFolder = true;
        } else if (std::strcmp(argv[i], "--lock-ini") == 0) {
            setup.lockIni = true;
        } else if (std::strcmp(argv[i], "--copy-asi") == 0 && hasValue) {
            setup.copyAs = argv[++i];
        } else if (std::strcmp(argv[i], "--low-memory") == 0) {
            options.lowMemory = true;
        } else if (std::strcmp(argv[i], "--cost") == 0) {
            options.cost = true;
        } else if (std::strcmp(argv[i], "--fov-read-backs") == 0 && hasValue) {
            fovReadBacks = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: Larkmere.exe [--twice | --threads | --no-asi | --loader-lock] "
                                 "[--busy-threads N] [--dump-image FILE] "
                                 "[--resolution WxH] [--frame FILE.png [--frame-width N] [--frame-screens N] "
                                 "[--frame-caption]]\n"
                                 "                    [--ini-folder] [--lock-ini] [--copy-asi NAME]"
                                 " [--fov-read-backs N] [--low-memory] [--cost]\n");
            return 2;
        }
    }
    _setmode(_fileno(stdout), _O_BINARY);

    startDebugCapture();
    startEngine();
    const MemoryWatch watch;
    AsiReport asi;
    {
        const AsiFolder folder(setup);
        const BusyThreads busy(busyThreads);
        asi = loadAsiModules(options);
    }
    const MemoryChanges memory = watch.changes();
    if (options.cost) {
        // After the modules and their memory readings: the copy's pages come and go before the report.
        asi.cost = true;
        asi.coldCopyMs = coldImageCopyMs(asi.imageSize);
    }
    if (dumpPath && !dumpMainModule(dumpPath)) {
        std::fprintf(stderr, "Larkmere.exe: cannot write %s\n", dumpPath);
        return 1;
    }
    const EngineRun run = runEngine(videoWidth, videoHeight, fovReadBacks);
    const std::string report = buildReport(asi, memory, run, capturedDebugLines());
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    if (!frame.path.empty()) {
        const std::string failure = writeGameFrame(frame, asi);
        if (!failure.empty()) {
            std::fprintf(stderr, "Larkmere.exe: %s\n", failure.c_str());
            return 1;
        }
    }
    return 0;
}

} // namespace

} // namespace lkm::game

int main(int argc, char** argv) {
    return lkm::game::runGame(argc, argv);
}
