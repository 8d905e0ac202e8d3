// Where an executable's bytes come from: a file on disk, or bytes that are
// already in memory (a test's, or a page's). Readers ask only for the ranges
// they need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lkm {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Copies `length` bytes from `offset` to `out`; the range lies within size().
    // Throws FileError (kind unreadable) when the bytes cannot be read.
    virtual void read(uint64_t offset, uint8_t* out, std::size_t length) const = 0;
};

// Bytes in memory, not copied: they must outlive the source.
class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}
    uint64_t size() const override { return size_; }
    void read(uint64_t offset, uint8_t* out, std::size_t length) const override;

private:
    const uint8_t* data_;
    std::size_t size_;
};

// Every byte of the source.
std::vector<uint8_t> readAll(const ByteSource& source);

} // namespace lkm
