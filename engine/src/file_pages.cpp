#include "lkm/file_pages.hpp"

namespace lkm {

FilePages::FilePages(const ByteSource& file, uint32_t liveBase)
    : file_(file), headers_(readFileHeaders(file)) {
    if (liveBase != headers_.base) relocations_ = BaseRelocations(headers_, file_, liveBase - headers_.base);
}

void FilePages::page(uint32_t rva, uint8_t* out) const {
    layOut(headers_, file_, rva, out, pe::pageSize);
    relocations_.apply(headers_, file_, rva, out, pe::pageSize);
}

std::vector<uint8_t> FilePages::bytes(uint32_t rva, uint32_t length) const {
    std::vector<uint8_t> out(length);
    layOut(headers_, file_, rva, out.data(), length);
    relocations_.apply(headers_, file_, rva, out.data(), length);
    return out;
}

} // namespace lkm
