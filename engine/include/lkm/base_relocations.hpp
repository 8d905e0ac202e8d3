// The base relocations of an executable file (data directory 5), indexed once
// by page, then applied to any range of the laid-out image. The directory is a
// run of blocks: a 32-bit page RVA, a 32-bit block size (8 bytes of header and
// 16-bit entries), each entry a type in its top 4 bits and an offset in the
// page in its low 12. Type 0 (ABSOLUTE) pads a block; type 3 (HIGHLOW) adds the
// difference between the live and the preferred load address to the 32-bit
// value at page RVA + offset. Any other type, a block that does not fit its
// directory, a directory or fixup past the end of the image refuses the file
// with FileError (kind relocations).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lkm/byte_source.hpp"
#include "lkm/file_headers.hpp"

namespace lkm {

class BaseRelocations {
public:
    // Nothing to relocate: the file is laid out at its preferred address.
    BaseRelocations() = default;
    // Reads and checks the whole directory once, keeping for each image page
    // where its first and last blocks lie: 8 bytes a page, whatever the
    // directory holds. `delta` is the live load address less ImageBase.
    BaseRelocations(const FileHeaders& headers, const ByteSource& file, uint32_t delta);

    // Adds the delta to the part of every HIGHLOW fixup that lies in `bytes`,
    // the laid-out image bytes [rva, rva + length) of `file`; a fixup that
    // starts or ends outside is added in full to its 4 bytes as laid out and
    // only the bytes inside are written. Reads only the blocks of the pages
    // near the range.
    void apply(const FileHeaders& headers, const ByteSource& file, uint64_t rva, uint8_t* bytes,
               std::size_t length) const;

private:
    struct Block {
        uint32_t page;    // page RVA
        uint32_t entries; // number of 16-bit entries
    };
    Block block(const FileHeaders& headers, const ByteSource& file, uint32_t at) const;
    template <class Visit>
    void entries(const FileHeaders& headers, const ByteSource& file, uint32_t at, const Block& b,
                 Visit visit) const;

    uint32_t delta_ = 0;
    uint32_t directory_ = 0, directorySize_ = 0;
    std::vector<uint32_t> first_, last_; // per image page: directory offsets of its first and last block
};

} // namespace lkm
