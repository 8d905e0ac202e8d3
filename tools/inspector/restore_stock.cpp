#include "restore_stock.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "hex_text.hpp"
#include "lkm/bytes.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm::inspector {

uint32_t peChecksum(const std::vector<uint8_t>& file, uint64_t checkSumPosition) {
    const auto byteAt = [&](std::size_t i) -> uint32_t {
        return i >= checkSumPosition && i - checkSumPosition < 4 ? 0 : file[i];
    };
    uint32_t sum = 0;
    for (std::size_t i = 0; i < file.size(); i += 2) {
        sum += byteAt(i) | (i + 1 < file.size() ? byteAt(i + 1) << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return ((sum & 0xFFFF) + (sum >> 16)) + uint32_t(file.size());
}

Restoration restoreStock(std::vector<uint8_t> file, const MappedFile& mapped,
                         const std::vector<lkm::ByteRun>& stock, uint32_t base,
                         const std::vector<Change>& described, const std::string& output) {
    // mapFile has read the headers, so the field is there.
    const std::optional<uint64_t> field = lkm::PeHeaders(file).checkSumPosition();
    const bool checksummed =
        field && *field <= UINT32_MAX - 4 && lkm::read<uint32_t>(file, uint32_t(*field)) != 0;
    Restoration restored{output, std::move(file), std::nullopt};
    for (std::size_t k = 0; k < stock.size(); ++k) {
        const lkm::ByteRun& run = stock[k];
        const std::optional<uint32_t> at = fileRangeOf(mapped, run.offset, uint32_t(run.bytes.size()));
        if (!at) {
            const std::string what = k < described.size() ? described[k].what : std::string();
            throw RestoreError("the earlier patch's run at " + hexWord(base + run.offset) + " (" + what +
                               ") lies outside the file's raw data; nothing written");
        }
        std::copy(run.bytes.begin(), run.bytes.end(), restored.stockFile.begin() + std::ptrdiff_t(*at));
    }
    if (checksummed) {
        restored.checksum = peChecksum(restored.stockFile, *field);
        lkm::put<uint32_t>(restored.stockFile, uint32_t(*field), *restored.checksum);
    }
    return restored;
}

} // namespace lkm::inspector
