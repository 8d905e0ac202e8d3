#include "ini_file.hpp"

#include <array>

namespace lkm::web {

namespace {

// The key a line `Key=...` sets, or an empty text.
std::string keyOf(const std::string& line) {
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(0, equals);
}

} // namespace

std::string filledIni(const std::string& ini, const lkm::plugin::Settings& settings) {
    const std::array<int32_t, lkm::plugin::ini::keyCount> values = lkm::plugin::valuesOf(settings);
    std::string out;
    bool inMain = false;
    for (std::size_t start = 0; start < ini.size();) {
        std::size_t end = ini.find('\n', start);
        end = end == std::string::npos ? ini.size() : end + 1;
        std::string line = ini.substr(start, end - start);
        start = end;
        if (!line.empty() && line[0] == '[') inMain = line.rfind("[MAIN]", 0) == 0;
        const std::string key = keyOf(line);
        for (std::size_t k = 0; k < lkm::plugin::ini::keyCount; ++k) {
            if (inMain && key == lkm::plugin::nameOf(lkm::plugin::ini::keys[k])) {
                const std::size_t ending = line.find_first_of("\r\n");
                line = key + "=" + std::to_string(values[k]) +
                       (ending == std::string::npos ? "" : line.substr(ending));
            }
        }
        out += line;
    }
    return out;
}

} // namespace lkm::web
