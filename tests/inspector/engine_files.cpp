#include "engine_files.hpp"

#include <fstream>
#include <stdexcept>

#include "lkm/bytes.hpp"

namespace lkmtest {

std::vector<uint8_t> engineFile(const EngineImage& engine) {
    std::vector<uint8_t> file = engine.bytes();
    const uint32_t count = lkm::read<uint16_t>(file, peHeader + 6);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t entry = sectionTable + 40 * i;
        lkm::put<uint32_t>(file, entry + 20, lkm::read<uint32_t>(file, entry + 12));
    }
    return file;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

} // namespace lkmtest
