#include "mapped_file.hpp"

#include <algorithm>
#include <optional>

#include "lkm/pe_headers.hpp"

namespace lkm::inspector {

namespace {

// A 32-bit executable's raw data lies at 32-bit file offsets: a file this large
// or larger holds more than any image could map.
constexpr uint64_t maxFileSize = uint64_t(1) << 32;
// Where e_lfanew is looked for: the first page.
constexpr uint32_t firstRead = 0x1000;
// From the PE signature to the end of the largest section table the inspector
// takes: file header, the largest optional header, the most sections.
constexpr uint32_t headerSpan = 0x18 + 0xFFFF + lkm::pe::mostSections * lkm::pe::sectionEntrySize;
using Kind = FileError::Kind;

// A header field, or "truncated file: <part> lies past the end of the file".
template <class T>
T inFile(const std::optional<T>& field, const char* part) {
    if (!field)
        throw FileError(Kind::truncated,
                        std::string("truncated file: ") + part + " lies past the end of the file");
    return *field;
}

// The first `length` bytes of the file, or all of a shorter one.
std::vector<uint8_t> prefix(const ByteSource& file, uint64_t length) {
    std::vector<uint8_t> bytes(std::size_t(std::min(file.size(), length)));
    file.read(0, bytes.data(), bytes.size());
    return bytes;
}

// The bytes that hold every header field and the whole section table, read
// without the rest of the file: the first page, and more only when e_lfanew
// points further (never past what an image the plug-in takes could hold).
std::vector<uint8_t> headerBytes(const ByteSource& file) {
    std::vector<uint8_t> bytes = prefix(file, firstRead);
    const lkm::PeHeaders first(bytes);
    const std::optional<uint32_t> lfanew = first.lfanew();
    if (first.dosMagic() != lkm::pe::dosMagic || !lfanew || *lfanew >= file.size()) return bytes;
    if (*lfanew > lkm::pe::largestImage) throw FileError(Kind::unsupported, "unsupported image size");
    return prefix(file, uint64_t(*lfanew) + headerSpan);
}

// Checks where a section's raw data goes, as the loader maps it, and where it
// comes from; reads nothing.
SectionName placed(const lkm::SectionHeader& s, uint32_t sizeOfImage, uint64_t fileSize) {
    // The image model requires max(VirtualSize, SizeOfRawData) to fit in the image.
    const uint32_t size = std::max(s.virtualSize, s.rawSize);
    if (s.rva > sizeOfImage || sizeOfImage - s.rva < size)
        throw FileError(Kind::inconsistent, "section " + s.name + " lies past the end of the image");
    // The loader maps the raw data, never more than the section's virtual size.
    const uint32_t copied = s.virtualSize != 0 ? std::min(s.rawSize, s.virtualSize) : s.rawSize;
    if (copied != 0 && (s.rawOffset > fileSize || fileSize - s.rawOffset < copied))
        throw FileError(Kind::truncated,
                        "truncated file: section " + s.name + " lies past the end of the file");
    return {s.name, s.rva, size, s.rawOffset, copied};
}

} // namespace

MappedFile mapFile(const ByteSource& file) {
    const char* const dosHeader = "the DOS header";
    const char* const peHeader = "the PE header";
    const char* const optionalHeader = "the optional header";
    if (file.size() == 0) throw FileError(Kind::notPe, "not a PE file: the file is empty");
    MappedFile mapped{{}, 0, {}};
    uint32_t sizeOfImage = 0, sizeOfHeaders = 0;
    {
        const std::vector<uint8_t> bytes = headerBytes(file);
        const lkm::PeHeaders headers(bytes);
        if (headers.dosMagic() != lkm::pe::dosMagic)
            throw FileError(Kind::notPe, "not a PE file: no MZ header");
        inFile(headers.lfanew(), dosHeader);
        if (inFile(headers.signature(), peHeader) != lkm::pe::signature)
            throw FileError(Kind::notPe, "not a PE file: no PE signature");
        if (inFile(headers.machine(), peHeader) != lkm::pe::machineI386)
            throw FileError(Kind::unsupported, "not a 32-bit x86 executable: wrong machine type");
        const uint32_t sectionCount = inFile(headers.sectionCount(), peHeader);
        inFile(headers.optionalHeaderSize(), peHeader);
        if (inFile(headers.optionalMagic(), optionalHeader) != lkm::pe::pe32Magic)
            throw FileError(Kind::unsupported,
                            "not a 32-bit x86 executable: the optional header is not PE32");
        mapped.base = inFile(headers.imageBase(), optionalHeader);
        sizeOfImage = inFile(headers.sizeOfImage(), optionalHeader);
        sizeOfHeaders = inFile(headers.sizeOfHeaders(), optionalHeader);
        if (sizeOfImage < lkm::pe::smallestImage || sizeOfImage > lkm::pe::largestImage)
            throw FileError(Kind::unsupported, "unsupported image size");
        if (sectionCount == 0 || sectionCount > lkm::pe::mostSections)
            throw FileError(Kind::unsupported, "unsupported number of sections");
        if (file.size() >= maxFileSize)
            throw FileError(Kind::unsupported, "too large: a 32-bit executable is smaller than 4 GiB");
        for (uint32_t i = 0; i < sectionCount; ++i)
            mapped.sections.push_back(
                placed(inFile(headers.section(i), "the section table"), sizeOfImage, file.size()));
    }

    // Only now, with every section known to fit, the image and the bytes it maps.
    mapped.image.assign(sizeOfImage, 0);
    file.read(0, mapped.image.data(),
              std::size_t(std::min<uint64_t>({sizeOfHeaders, sizeOfImage, file.size()})));
    for (const SectionName& s : mapped.sections)
        if (s.rawCopied != 0) file.read(s.rawOffset, mapped.image.data() + s.rva, s.rawCopied);
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

} // namespace lkm::inspector
