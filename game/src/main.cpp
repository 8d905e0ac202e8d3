// Larkmere.exe, the stand-in game: it registers its engine's console
// variables, starts every ASI module in its folder like an ASI loader, runs its
// engine code once and prints a JSON report of what the engine received and of
// what the ASI modules changed in the game's memory.
//
//   Larkmere.exe [--twice | --threads | --no-asi] [--dump-image FILE]
//
// --dump-image writes the main module's memory to FILE once the ASI modules
// have started, before the engine runs.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

#include "asi_loader.hpp"
#include "debug_capture.hpp"
#include "engine_run.hpp"
#include "image_dump.hpp"
#include "memory_watch.hpp"
#include "report.hpp"

int main(int argc, char** argv) {
    AsiMode mode = AsiMode::once;
    const char* dumpPath = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--twice") == 0) {
            mode = AsiMode::twice;
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            mode = AsiMode::threads;
        } else if (std::strcmp(argv[i], "--no-asi") == 0) {
            mode = AsiMode::none;
        } else if (std::strcmp(argv[i], "--dump-image") == 0 && i + 1 < argc) {
            dumpPath = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: Larkmere.exe [--twice | --threads | --no-asi] [--dump-image FILE]\n");
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
    const EngineRun run = runEngine();
    const std::string report = buildReport(asi, memory, run, capturedDebugLines());
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    return 0;
}
