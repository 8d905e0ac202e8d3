// One copy of the plug-in per game process: the first copy that is about to
// change the game claims the process, and every later copy stops.
#pragma once

#include <string>

namespace lkm::plugin {

// The file name of `path`, without its folder.
std::wstring fileNameOf(const std::wstring& path);

// The sentence a later copy stops with; `claimant` is the claiming copy's file name as UTF-8.
std::string anotherCopyMessage(const std::string& claimant);

// Claims the current process for the plug-in file at `modulePath`. The claim is a
// named object whose name holds the process id, so neither another game process
// nor a child process sees it; it lasts as long as the process. Throws the
// sentence of anotherCopyMessage when another copy claimed it first, "Cannot
// claim the game process." when the object cannot be made (Windows builds only).
void claimProcess(const std::wstring& modulePath);

} // namespace lkm::plugin
