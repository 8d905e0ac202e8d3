// The PE headers of a mapped image, read where they lie when the whole image
// can be read directly, else from a copy of the bytes every header field lies
// in (an unreadable page among them).
#pragma once

#include <cstdint>
#include <vector>

#include "lkm/image_bytes.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm {

class ImageHeaders {
public:
    // `bytes` must outlive the headers when they are read in place.
    explicit ImageHeaders(const ImageBytes& bytes);
    ImageHeaders(const ImageHeaders&) = delete;
    ImageHeaders& operator=(const ImageHeaders&) = delete;

    const PeHeaders& operator*() const { return headers_; }
    const PeHeaders* operator->() const { return &headers_; }

private:
    ImageHeaders(const ImageBytes& bytes, const uint8_t* whole);

    std::vector<uint8_t> copied_; // empty when the headers are read in place
    PeHeaders headers_;           // over `copied_` or over the image's own bytes
};

} // namespace lkm
