#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "capture.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm::plugin {

namespace {

constexpr uint32_t dosHeaderFieldsEnd = 0x40; // end of e_lfanew
constexpr uint32_t largestLfanew = 0xFFFFF;   // e_lfanew below 1 MiB

bool accessible(const MEMORY_BASIC_INFORMATION& region) {
    return region.State == MEM_COMMIT && (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) == 0;
}

// True when every byte of [address, address + size) lies in accessible memory.
bool readable(uintptr_t address, uint32_t size) {
    if (address > UINTPTR_MAX - size) return false;
    const uintptr_t end = address + size;
    while (address < end) {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0) return false;
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (regionEnd <= address || !accessible(region)) return false;
        address = regionEnd;
    }
    return true;
}

const uint8_t* at(uintptr_t address) {
    return reinterpret_cast<const uint8_t*>(address);
}

} // namespace

std::vector<uint8_t> copyMappedRegions(uintptr_t base, uint32_t size) {
    // Each byte is written once: accessible regions are appended as they are,
    // the others as zeros, so the pages of the copy are touched by one pass.
    std::vector<uint8_t> image;
    image.reserve(size);
    uint32_t offset = 0;
    while (offset < size) {
        const uintptr_t address = base + offset;
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0)
            throw std::runtime_error("Cannot query the game image.");
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (regionEnd <= address) throw std::runtime_error("Invalid image memory region.");
        const uint32_t chunk = static_cast<uint32_t>(std::min<uintptr_t>(regionEnd - address, size - offset));
        if (accessible(region)) {
            const auto* from = reinterpret_cast<const uint8_t*>(address);
            image.insert(image.end(), from, from + chunk);
        } else {
            image.resize(image.size() + chunk);
        }
        offset += chunk;
    }
    return image;
}

CapturedModule captureModule(uintptr_t module) {
    // The headers are read where the loader mapped them, each field only once
    // the memory under it is known to be readable: the DOS header first, then
    // the PE header up to SizeOfImage. The bytes between them are never read.
    if (!readable(module, dosHeaderFieldsEnd)) throw std::runtime_error("Invalid game image header.");
    const lkm::PeHeaders dosHeader(at(module), dosHeaderFieldsEnd);
    const uint32_t lfanew = dosHeader.lfanew().value_or(0);
    if (dosHeader.dosMagic() != lkm::pe::dosMagic || lfanew - 1 >= largestLfanew ||
        !readable(module + lfanew, lkm::pe::headerFieldsEnd))
        throw std::runtime_error("Invalid game image header.");

    const lkm::PeHeaders headers(at(module), size_t(lfanew) + lkm::pe::headerFieldsEnd);
    if (headers.signature() != lkm::pe::signature || headers.machine() != lkm::pe::machineI386)
        throw std::runtime_error("Not an x86 game image.");

    const uint32_t sizeOfImage = headers.sizeOfImage().value_or(0);
    if (sizeOfImage - lkm::pe::smallestImage > lkm::pe::largestImage - lkm::pe::smallestImage)
        throw std::runtime_error("Unsupported image size.");

    return {static_cast<uint32_t>(module), copyMappedRegions(module, sizeOfImage)};
}

CapturedModule captureImage() {
    return captureModule(reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)));
}

} // namespace lkm::plugin
