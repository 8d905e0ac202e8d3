// Every match of each engine signature (lkm/signatures.hpp), found in one pass
// over the code: what recognition starts from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/signatures.hpp"

namespace lkm {

class SignatureMatches {
public:
    SignatureMatches() : found_(signature::count) {}
    explicit SignatureMatches(std::vector<std::vector<uint32_t>> found) : found_(std::move(found)) {}

    // The offsets of every match of a signature, as Image::find gives them,
    // reached by the signature's record.
    template <class Signature>
    const std::vector<uint32_t>& operator[](const Signature&) const {
        constexpr std::size_t index = signature::indexOf(Signature{}.text);
        static_assert(index < signature::count, "every signature is listed in signature::all");
        return found_[index];
    }

private:
    std::vector<std::vector<uint32_t>> found_; // in the order of signature::all
};

// Every signature of signature::all, searched in one pass over the code.
SignatureMatches searchSignatures(const Image& image);

} // namespace lkm
