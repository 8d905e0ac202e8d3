// Lays out a whole executable file in memory the way the Windows loader maps
// it: headers, then every section's raw data at its virtual address,
// zero-filled to SizeOfImage, based at the header's ImageBase (file_headers.hpp
// holds the checks and the placement).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/file_error.hpp"
#include "lkm/file_headers.hpp"

namespace lkm {

struct MappedFile {
    std::vector<uint8_t> image; // SizeOfImage bytes
    uint32_t base;              // ImageBase from the optional header
    std::vector<SectionName> sections;
};

MappedFile mapFile(const ByteSource& file);
MappedFile mapFile(const std::vector<uint8_t>& file);

// Name of the section that holds an image offset, or "headers" / "?".
std::string sectionOf(const MappedFile& mapped, uint32_t offset);
// File offset of `length` bytes at an image offset, all mapped from one section's raw data;
// none when a byte of them came from no file byte.
std::optional<uint32_t> fileRangeOf(const MappedFile& mapped, uint32_t offset, uint32_t length);

} // namespace lkm
