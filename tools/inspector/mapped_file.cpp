#include "mapped_file.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace lkmtool {

namespace {

constexpr uint32_t maxImageSize = 0x0FFFFFFF; // the plug-in refuses larger images too

void need(const std::vector<uint8_t>& file, uint64_t offset, uint64_t width, const char* what) {
    if (offset > file.size() || file.size() - offset < width)
        throw FileError(std::string("truncated file: ") + what + " lies past the end of the file");
}

// A little-endian field of 1 to 4 bytes.
uint32_t field(const std::vector<uint8_t>& file, uint64_t offset, unsigned width, const char* what) {
    need(file, offset, width, what);
    uint32_t value = 0;
    for (unsigned i = 0; i < width; ++i) value |= uint32_t(file[size_t(offset) + i]) << (8 * i);
    return value;
}

} // namespace

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("cannot open " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw FileError("cannot read " + path);
    return bytes;
}

MappedFile mapFile(const std::vector<uint8_t>& file) {
    if (field(file, 0, 2, "the DOS header") != 0x5A4D) throw FileError("not a PE file: no MZ header");
    const uint32_t pe = field(file, 0x3C, 4, "the DOS header");
    if (field(file, pe, 4, "the PE header") != 0x4550) throw FileError("not a PE file: no PE signature");
    if (field(file, uint64_t(pe) + 4, 2, "the PE header") != 0x014C)
        throw FileError("not a 32-bit x86 executable: wrong machine type");
    const uint32_t sectionCount = field(file, uint64_t(pe) + 6, 2, "the PE header");
    const uint32_t optionalSize = field(file, uint64_t(pe) + 0x14, 2, "the PE header");
    const uint64_t optional = uint64_t(pe) + 0x18;
    if (field(file, optional, 2, "the optional header") != 0x010B)
        throw FileError("not a 32-bit x86 executable: the optional header is not PE32");
    const uint32_t base = field(file, optional + 0x1C, 4, "the optional header");
    const uint32_t sizeOfImage = field(file, optional + 0x38, 4, "the optional header");
    const uint32_t sizeOfHeaders = field(file, optional + 0x3C, 4, "the optional header");
    if (sizeOfImage < 0x1000 || sizeOfImage > maxImageSize) throw FileError("unsupported image size");
    if (sectionCount == 0 || sectionCount > 96) throw FileError("unsupported number of sections");

    MappedFile mapped{std::vector<uint8_t>(sizeOfImage, 0), base, {}};
    const uint32_t headers = uint32_t(std::min<uint64_t>({sizeOfHeaders, sizeOfImage, file.size()}));
    std::memcpy(mapped.image.data(), file.data(), headers);

    const uint64_t table = optional + optionalSize;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint64_t entry = table + 40ull * i;
        need(file, entry, 40, "the section table");
        char name[9] = {};
        std::memcpy(name, file.data() + entry, 8);
        const uint32_t virtualSize = field(file, entry + 8, 4, "the section table");
        const uint32_t rva = field(file, entry + 12, 4, "the section table");
        const uint32_t rawSize = field(file, entry + 16, 4, "the section table");
        const uint32_t rawOffset = field(file, entry + 20, 4, "the section table");
        // The image model requires max(VirtualSize, SizeOfRawData) to fit in the image.
        if (rva > sizeOfImage || sizeOfImage - rva < std::max(virtualSize, rawSize))
            throw FileError("section " + std::string(name) + " lies past the end of the image");
        // The loader maps the raw data, never more than the section's virtual size.
        const uint32_t copied = virtualSize != 0 ? std::min(rawSize, virtualSize) : rawSize;
        if (copied != 0) {
            if (rawOffset > file.size() || file.size() - rawOffset < copied)
                throw FileError("section " + std::string(name) + " lies past the end of the file");
            std::memcpy(mapped.image.data() + rva, file.data() + rawOffset, copied);
        }
        mapped.sections.push_back({name, rva, std::max(virtualSize, rawSize), rawOffset, copied});
    }
    return mapped;
}

std::string sectionOf(const MappedFile& mapped, uint32_t offset) {
    for (const SectionName& s : mapped.sections)
        if (offset >= s.rva && offset - s.rva < s.size) return s.name;
    return offset < 0x1000 ? "headers" : "?";
}

bool fileOffsetOf(const MappedFile& mapped, uint32_t offset, uint32_t& fileOffset) {
    for (const SectionName& s : mapped.sections) {
        if (offset >= s.rva && offset - s.rva < s.rawCopied) {
            fileOffset = s.rawOffset + (offset - s.rva);
            return true;
        }
    }
    return false;
}

} // namespace lkmtool
