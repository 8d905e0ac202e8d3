// An executable file's headers, read and checked once, and the one rule by
// which the Windows loader places the file's bytes in the image: the header
// bytes (up to SizeOfHeaders) at 0, every section's raw data at its virtual
// address, zeros elsewhere. Every field read from the file is bounds-checked;
// the file itself is never written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/file_error.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm {

struct SectionName {
    std::string name; // up to 8 characters from the section table
    uint32_t rva;
    uint32_t size;            // max(VirtualSize, SizeOfRawData), as the image model counts it
    uint32_t rawOffset;       // PointerToRawData
    uint32_t rawCopied;       // bytes mapped from the file
    uint32_t characteristics; // section flags, unchanged
};

struct FileHeaders {
    uint32_t base = 0; // ImageBase from the optional header
    uint32_t sizeOfImage = 0;
    uint32_t headerBytes = 0; // bytes mapped from the start of the file: SizeOfHeaders, within image and file
    std::vector<SectionName> sections; // section-table order, each known to fit in the image and the file
    uint32_t tableEnd = 0;             // where the section table ends, from the start of the file
    std::optional<DataDirectory> imports, relocations, importAddresses; // as stored, unchecked
};

// Reads and checks the headers and the section table, and no other byte of the
// file. Throws FileError with the sentence of the first check that fails.
FileHeaders readFileHeaders(const ByteSource& file);

// Lays out the image bytes [rva, rva + length) into `out`, as the loader maps
// the file: zeros where no file byte goes, also past SizeOfImage. Reads only
// the file bytes that land in the range.
void layOut(const FileHeaders& headers, const ByteSource& file, uint64_t rva, uint8_t* out,
            std::size_t length);

} // namespace lkm
