// The write list's building blocks: the target's addresses, the composer's
// bounded appends, the resolution of overlapping writes and their application.
#include <algorithm>
#include <cstring>
#include <utility>

#include "lkm/bytes.hpp"
#include "lkm/image.hpp"
#include "lkm/messages.hpp"
#include "write_list_composer.hpp"

namespace lkm {

namespace {

struct ByteRange {
    uint64_t begin, end;
};

// The parts of `ranges` outside [begin, end).
std::vector<ByteRange> uncoveredParts(const std::vector<ByteRange>& ranges, uint64_t begin, uint64_t end) {
    std::vector<ByteRange> left;
    for (const ByteRange& range : ranges) {
        if (range.begin < begin) left.push_back({range.begin, std::min(range.end, begin)});
        if (range.end > end) left.push_back({std::max(range.begin, end), range.end});
    }
    left.erase(std::remove_if(left.begin(), left.end(), [](const ByteRange& r) { return r.begin >= r.end; }),
               left.end());
    return left;
}

Write pieceOf(const Write& write, const ByteRange& range) {
    const auto from = write.bytes.begin() + std::ptrdiff_t(range.begin - write.offset);
    return {write.name, uint32_t(range.begin),
            std::vector<uint8_t>(from, from + std::ptrdiff_t(range.end - range.begin)), write.content};
}

} // namespace

WriteTarget wholeImage(const Image& image) {
    return {image.base, image.bytes.size(), image.bytes.size()};
}

uint32_t WriteTarget::address(uint32_t offset) const {
    return gameAddress(base, imageLength, offset);
}

void WriteListComposer::requireRoom(uint32_t offset, uint32_t length) const {
    require(detail::fits(target_.bytesLength, offset, length), message::invalidPatchRange);
}

void WriteListComposer::add(const char* name, uint32_t offset, std::vector<uint8_t> bytes,
                            WriteContent content) {
    requireRoom(offset, uint32_t(bytes.size()));
    writes_.push_back({name, offset, std::move(bytes), content});
}

void WriteListComposer::addFloat(const char* name, uint32_t offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    addFloatBits(name, offset, bits);
}

void WriteListComposer::addFloatBits(const char* name, uint32_t offset, uint32_t bits) {
    std::vector<uint8_t> bytes(4);
    put(bytes, 0, bits);
    add(name, offset, std::move(bytes), WriteContent::floatValue);
}

void WriteListComposer::addAddress(const char* name, uint32_t offset, uint32_t address) {
    std::vector<uint8_t> bytes(4);
    put(bytes, 0, address);
    add(name, offset, std::move(bytes), WriteContent::address);
}

void WriteListComposer::addCode(const char* name, uint32_t offset, std::vector<uint8_t> code) {
    add(name, offset, std::move(code), WriteContent::code);
}

std::vector<Write> withoutOverlaps(const std::vector<Write>& inOrder) {
    std::vector<Write> pieces;
    for (std::size_t i = 0; i < inOrder.size(); ++i) {
        std::vector<ByteRange> left{{inOrder[i].offset, inOrder[i].end()}};
        for (std::size_t later = i + 1; later < inOrder.size() && !left.empty(); ++later)
            left = uncoveredParts(left, inOrder[later].offset, inOrder[later].end());
        for (const ByteRange& range : left)
            if (range.begin < range.end) pieces.push_back(pieceOf(inOrder[i], range));
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const Write& a, const Write& b) { return a.offset < b.offset; });
    return pieces;
}

std::vector<Run> rangesOf(const std::vector<Write>& writes) {
    std::vector<Run> ranges;
    for (const Write& write : writes) ranges.push_back({write.offset, uint32_t(write.bytes.size())});
    return ranges;
}

void applyWrites(std::vector<uint8_t>& bytes, const std::vector<Write>& writes) {
    for (const Write& write : writes) {
        require(detail::fits(bytes.size(), write.offset, uint32_t(write.bytes.size())),
                message::invalidPatchRange);
        std::copy(write.bytes.begin(), write.bytes.end(), bytes.data() + write.offset);
    }
}

} // namespace lkm
