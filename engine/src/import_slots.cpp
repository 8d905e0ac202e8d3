#include "lkm/import_slots.hpp"

#include <algorithm>
#include <array>

#include "lkm/bytes.hpp"

namespace lkm {

namespace {

constexpr uint32_t descriptorSize = 20;   // IMAGE_IMPORT_DESCRIPTOR
constexpr uint32_t mostDescriptors = 512; // as many as the image model reads
constexpr uint32_t mostSlots = 8192;      // per descriptor, as many as the image model reads
constexpr uint32_t slotSize = 4;
constexpr uint32_t slotChunk = 64; // slots read at a time

// The image range [rva, rva + size) cut to the image; none when nothing of it lies inside.
void addRange(std::vector<Run>& ranges, uint64_t rva, uint64_t size, uint32_t sizeOfImage) {
    if (rva >= sizeOfImage || size == 0) return;
    ranges.push_back({uint32_t(rva), uint32_t(std::min<uint64_t>(size, sizeOfImage - rva))});
}

// The number of entries before the zero that ends the table at `rva`, at most mostSlots.
uint32_t slotCount(const FileHeaders& headers, const ByteSource& file, uint32_t rva) {
    std::array<uint8_t, slotChunk * slotSize> chunk;
    for (uint32_t done = 0; done < mostSlots; done += slotChunk) {
        layOut(headers, file, uint64_t(rva) + uint64_t(done) * slotSize, chunk.data(), chunk.size());
        for (uint32_t i = 0; i < slotChunk; ++i)
            if (detail::littleEndian(chunk.data() + i * slotSize, slotSize) == 0) return done + i;
    }
    return mostSlots;
}

} // namespace

std::vector<Run> importAddressRanges(const FileHeaders& headers, const ByteSource& file) {
    std::vector<Run> ranges;
    if (headers.importAddresses)
        addRange(ranges, headers.importAddresses->rva, headers.importAddresses->size, headers.sizeOfImage);
    if (!headers.imports || headers.imports->rva == 0) return ranges;
    std::array<uint8_t, descriptorSize> descriptor;
    for (uint32_t d = 0; d < mostDescriptors; ++d) {
        // Past the end of the image the layout reads zeros, which end the walk.
        layOut(headers, file, headers.imports->rva + uint64_t(descriptorSize) * d, descriptor.data(),
               descriptor.size());
        const uint32_t nameTable = detail::littleEndian(descriptor.data(), 4);
        const uint32_t dllName = detail::littleEndian(descriptor.data() + 12, 4);
        const uint32_t addressTable = detail::littleEndian(descriptor.data() + 16, 4);
        if (nameTable == 0 && dllName == 0 && addressTable == 0) break;
        if (addressTable == 0) continue;
        // The loader writes one slot for each name table entry, or each address
        // table entry when there is no name table.
        const uint32_t slots = slotCount(headers, file, nameTable != 0 ? nameTable : addressTable);
        addRange(ranges, addressTable, uint64_t(slots) * slotSize, headers.sizeOfImage);
    }
    return ranges;
}

} // namespace lkm
