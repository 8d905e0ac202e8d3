#include "lkm/mapped_file.hpp"

namespace lkm {

MappedFile mapFile(const ByteSource& file) {
    const FileHeaders headers = readFileHeaders(file);
    // Only now, with every section known to fit, the image and the bytes it maps.
    MappedFile mapped{std::vector<uint8_t>(headers.sizeOfImage), headers.base, headers.sections};
    layOut(headers, file, 0, mapped.image.data(), mapped.image.size());
    return mapped;
}

MappedFile mapFile(const std::vector<uint8_t>& file) {
    return mapFile(MemorySource(file));
}

std::string sectionOf(const MappedFile& mapped, uint32_t offset) {
    for (const SectionName& s : mapped.sections)
        if (offset >= s.rva && offset - s.rva < s.size) return s.name;
    return offset < 0x1000 ? "headers" : "?";
}

std::optional<uint32_t> fileRangeOf(const MappedFile& mapped, uint32_t offset, uint32_t length) {
    for (const SectionName& s : mapped.sections)
        if (offset >= s.rva && offset - s.rva <= s.rawCopied && s.rawCopied - (offset - s.rva) >= length)
            return s.rawOffset + (offset - s.rva);
    return std::nullopt;
}

} // namespace lkm
