#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "capture.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm::plugin {

namespace {

constexpr uint32_t dosHeaderFieldsEnd = 0x40; // end of e_lfanew
constexpr uint32_t largestLfanew = 0xFFFFF;   // e_lfanew below 1 MiB
constexpr char invalidHeader[] = "Invalid game image header.";

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

std::vector<lkm::Run> unreadableRegions(uintptr_t base, uint32_t size) {
    std::vector<lkm::Run> unreadable;
    uint32_t offset = 0;
    while (offset < size) {
        const uintptr_t address = base + offset;
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == 0)
            throw std::runtime_error("Cannot query the game image.");
        const uintptr_t regionEnd = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (regionEnd <= address) throw std::runtime_error("Invalid image memory region.");
        const uint32_t chunk = static_cast<uint32_t>(std::min<uintptr_t>(regionEnd - address, size - offset));
        if (!accessible(region)) {
            if (!unreadable.empty() && unreadable.back().offset + unreadable.back().length == offset)
                unreadable.back().length += chunk;
            else
                unreadable.push_back({offset, chunk});
        }
        offset += chunk;
    }
    return unreadable;
}

LiveModule liveModule(uintptr_t module) {
    // The headers are read where the loader mapped them, each field only once
    // the memory under it is known to be readable: the DOS header first, then
    // the PE header up to SizeOfImage. The bytes between them are never read.
    if (!readable(module, dosHeaderFieldsEnd)) throw std::runtime_error(invalidHeader);
    const lkm::PeHeaders dosHeader(at(module), dosHeaderFieldsEnd);
    const uint32_t lfanew = dosHeader.lfanew().value_or(0);
    if (dosHeader.dosMagic() != lkm::pe::dosMagic || lfanew - 1 >= largestLfanew ||
        !readable(module + lfanew, lkm::pe::headerFieldsEnd))
        throw std::runtime_error(invalidHeader);

    const lkm::PeHeaders headers(at(module), size_t(lfanew) + lkm::pe::headerFieldsEnd);
    if (headers.signature() != lkm::pe::signature || headers.machine() != lkm::pe::machineI386)
        throw std::runtime_error("Not an x86 game image.");

    const uint32_t sizeOfImage = headers.sizeOfImage().value_or(0);
    if (sizeOfImage - lkm::pe::smallestImage > lkm::pe::largestImage - lkm::pe::smallestImage)
        throw std::runtime_error("Unsupported image size.");

    return {static_cast<uint32_t>(module), sizeOfImage, unreadableRegions(module, sizeOfImage)};
}

LiveModule gameModule() {
    return liveModule(reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr)));
}

// The regions are queried once, before anything is read. A page that another
// thread makes unreadable after that query is not guarded against: reading it
// would fault. It would be a page of the game's own image, whose code and data
// the game itself runs and reads all the time, so a thread that revoked access
// to it would bring the game down without the plug-in; the start-up reads the
// image within milliseconds of the query, as the copy it replaces did; and
// catching the fault needs structured exception handling, which the compiler
// of the plug-in does not offer, or a vectored handler, which the plug-in does
// not install in the game's process.
lkm::Image imageOf(const LiveModule& module) {
    return lkm::Image(lkm::ImageBytes::inPlace(at(module.base), module.size, module.unreadable), module.base);
}

} // namespace lkm::plugin
