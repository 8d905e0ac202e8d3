#include "lkm/file_headers.hpp"

#include <algorithm>
#include <cstring>

namespace lkm {

namespace {

// A 32-bit executable's raw data lies at 32-bit file offsets: a file this large
// or larger holds more than any image could map.
constexpr uint64_t maxFileSize = uint64_t(1) << 32;
// Where e_lfanew is looked for: the first page.
constexpr uint32_t firstRead = 0x1000;
// From the PE signature to the end of the largest section table taken: file
// header, the largest optional header, the most sections.
constexpr uint32_t headerSpan = 0x18 + 0xFFFF + pe::mostSections * pe::sectionEntrySize;
using Kind = FileError::Kind;

const char* const unsupportedSize = "unsupported image size";

// "not a PE file: <why>".
FileError notPe(const char* why) {
    return FileError(Kind::notPe, std::string("not a PE file: ") + why);
}

// "not a 32-bit x86 executable: <why>".
FileError notX86(const char* why) {
    return FileError(Kind::unsupported, std::string("not a 32-bit x86 executable: ") + why);
}

// "truncated file: <part> lies past the end of the file".
FileError truncated(const std::string& part) {
    return FileError(Kind::truncated, "truncated file: " + part + " lies past the end of the file");
}

// A header field, or the refusal of a file that ends before `part`.
template <class T>
T inFile(const std::optional<T>& field, const char* part) {
    if (!field) throw truncated(part);
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
    const PeHeaders first(bytes);
    const std::optional<uint32_t> lfanew = first.lfanew();
    if (first.dosMagic() != pe::dosMagic || !lfanew || *lfanew >= file.size()) return bytes;
    if (*lfanew > pe::largestImage) throw FileError(Kind::unsupported, unsupportedSize);
    return prefix(file, uint64_t(*lfanew) + headerSpan);
}

// Checks where a section's raw data goes, as the loader maps it, and where it
// comes from; reads nothing.
SectionName placed(const SectionHeader& s, uint32_t sizeOfImage, uint64_t fileSize) {
    // The image model requires max(VirtualSize, SizeOfRawData) to fit in the image.
    const uint32_t size = std::max(s.virtualSize, s.rawSize);
    if (s.rva > sizeOfImage || sizeOfImage - s.rva < size)
        throw FileError(Kind::inconsistent, "section " + s.name + " lies past the end of the image");
    // The loader maps the raw data, never more than the section's virtual size.
    const uint32_t copied = s.virtualSize != 0 ? std::min(s.rawSize, s.virtualSize) : s.rawSize;
    if (copied != 0 && (s.rawOffset > fileSize || fileSize - s.rawOffset < copied))
        throw truncated("section " + s.name);
    return {s.name, s.rva, size, s.rawOffset, copied, s.characteristics};
}

// Copies the part of the piece [at, at + length) of the image, which comes from
// the file at `from`, that lies in [rva, rva + outLength).
void copyPiece(const ByteSource& file, uint64_t at, uint64_t from, uint64_t length, uint64_t rva,
               uint8_t* out, uint64_t outLength) {
    const uint64_t begin = std::max(at, rva), end = std::min(at + length, rva + outLength);
    if (begin < end) file.read(from + (begin - at), out + (begin - rva), std::size_t(end - begin));
}

} // namespace

FileHeaders readFileHeaders(const ByteSource& file) {
    const char* const dosHeader = "the DOS header";
    const char* const peHeader = "the PE header";
    const char* const optionalHeader = "the optional header";
    if (file.size() == 0) throw notPe("the file is empty");
    const std::vector<uint8_t> bytes = headerBytes(file);
    const PeHeaders headers(bytes);
    if (headers.dosMagic() != pe::dosMagic) throw notPe("no MZ header");
    inFile(headers.lfanew(), dosHeader);
    if (inFile(headers.signature(), peHeader) != pe::signature) throw notPe("no PE signature");
    if (inFile(headers.machine(), peHeader) != pe::machineI386) throw notX86("wrong machine type");
    const uint32_t sectionCount = inFile(headers.sectionCount(), peHeader);
    inFile(headers.optionalHeaderSize(), peHeader);
    if (inFile(headers.optionalMagic(), optionalHeader) != pe::pe32Magic)
        throw notX86("the optional header is not PE32");
    FileHeaders out;
    out.base = inFile(headers.imageBase(), optionalHeader);
    out.sizeOfImage = inFile(headers.sizeOfImage(), optionalHeader);
    const uint32_t sizeOfHeaders = inFile(headers.sizeOfHeaders(), optionalHeader);
    if (out.sizeOfImage < pe::smallestImage || out.sizeOfImage > pe::largestImage)
        throw FileError(Kind::unsupported, unsupportedSize);
    if (sectionCount == 0 || sectionCount > pe::mostSections)
        throw FileError(Kind::unsupported, "unsupported number of sections");
    if (file.size() >= maxFileSize)
        throw FileError(Kind::unsupported, "too large: a 32-bit executable is smaller than 4 GiB");
    for (uint32_t i = 0; i < sectionCount; ++i)
        out.sections.push_back(
            placed(inFile(headers.section(i), "the section table"), out.sizeOfImage, file.size()));
    // Every entry lies in the header bytes read, which end below 2^32.
    out.tableEnd = uint32_t(*headers.sectionTableEnd());
    out.headerBytes = uint32_t(std::min<uint64_t>({sizeOfHeaders, out.sizeOfImage, file.size()}));
    out.imports = headers.dataDirectory(pe::importDirectory);
    out.relocations = headers.dataDirectory(pe::relocationDirectory);
    out.importAddresses = headers.dataDirectory(pe::importAddressDirectory);
    return out;
}

void layOut(const FileHeaders& headers, const ByteSource& file, uint64_t rva, uint8_t* out,
            std::size_t length) {
    std::memset(out, 0, length);
    // The headers first, then the sections in table order, each over what came before.
    copyPiece(file, 0, 0, headers.headerBytes, rva, out, length);
    for (const SectionName& s : headers.sections)
        copyPiece(file, s.rva, s.rawOffset, s.rawCopied, rva, out, length);
}

} // namespace lkm
