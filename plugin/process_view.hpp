// What the explanation of a stop asks of the running process, behind one small
// interface: its bytes where they can be read (lkm::LiveBytes), and which
// module holds an address. process_view_win32.cpp answers for Windows; tests
// give fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "lkm/byte_source.hpp"
#include "lkm/live_bytes.hpp"

namespace lkm::plugin {

struct ModuleAt {
    std::optional<std::string> path; // full path (UTF-8) of the module that holds the address
    bool executable = false;         // without a module: the memory there is committed and executable
};

struct ProcessView : lkm::LiveBytes {
    // GetModuleHandleExW (from an address) and GetModuleFileNameW; without a
    // module, VirtualQuery tells whether the memory is executable.
    virtual ModuleAt moduleAt(uint32_t address) const = 0;
};

// Windows builds only. Reads check every page with VirtualQuery first
// (committed, readable, no guard page) and then copy.
const ProcessView& windowsProcess();

// The game's executable (GetModuleFileNameW of the process's main module);
// empty when Windows cannot tell (Windows builds only).
std::wstring gameExecutablePath();

// `path` opened for reading only, shared with every other opener, read range by
// range and never mapped or written; throws lkm::FileError (kind unreadable)
// when it cannot be opened or read (Windows builds only). Its size is known
// before any byte is read, so lkm::compareCode refuses a file over 1 GiB first.
std::unique_ptr<lkm::ByteSource> openExecutable(const std::wstring& path);

} // namespace lkm::plugin
