#include "image_headers.hpp"

#include <algorithm>

namespace lkm {

namespace {

// The first `length` bytes as they read, or all of a shorter image.
std::vector<uint8_t> prefix(const ImageBytes& bytes, uint64_t length) {
    return bytes.slice(0, uint32_t(std::min<uint64_t>(length, bytes.size())));
}

// The DOS header, the PE headers and the largest section table an image may have.
std::vector<uint8_t> headerCopy(const ImageBytes& bytes) {
    constexpr uint64_t dosHeaderEnd = 0x40;
    const std::vector<uint8_t> dos = prefix(bytes, dosHeaderEnd);
    const std::optional<uint32_t> lfanew = PeHeaders(dos).lfanew();
    const uint64_t largestTable = 0x18 + 0xFFFF + uint64_t(pe::mostSections) * pe::sectionEntrySize;
    return prefix(bytes, lfanew ? std::max(dosHeaderEnd, *lfanew + largestTable) : dosHeaderEnd);
}

} // namespace

ImageHeaders::ImageHeaders(const ImageBytes& bytes) : ImageHeaders(bytes, bytes.direct(0, bytes.size())) {}

ImageHeaders::ImageHeaders(const ImageBytes& bytes, const uint8_t* whole)
    : copied_(whole ? std::vector<uint8_t>() : headerCopy(bytes)),
      headers_(whole ? PeHeaders(whole, bytes.size()) : PeHeaders(copied_)) {}

} // namespace lkm
