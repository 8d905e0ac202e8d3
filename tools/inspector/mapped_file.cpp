#include "mapped_file.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

#include "lkm/pe_headers.hpp"

namespace lkmtool {

namespace {

using Kind = FileError::Kind;

// A header field, or "truncated file: <part> lies past the end of the file".
template <class T>
T inFile(const std::optional<T>& field, const char* part) {
    if (!field)
        throw FileError(Kind::truncated,
                        std::string("truncated file: ") + part + " lies past the end of the file");
    return *field;
}

// Copies a section's raw data to its address, as the loader does.
void mapSection(const lkm::SectionHeader& s, const std::vector<uint8_t>& file, MappedFile& mapped) {
    const uint64_t sizeOfImage = mapped.image.size();
    // The image model requires max(VirtualSize, SizeOfRawData) to fit in the image.
    const uint32_t size = std::max(s.virtualSize, s.rawSize);
    if (s.rva > sizeOfImage || sizeOfImage - s.rva < size)
        throw FileError(Kind::inconsistent, "section " + s.name + " lies past the end of the image");
    // The loader maps the raw data, never more than the section's virtual size.
    const uint32_t copied = s.virtualSize != 0 ? std::min(s.rawSize, s.virtualSize) : s.rawSize;
    if (copied != 0) {
        if (s.rawOffset > file.size() || file.size() - s.rawOffset < copied)
            throw FileError(Kind::truncated,
                            "truncated file: section " + s.name + " lies past the end of the file");
        std::memcpy(mapped.image.data() + s.rva, file.data() + s.rawOffset, copied);
    }
    mapped.sections.push_back({s.name, s.rva, size, s.rawOffset, copied});
}

} // namespace

MappedFile mapFile(const std::vector<uint8_t>& file) {
    const lkm::PeHeaders headers(file);
    const char* const dosHeader = "the DOS header";
    const char* const peHeader = "the PE header";
    const char* const optionalHeader = "the optional header";
    if (file.empty()) throw FileError(Kind::notPe, "not a PE file: the file is empty");
    if (headers.dosMagic() != lkm::pe::dosMagic) throw FileError(Kind::notPe, "not a PE file: no MZ header");
    inFile(headers.lfanew(), dosHeader);
    if (inFile(headers.signature(), peHeader) != lkm::pe::signature)
        throw FileError(Kind::notPe, "not a PE file: no PE signature");
    if (inFile(headers.machine(), peHeader) != lkm::pe::machineI386)
        throw FileError(Kind::unsupported, "not a 32-bit x86 executable: wrong machine type");
    const uint32_t sectionCount = inFile(headers.sectionCount(), peHeader);
    inFile(headers.optionalHeaderSize(), peHeader);
    if (inFile(headers.optionalMagic(), optionalHeader) != lkm::pe::pe32Magic)
        throw FileError(Kind::unsupported, "not a 32-bit x86 executable: the optional header is not PE32");
    const uint32_t base = inFile(headers.imageBase(), optionalHeader);
    const uint32_t sizeOfImage = inFile(headers.sizeOfImage(), optionalHeader);
    const uint32_t sizeOfHeaders = inFile(headers.sizeOfHeaders(), optionalHeader);
    if (sizeOfImage < lkm::pe::smallestImage || sizeOfImage > lkm::pe::largestImage)
        throw FileError(Kind::unsupported, "unsupported image size");
    if (sectionCount == 0 || sectionCount > lkm::pe::mostSections)
        throw FileError(Kind::unsupported, "unsupported number of sections");

    MappedFile mapped{std::vector<uint8_t>(sizeOfImage, 0), base, {}};
    const uint64_t headerBytes = std::min<uint64_t>({sizeOfHeaders, sizeOfImage, file.size()});
    std::memcpy(mapped.image.data(), file.data(), std::size_t(headerBytes));

    for (uint32_t i = 0; i < sectionCount; ++i)
        mapSection(inFile(headers.section(i), "the section table"), file, mapped);
    return mapped;
}

MappedFile mapFile(const ByteSource& file) {
    return mapFile(readAll(file));
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
