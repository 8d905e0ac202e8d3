#include "paths.hpp"

#include <stdexcept>

namespace lkm::plugin {

std::wstring sibling(const std::wstring& path, const wchar_t* extension) {
    // Only the file name is searched: a full stop in a folder name must never move
    // the INI or the log out of the plug-in's folder.
    const std::size_t folderEnd = path.find_last_of(L"\\/");
    const std::size_t nameStart = folderEnd == std::wstring::npos ? 0 : folderEnd + 1;
    const std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < nameStart) throw std::runtime_error("Invalid plugin filename.");
    return path.substr(0, dot) + extension;
}

} // namespace lkm::plugin
