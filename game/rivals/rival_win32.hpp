// What the stand-in rival mods do through Windows: read the game's code, build
// a trampoline, write over the game's code, and start once.
#pragma once

#include <cstdint>
#include <vector>

#include "targets.hpp"

namespace lkm::game::rival {

// The executable sections of the game's main module, as mapped, in address order.
std::vector<CodeRange> gameCode();

// Writes `bytes` over the code at `at`: the page made writable
// (PAGE_EXECUTE_READWRITE), the bytes copied, its protection given back, the
// instruction cache flushed. Throws "Cannot unprotect the game's code." or
// "Cannot protect the game's code again."
void writeCode(const uint8_t* at, const std::vector<uint8_t>& bytes);

// Detours the code at `place` to `hook` (lkm::game::rival::detour): the trampoline
// goes into a page of its own (allocated read-write, then execute-read and
// flushed) and `original` points at it before the entry is written, so the
// hook can reach the displaced code from its first call on. The game's other
// threads are not held: the rival mods start before the game runs its code.
// Throws "Cannot allocate the trampoline." or "Cannot protect the trampoline."
// besides the sentences of detour and writeCode; the trampoline's page is
// released unless the entry's write was begun.
void installDetour(const Place& place, const void* hook, void*& original);

// Runs `install` once in the process, however often and from however many
// threads InitializeASI calls this. A failure is reported on the debugger
// output as "<module>: <sentence>"; the game's code is as it was unless the
// failure came after the write.
void startOnce(const char* module, void (*install)());

} // namespace lkm::game::rival
