// Larkmere.exe, the stand-in game: it registers its engine's console
// variables, starts every ASI module in its folder like an ASI loader, runs its
// engine code once and prints a JSON report of what the engine received.
//
//   Larkmere.exe [--twice | --threads | --no-asi]
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>

#include "asi_loader.hpp"
#include "debug_capture.hpp"
#include "engine_run.hpp"
#include "report.hpp"

int main(int argc, char** argv) {
    AsiMode mode = AsiMode::once;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--twice") == 0) {
            mode = AsiMode::twice;
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            mode = AsiMode::threads;
        } else if (std::strcmp(argv[i], "--no-asi") == 0) {
            mode = AsiMode::none;
        } else {
            std::fprintf(stderr, "usage: Larkmere.exe [--twice | --threads | --no-asi]\n");
            return 2;
        }
    }
    _setmode(_fileno(stdout), _O_BINARY);

    startDebugCapture();
    startEngine();
    const AsiReport asi = loadAsiModules(mode);
    const EngineRun run = runEngine();
    const std::string report = buildReport(asi, run, capturedDebugLines());
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    return 0;
}
