// The start-up's log: a file beside the plug-in and, line for line, the
// debugger output. Only the start-up writes it.
#pragma once

#include <string>

namespace lkm::plugin {

// Creates (or truncates) the log file; when that fails, lines reach only the debugger.
void openLog(const std::wstring& path);
// Writes `line` and a line feed to the open log, flushed at once, and always the
// text alone to the debugger output.
void logLine(const char* line);
// Closes the log when it is open.
void closeLog();

} // namespace lkm::plugin
