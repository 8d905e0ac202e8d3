#include "lkm/base_relocations.hpp"

#include <algorithm>
#include <array>

#include "lkm/bytes.hpp"

namespace lkm {

namespace {

constexpr uint32_t blockHeader = 8;
constexpr uint32_t entrySize = 2;
constexpr uint32_t absolute = 0; // IMAGE_REL_BASED_ABSOLUTE: padding
constexpr uint32_t highLow = 3;  // IMAGE_REL_BASED_HIGHLOW: a 32-bit address
constexpr uint32_t fixupWidth = 4;
// How far past its page RVA rounded down to a page a block's fixups reach: the
// page RVA's own offset in its page, the entry's offset, the fixup's width.
constexpr uint64_t blockReach = 2 * (pe::pageSize - 1) + fixupWidth;
constexpr uint32_t entryChunk = 256; // entries read at a time
constexpr uint32_t noBlock = UINT32_MAX;
using Kind = FileError::Kind;
const char* const blockPastDirectory = "a base relocation block runs past the directory";

[[noreturn]] void refuse(const char* why) {
    throw FileError(Kind::relocations, why);
}

void addDelta(uint8_t* at, uint32_t delta) {
    const uint32_t value = detail::littleEndian(at, fixupWidth) + delta;
    for (uint32_t i = 0; i < fixupWidth; ++i) at[i] = uint8_t(value >> (8 * i));
}

} // namespace

BaseRelocations::BaseRelocations(const FileHeaders& headers, const ByteSource& file, uint32_t delta)
    : delta_(delta) {
    if (!headers.relocations || headers.relocations->size == 0) return;
    const DataDirectory d = *headers.relocations;
    if (d.rva > headers.sizeOfImage || headers.sizeOfImage - d.rva < d.size)
        refuse("the base relocations lie past the end of the image");
    directory_ = d.rva;
    directorySize_ = d.size;
    const uint32_t pages = headers.sizeOfImage / pe::pageSize + (headers.sizeOfImage % pe::pageSize != 0);
    first_.assign(pages, noBlock);
    last_.assign(pages, noBlock);
    for (uint32_t at = 0; at < directorySize_;) {
        const Block b = block(headers, file, at);
        entries(headers, file, at, b, [&](uint32_t offset) {
            const uint64_t fixup = uint64_t(b.page) + offset;
            if (fixup > headers.sizeOfImage || headers.sizeOfImage - fixup < fixupWidth)
                refuse("a base relocation lies past the end of the image");
        });
        const uint32_t page = b.page / pe::pageSize;
        if (page < pages) {
            if (first_[page] == noBlock) first_[page] = at;
            last_[page] = at;
        }
        at += blockHeader + entrySize * b.entries; // within the directory: block() checked it
    }
}

BaseRelocations::Block BaseRelocations::block(const FileHeaders& headers, const ByteSource& file,
                                              uint32_t at) const {
    std::array<uint8_t, blockHeader> bytes;
    if (directorySize_ - at < blockHeader) refuse(blockPastDirectory);
    layOut(headers, file, uint64_t(directory_) + at, bytes.data(), bytes.size());
    const uint32_t size = detail::littleEndian(bytes.data() + 4, 4);
    if (size < blockHeader || size > directorySize_ - at || (size - blockHeader) % entrySize != 0)
        refuse(blockPastDirectory);
    return {detail::littleEndian(bytes.data(), 4), (size - blockHeader) / entrySize};
}

// Calls visit(offset) for each entry of the block at `at` other than
// padding; a type other than HIGHLOW refuses the file.
template <class Visit>
void BaseRelocations::entries(const FileHeaders& headers, const ByteSource& file, uint32_t at, const Block& b,
                              Visit visit) const {
    std::array<uint8_t, entryChunk * entrySize> chunk;
    const uint64_t first = uint64_t(directory_) + at + blockHeader;
    for (uint32_t done = 0; done < b.entries;) {
        const uint32_t count = std::min(entryChunk, b.entries - done);
        layOut(headers, file, first + uint64_t(done) * entrySize, chunk.data(), count * entrySize);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t entry = detail::littleEndian(chunk.data() + i * entrySize, entrySize);
            const uint32_t type = entry >> 12;
            if (type == absolute) continue;
            if (type != highLow) refuse("a base relocation has a type other than HIGHLOW");
            visit(entry & 0xFFF);
        }
        done += count;
    }
}

void BaseRelocations::apply(const FileHeaders& headers, const ByteSource& file, uint64_t rva, uint8_t* bytes,
                            std::size_t length) const {
    if (first_.empty() || length == 0) return;
    const uint64_t end = rva + length;
    const auto inside = [&](uint64_t at) { return at >= rva && at < end; };
    const auto fix = [&](uint64_t fixup) {
        if (fixup >= end || fixup + fixupWidth <= rva) return;
        if (inside(fixup) && inside(fixup + fixupWidth - 1)) return addDelta(bytes + (fixup - rva), delta_);
        // Across an end of the range: the whole value, of which only the part inside is written.
        std::array<uint8_t, fixupWidth> whole;
        layOut(headers, file, fixup, whole.data(), whole.size());
        for (uint32_t i = 0; i < fixupWidth; ++i)
            if (inside(fixup + i)) whole[i] = bytes[fixup + i - rva];
        addDelta(whole.data(), delta_);
        for (uint32_t i = 0; i < fixupWidth; ++i)
            if (inside(fixup + i)) bytes[fixup + i - rva] = whole[i];
    };
    // From the first page whose blocks reach rva to the last page that starts before the end.
    const uint64_t lowest = rva >= blockReach ? (rva - blockReach) / pe::pageSize + 1 : 0;
    const uint64_t highest = std::min<uint64_t>((end - 1) / pe::pageSize, first_.size() - 1);
    for (std::size_t page = std::size_t(std::min<uint64_t>(lowest, first_.size())); page <= highest; ++page) {
        if (first_[page] == noBlock) continue;
        uint32_t at = first_[page];
        while (at <= last_[page]) {
            const Block b = block(headers, file, at);
            // Blocks of other pages may lie between this page's.
            if (b.page / pe::pageSize == page)
                entries(headers, file, at, b, [&](uint32_t offset) { fix(uint64_t(b.page) + offset); });
            at += blockHeader + entrySize * b.entries;
        }
    }
}

} // namespace lkm
