// An executable file laid out page by page, as the loader maps it at a given
// load address, without ever holding the whole image: the headers and section
// table are read and checked once, the base relocations indexed once, then
// each page is read from the file and relocated on its own.
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/base_relocations.hpp"
#include "lkm/byte_source.hpp"
#include "lkm/file_headers.hpp"

namespace lkm {

class FilePages {
public:
    // Reads the headers (readFileHeaders) and, when `liveBase` is not the
    // header's ImageBase, the base relocations. Throws FileError. The file
    // must outlive the pages.
    FilePages(const ByteSource& file, uint32_t liveBase);
    FilePages(const FilePages&) = delete;
    FilePages& operator=(const FilePages&) = delete;

    const FileHeaders& headers() const { return headers_; }
    const ByteSource& file() const { return file_; }

    // The pe::pageSize image bytes at `rva` into `out`, relocated for the live
    // base; zeros past SizeOfImage. Throws FileError.
    void page(uint32_t rva, uint8_t* out) const;
    // The `length` image bytes at `rva`, laid out and relocated as page() does.
    std::vector<uint8_t> bytes(uint32_t rva, uint32_t length) const;

private:
    const ByteSource& file_;
    FileHeaders headers_;
    BaseRelocations relocations_;
};

} // namespace lkm
