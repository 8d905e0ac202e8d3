#include "claim.hpp"

namespace lkm::plugin {

std::wstring fileNameOf(const std::wstring& path) {
    const std::size_t folderEnd = path.find_last_of(L"\\/");
    return folderEnd == std::wstring::npos ? path : path.substr(folderEnd + 1);
}

std::string anotherCopyMessage(const std::string& claimant) {
    return "Another copy of this plug-in already started in this game: " + claimant + ".";
}

} // namespace lkm::plugin
