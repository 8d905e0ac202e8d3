// The headers of a 32-bit PE image or file, read over a bounded run of bytes.
// This is the one place that knows where each header field lies. A field is
// read only when all of its bytes lie inside the run; its position is computed
// in 64 bits from the fields before it, so no sum wraps around. A field that
// does not fit is absent (std::nullopt) and every caller refuses that with its
// own sentence. Only the fields asked for are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lkm {

namespace pe {
inline constexpr uint16_t dosMagic = 0x5A4D;      // "MZ"
inline constexpr uint32_t signature = 0x00004550; // "PE\0\0"
inline constexpr uint16_t machineI386 = 0x014C;   // IMAGE_FILE_MACHINE_I386
inline constexpr uint16_t pe32Magic = 0x010B;     // IMAGE_NT_OPTIONAL_HDR32_MAGIC
inline constexpr uint32_t headerFieldsEnd = 0x54; // from the signature to the end of SizeOfImage
inline constexpr uint32_t sectionEntrySize = 40;  // IMAGE_SECTION_HEADER

// The images the plug-in and its tools accept.
inline constexpr uint32_t smallestImage = 0x1000;    // SizeOfImage: one 4 KiB page
inline constexpr uint32_t largestImage = 0x0FFFFFFF; // SizeOfImage: below 256 MiB
inline constexpr uint32_t mostSections = 96;

inline constexpr uint32_t pageSize = 0x1000; // the loader maps and protects images in 4 KiB pages

// Data directory indexes.
inline constexpr uint32_t importDirectory = 1;         // IMAGE_DIRECTORY_ENTRY_IMPORT
inline constexpr uint32_t relocationDirectory = 5;     // IMAGE_DIRECTORY_ENTRY_BASERELOC
inline constexpr uint32_t importAddressDirectory = 12; // IMAGE_DIRECTORY_ENTRY_IAT
} // namespace pe

// One section-table entry as stored.
struct SectionHeader {
    std::string name; // up to 8 characters, ending at the first zero byte
    uint32_t virtualSize;
    uint32_t rva; // VirtualAddress
    uint32_t rawSize;
    uint32_t rawOffset; // PointerToRawData
    uint32_t characteristics;
};

// One data directory as stored: an image range.
struct DataDirectory {
    uint32_t rva;
    uint32_t size;
};

class PeHeaders {
public:
    // Reads nothing outside [data, data + size).
    PeHeaders(const uint8_t* data, std::size_t size);
    explicit PeHeaders(const std::vector<uint8_t>& bytes) : PeHeaders(bytes.data(), bytes.size()) {}

    // DOS header.
    std::optional<uint16_t> dosMagic() const;
    std::optional<uint32_t> lfanew() const; // where the PE header starts

    // PE signature and file header, from e_lfanew on.
    std::optional<uint32_t> signature() const;
    std::optional<uint16_t> machine() const;
    std::optional<uint16_t> sectionCount() const;
    std::optional<uint16_t> optionalHeaderSize() const;

    // Optional header, right after the file header.
    std::optional<uint16_t> optionalMagic() const;
    std::optional<uint32_t> imageBase() const;
    std::optional<uint32_t> sizeOfImage() const;
    std::optional<uint32_t> sizeOfHeaders() const;
    std::optional<uint32_t> importDirectory() const; // RVA of the import data directory
    // Data directory `index`; absent unless the optional header holds it (by
    // NumberOfRvaAndSizes and SizeOfOptionalHeader) and all of it lies inside the run.
    std::optional<DataDirectory> dataDirectory(uint32_t index) const;
    // Where the 32-bit CheckSum field lies in the run, when all of it lies inside.
    std::optional<uint64_t> checkSumPosition() const;

    // Where the section table of `sectionCount()` entries ends, from the start of the run.
    std::optional<uint64_t> sectionTableEnd() const;
    // Section-table entry `index` (from 0), right after the optional header;
    // absent unless all of its 40 bytes lie inside the run.
    std::optional<SectionHeader> section(uint32_t index) const;

private:
    bool holds(uint64_t position, uint64_t width) const;
    template <class T>
    std::optional<T> field(std::optional<uint64_t> position) const;
    std::optional<uint64_t> fromPeHeader(uint64_t distance) const;

    const uint8_t* data_;
    std::size_t size_;
    std::optional<uint64_t> peHeader_;     // e_lfanew, once it is read
    std::optional<uint64_t> sectionTable_; // after the optional header, once its size is read
};

} // namespace lkm
