// Windows paths as UTF-8 text: the parts of them the explanation of a stop
// names. Either slash separates folders; names compare without regard to the
// case of ASCII letters, as Windows compares them.
#pragma once

#include <string>

namespace lkm::plugin {

// The file name of `path`, without its folder.
std::string fileNameIn(const std::string& path);
// The folder of `path`, without the separator that ends it; "" for a bare name.
std::string folderIn(const std::string& path);
// True when two paths name the same file or folder by their spelling.
bool samePath(const std::string& a, const std::string& b);
// The folder of `path` as the player finds it from the folder of `game`:
// "the game's folder", a folder below it ("scripts\"), or the full folder
// ("D:\Mods\").
std::string folderFromGame(const std::string& path, const std::string& game);

} // namespace lkm::plugin
