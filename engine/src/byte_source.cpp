#include "lkm/byte_source.hpp"

#include <cstring>
#include <limits>

#include "lkm/file_error.hpp"

namespace lkm {

void MemorySource::read(uint64_t offset, uint8_t* out, std::size_t length) const {
    if (offset > size_ || size_ - offset < length)
        throw FileError(FileError::Kind::unreadable, "a read past the end of the file");
    if (length != 0) std::memcpy(out, data_ + offset, length);
}

std::vector<uint8_t> readAll(const ByteSource& source) {
    if (source.size() > std::numeric_limits<std::size_t>::max())
        throw FileError(FileError::Kind::unreadable, "too large to read into memory");
    std::vector<uint8_t> bytes(std::size_t(source.size()));
    source.read(0, bytes.data(), bytes.size());
    return bytes;
}

} // namespace lkm
