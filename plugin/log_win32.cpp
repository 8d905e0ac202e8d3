#include <windows.h>

#include <cstdio>

#include "globals.hpp"
#include "log.hpp"

namespace lkm::plugin {

void openLog(const std::wstring& path) {
    // "wb": no CR is ever added, each line ends in one LF.
    logFile = _wfopen(path.c_str(), L"wb");
}

void logLine(const char* line) {
    if (logFile) {
        std::fprintf(logFile, "%s\n", line);
        std::fflush(logFile);
    }
    OutputDebugStringA(line);
}

void closeLog() {
    if (logFile) std::fclose(logFile);
    logFile = nullptr;
}

} // namespace lkm::plugin
