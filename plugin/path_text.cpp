#include "path_text.hpp"

#include "stop_sentences.hpp"

namespace lkm::plugin {

namespace {

bool separator(char c) {
    return c == '\\' || c == '/';
}

char folded(char c) {
    if (c >= 'A' && c <= 'Z') return char(c - 'A' + 'a');
    return separator(c) ? '\\' : c;
}

} // namespace

std::string fileNameIn(const std::string& path) {
    const std::size_t folderEnd = path.find_last_of("\\/");
    return folderEnd == std::string::npos ? path : path.substr(folderEnd + 1);
}

std::string folderIn(const std::string& path) {
    const std::size_t folderEnd = path.find_last_of("\\/");
    return folderEnd == std::string::npos ? std::string() : path.substr(0, folderEnd);
}

bool samePath(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (folded(a[i]) != folded(b[i])) return false;
    return true;
}

std::string folderFromGame(const std::string& path, const std::string& game) {
    const std::string folder = folderIn(path), gameFolder = folderIn(game);
    if (samePath(folder, gameFolder)) return stopSentence::gameFolder;
    const std::size_t length = gameFolder.size();
    if (folder.size() > length + 1 && separator(folder[length]) &&
        samePath(folder.substr(0, length), gameFolder))
        return folder.substr(length + 1) + '\\';
    return folder + '\\';
}

} // namespace lkm::plugin
