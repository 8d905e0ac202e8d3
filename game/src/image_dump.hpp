// Writes the game's main module, as it lies in memory, to a file: the tests
// compare it with what the offline inspector says the plug-in changes.
#pragma once

namespace lkm::game {

// False when the file cannot be written.
bool dumpMainModule(const char* path);

} // namespace lkm::game
