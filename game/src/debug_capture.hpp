// Captures the process's debugger output: OutputDebugStringA raises the
// exception 40010006h with the text, which a vectored handler copies.
#pragma once

#include <string>
#include <vector>

namespace lkm::game {

void startDebugCapture();
std::vector<std::string> capturedDebugLines();

} // namespace lkm::game
