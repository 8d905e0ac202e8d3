// Bounded reads of the PE header fields; positions as in the PE/COFF layout.
#include "lkm/pe_headers.hpp"

#include <type_traits>

#include "lkm/bytes.hpp"

namespace lkm {

namespace {

constexpr uint64_t lfanewField = 0x3C;          // IMAGE_DOS_HEADER::e_lfanew
constexpr uint64_t machineField = 0x04;         // from the signature
constexpr uint64_t sectionCountField = 0x06;    // from the signature
constexpr uint64_t optionalSizeField = 0x14;    // from the signature
constexpr uint64_t optionalHeader = 0x18;       // from the signature
constexpr uint64_t imageBaseField = 0x1C;       // from the optional header
constexpr uint64_t sizeOfImageField = 0x38;     // from the optional header
constexpr uint64_t sizeOfHeadersField = 0x3C;   // from the optional header
constexpr uint64_t checkSumField = 0x40;        // from the optional header
constexpr uint64_t importDirectoryField = 0x68; // data directory 1, from the optional header
constexpr uint64_t directoryCountField = 0x5C;  // NumberOfRvaAndSizes, from the optional header
constexpr uint64_t directoriesField = 0x60;     // the first data directory, from the optional header
constexpr uint64_t directorySize = 8;
constexpr uint64_t sectionNameLength = 8;

} // namespace

PeHeaders::PeHeaders(const uint8_t* data, std::size_t size) : data_(data), size_(size) {
    if (const std::optional<uint32_t> e = field<uint32_t>(lfanewField)) peHeader_ = *e;
    if (const std::optional<uint16_t> optionalSize = field<uint16_t>(fromPeHeader(optionalSizeField)))
        sectionTable_ = *peHeader_ + optionalHeader + *optionalSize;
}

// position <= size and size - position >= width, in that order: nothing wraps.
bool PeHeaders::holds(uint64_t position, uint64_t width) const {
    return position <= size_ && size_ - position >= width;
}

// A little-endian field of at most 4 bytes.
template <class T>
std::optional<T> PeHeaders::field(std::optional<uint64_t> position) const {
    static_assert(std::is_same_v<T, uint16_t> || std::is_same_v<T, uint32_t>, "a 16- or 32-bit field");
    if (!position || !holds(*position, sizeof(T))) return std::nullopt;
    return T(detail::littleEndian(data_ + std::size_t(*position), sizeof(T)));
}

std::optional<uint64_t> PeHeaders::fromPeHeader(uint64_t distance) const {
    if (!peHeader_) return std::nullopt;
    return *peHeader_ + distance;
}

std::optional<uint16_t> PeHeaders::dosMagic() const {
    return field<uint16_t>(0);
}
std::optional<uint32_t> PeHeaders::lfanew() const {
    return field<uint32_t>(lfanewField);
}
std::optional<uint32_t> PeHeaders::signature() const {
    return field<uint32_t>(fromPeHeader(0));
}
std::optional<uint16_t> PeHeaders::machine() const {
    return field<uint16_t>(fromPeHeader(machineField));
}

std::optional<uint16_t> PeHeaders::sectionCount() const {
    return field<uint16_t>(fromPeHeader(sectionCountField));
}

std::optional<uint16_t> PeHeaders::optionalHeaderSize() const {
    return field<uint16_t>(fromPeHeader(optionalSizeField));
}

std::optional<uint16_t> PeHeaders::optionalMagic() const {
    return field<uint16_t>(fromPeHeader(optionalHeader));
}

std::optional<uint32_t> PeHeaders::imageBase() const {
    return field<uint32_t>(fromPeHeader(optionalHeader + imageBaseField));
}

std::optional<uint32_t> PeHeaders::sizeOfImage() const {
    return field<uint32_t>(fromPeHeader(optionalHeader + sizeOfImageField));
}

std::optional<uint32_t> PeHeaders::sizeOfHeaders() const {
    return field<uint32_t>(fromPeHeader(optionalHeader + sizeOfHeadersField));
}

std::optional<uint32_t> PeHeaders::importDirectory() const {
    return field<uint32_t>(fromPeHeader(optionalHeader + importDirectoryField));
}

std::optional<DataDirectory> PeHeaders::dataDirectory(uint32_t index) const {
    const std::optional<uint32_t> count = field<uint32_t>(fromPeHeader(optionalHeader + directoryCountField));
    const std::optional<uint16_t> optionalSize = optionalHeaderSize();
    const uint64_t end = directoriesField + directorySize * (uint64_t(index) + 1);
    if (!count || !optionalSize || index >= *count || end > *optionalSize) return std::nullopt;
    const std::optional<uint64_t> entry = fromPeHeader(optionalHeader + end - directorySize);
    const std::optional<uint32_t> rva = field<uint32_t>(entry);
    const std::optional<uint32_t> size = field<uint32_t>(*entry + 4);
    if (!rva || !size) return std::nullopt;
    return DataDirectory{*rva, *size};
}

std::optional<uint64_t> PeHeaders::checkSumPosition() const {
    const std::optional<uint64_t> position = fromPeHeader(optionalHeader + checkSumField);
    if (!position || !holds(*position, 4)) return std::nullopt;
    return position;
}

std::optional<uint64_t> PeHeaders::sectionTableEnd() const {
    const std::optional<uint16_t> count = sectionCount();
    if (!sectionTable_ || !count) return std::nullopt;
    return *sectionTable_ + uint64_t(pe::sectionEntrySize) * *count;
}

std::optional<SectionHeader> PeHeaders::section(uint32_t index) const {
    if (!sectionTable_) return std::nullopt;
    const uint64_t entry = *sectionTable_ + uint64_t(pe::sectionEntrySize) * index;
    if (!holds(entry, pe::sectionEntrySize)) return std::nullopt;
    const char* name = reinterpret_cast<const char*>(data_ + std::size_t(entry));
    std::size_t nameLength = 0;
    while (nameLength < sectionNameLength && name[nameLength] != 0) ++nameLength;
    // Every field lies inside the entry, which lies inside the run.
    return SectionHeader{std::string(name, nameLength), *field<uint32_t>(entry + 8),
                         *field<uint32_t>(entry + 12),  *field<uint32_t>(entry + 16),
                         *field<uint32_t>(entry + 20),  *field<uint32_t>(entry + 36)};
}

} // namespace lkm
