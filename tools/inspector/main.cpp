// lkm-inspect: tells, without starting the game, whether the plug-in
// recognises an executable and exactly what it would change.
//
//   lkm-inspect GAME.exe [--resolution WxH] [--keep-ui 0|1] [--json]
//
// Exit status: 0 supported, 1 not recognised, 2 unreadable file or bad arguments.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "mapped_file.hpp"
#include "report.hpp"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

namespace {

const char usage[] = "usage: lkm-inspect GAME.exe [--resolution WxH] [--keep-ui 0|1] [--json]\n";

bool parseResolution(const char* text, int& width, int& height) {
    char tail = 0;
    return std::sscanf(text, "%dx%d%c", &width, &height, &tail) == 2;
}

} // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // The same bytes on every platform: line feeds only.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    lkmtool::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        int width = 0, height = 0;
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--resolution" && i + 1 < argc && parseResolution(argv[i + 1], width, height)) {
            options.resolution = std::make_pair(width, height);
            ++i;
        } else if (arg == "--keep-ui" && i + 1 < argc &&
                   (!std::strcmp(argv[i + 1], "0") || !std::strcmp(argv[i + 1], "1"))) {
            options.keepUi = argv[++i][0] == '1';
        } else if (options.path.empty() && !arg.empty() && arg[0] != '-') {
            options.path = arg;
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    if (options.path.empty()) {
        std::fputs(usage, stderr);
        return 2;
    }
    try {
        const lkmtool::Report report = lkmtool::inspectFile(options);
        const std::string text = options.json ? lkmtool::renderJson(report) : lkmtool::renderText(report);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return report.supported ? 0 : 1;
    } catch (const lkmtool::FileError& error) {
        std::fprintf(stderr, "lkm-inspect: %s: %s\n", options.path.c_str(), error.what());
        return 2;
    } catch (const std::exception& error) {
        // lkm::Image refuses the mapped image, or the plan refuses the resolution.
        std::fprintf(stderr, "lkm-inspect: %s: %s\n", options.path.c_str(), error.what());
        return 2;
    }
}
