// Larkmere.exe, the stand-in game: it registers its engine's console
// variables, starts every ASI module in its folder like an ASI loader, runs its
// engine code once and prints a JSON report of what the engine received and of
// what the ASI modules changed in the game's memory.
//
//   Larkmere.exe [--twice | --threads | --no-asi] [--dump-image FILE] [--resolution WxH]
//                [--frame FILE.png [--frame-width N] [--frame-screens N] [--frame-caption]]
//
// --dump-image writes the main module's memory to FILE once the ASI modules
// have started, before the engine runs. --resolution is the game's own video
// setting (800x600 without it). --frame writes the frame the game shows after
// the run as a PNG, scaled to N pixels across with --frame-width, with the
// seams of N screens side by side marked with --frame-screens, and with a
// caption line below it with --frame-caption.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>

#include "asi_loader.hpp"
#include "debug_capture.hpp"
#include "engine_run.hpp"
#include "game_frame.hpp"
#include "image_dump.hpp"
#include "memory_watch.hpp"
#include "report.hpp"

int main(int argc, char** argv) {
    AsiMode mode = AsiMode::once;
    const char* dumpPath = nullptr;
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
        } else {
            std::fprintf(stderr, "usage: Larkmere.exe [--twice | --threads | --no-asi] [--dump-image FILE] "
                                 "[--resolution WxH] [--frame FILE.png [--frame-width N] [--frame-screens N] "
                                 "[--frame-caption]]\n");
            return 2;
        }
    }
    _setmode(_fileno(stdout), _O_BINARY);

    startDebugCapture();
    startEngine();
    const MemoryWatch watch;
    const AsiReport asi = loadAsiModules(mode);
    const MemoryChanges memory = watch.changes();
    if (dumpPath && !dumpMainModule(dumpPath)) {
        std::fprintf(stderr, "Larkmere.exe: cannot write %s\n", dumpPath);
        return 1;
    }
    const EngineRun run = runEngine(videoWidth, videoHeight);
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
