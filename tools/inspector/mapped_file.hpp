// Lays out an executable file in memory the way the Windows loader maps it:
// headers, then every section's raw data at its virtual address, zero-filled
// to SizeOfImage, based at the header's ImageBase. Every field read from the
// file is bounds-checked; the file itself is never written.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "byte_source.hpp"

namespace lkm::inspector {

// A file that cannot be mapped; `kind` tells the reasons apart, the text is
// the one line the command prints.
struct FileError : std::runtime_error {
    enum class Kind {
        unreadable,   // cannot be opened or read
        notPe,        // no MZ header or no PE signature
        unsupported,  // a PE file, but not one the plug-in could run in
        truncated,    // a header or a section's raw data lies past the end of the file
        inconsistent, // a section lies past the end of the image
    };
    FileError(Kind reason, const std::string& message) : std::runtime_error(message), kind(reason) {}
    Kind kind;
};

struct SectionName {
    std::string name; // up to 8 characters from the section table
    uint32_t rva;
    uint32_t size;      // max(VirtualSize, SizeOfRawData), as the image model counts it
    uint32_t rawOffset; // PointerToRawData
    uint32_t rawCopied; // bytes mapped from the file
};

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

} // namespace lkm::inspector
