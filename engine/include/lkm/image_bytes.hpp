// The bytes of a mapped image, read where they lie. A tool's image (a file laid
// out as Windows maps it, a test's buffer) owns its bytes; the plug-in's reads
// the loaded module in place, where pages that are not committed or not
// readable read as zeros and are never touched. Runs of other bytes may be laid
// over either (the image with every recognised place back to stock, or with the
// patch applied), so that a variant of the image costs only its runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lkm/bytes.hpp"
#include "lkm/diff.hpp"

namespace lkm {

// Bytes that stand at an image offset.
struct ByteRun {
    uint32_t offset = 0;
    std::vector<uint8_t> bytes;

    uint64_t end() const { return uint64_t(offset) + bytes.size(); }
};

class ImageBytes {
public:
    ImageBytes() = default;
    // Owns `bytes`.
    explicit ImageBytes(std::vector<uint8_t> bytes);
    // Reads `size` bytes from `data` on where they lie, except that every range
    // of `unreadable` (ascending, disjoint, inside the size) reads as zeros and
    // is never touched. `data` must outlive every view of it.
    static ImageBytes inPlace(const uint8_t* data, std::size_t size, std::vector<Run> unreadable);

    ImageBytes(const ImageBytes& other);
    ImageBytes& operator=(const ImageBytes& other);
    ImageBytes(ImageBytes&& other) noexcept;
    ImageBytes& operator=(ImageBytes&& other) noexcept;
    ~ImageBytes() = default;

    // These bytes with `runs` (ascending, disjoint, each inside the size) laid
    // over them. The view reads this object's bytes where no run lies: this
    // object must outlive it.
    ImageBytes overlaid(const std::vector<ByteRun>& runs) const;

    std::size_t size() const { return size_; }
    // The byte at `index` < size().
    uint8_t operator[](std::size_t index) const;
    // The byte at `index`; std::out_of_range past the end.
    uint8_t at(std::size_t index) const;
    // Where [offset, offset + length) can be read directly, when all of it lies
    // in memory as it reads (no unreadable range, no run laid over it); else null.
    const uint8_t* direct(uint64_t offset, uint64_t length) const;
    // Copies [offset, offset + length), which the caller has bounded, to `out`.
    void copy(uint64_t offset, std::size_t length, uint8_t* out) const;
    // [offset, offset + length) as a vector ("Invalid image range." past the end).
    std::vector<uint8_t> slice(uint32_t offset, uint32_t length) const;
    // Every byte, as a vector: for tools and tests, never for the plug-in.
    std::vector<uint8_t> all() const;

private:
    // A range that does not read from `data_`: zeros when `bytes` is empty.
    struct Exception {
        uint32_t offset;
        uint32_t length;
        std::vector<uint8_t> bytes;
    };
    const Exception* exceptionAt(std::size_t index) const;
    std::vector<Exception>::const_iterator firstEndingAfter(uint64_t offset) const;

    std::vector<uint8_t> owned_;
    const uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::vector<Exception> exceptions_; // ascending, disjoint
};

// For lkm::read: the caller has bounded the bytes.
inline void copyBytes(const ImageBytes& bytes, uint32_t offset, uint8_t* out, std::size_t width) {
    bytes.copy(offset, width, out);
}

} // namespace lkm
