// Awkward but ordinary things a player's game folder may hold beside the ASI
// modules, set up by the game itself before its loader runs, so that a test
// needs nothing but the game's arguments.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace lkm::game {

struct AsiSetup {
    bool iniFolder = false; // a folder named like each module's INI, holding the INI if there was one
    bool lockIni = false;   // each module's INI held open without sharing
    std::string copyAs;     // a copy of the first module under this name (".asi" added)
};

// What stays in place while the modules start; released by the destructor.
class AsiFolder {
public:
    explicit AsiFolder(const AsiSetup& setup);
    ~AsiFolder();
    AsiFolder(const AsiFolder&) = delete;
    AsiFolder& operator=(const AsiFolder&) = delete;

private:
    std::vector<HANDLE> locks_;
};

// While it lives, every free block of the process's address space is reserved,
// so that no allocation larger than what the heaps hold free can succeed.
class FullAddressSpace {
public:
    FullAddressSpace();
    ~FullAddressSpace();
    FullAddressSpace(const FullAddressSpace&) = delete;
    FullAddressSpace& operator=(const FullAddressSpace&) = delete;

private:
    static constexpr int maxBlocks = 4096;
    void* blocks_[maxBlocks] = {}; // no allocation of its own
    int count_ = 0;
};

// The folder of the game's executable, without a trailing separator.
std::wstring gameFolder();
// The *.asi files in `folder` (any case of the extension), in file-name order.
std::vector<std::wstring> asiFiles(const std::wstring& folder);
// Every module the loader starts, as paths relative to the game folder, in the
// order of the common ASI loaders: the game folder's own, then for each of
// scripts, plugins and update first the folders one level below it (in name
// order), then the folder itself.
std::vector<std::wstring> asiSearch(const std::wstring& gameFolder);

} // namespace lkm::game
