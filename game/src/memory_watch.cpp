#include "memory_watch.hpp"

#include <algorithm>
#include <windows.h>

#include "own_image.hpp"

namespace lkm::game {

namespace {

constexpr uint32_t executeAny =
    PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

} // namespace

MemoryWatch::MemoryWatch() : base_(ownImageBase()), imageSize_(ownImageSize()) {
    for (const lkm::SectionHeader& section : ownSections()) {
        if (section.characteristics & IMAGE_SCN_MEM_WRITE) continue;
        const uint32_t size = std::max(section.virtualSize, section.rawSize);
        if (section.rva >= imageSize_) continue;
        const uint32_t inside = std::min(size, imageSize_ - section.rva);
        readOnly_.push_back({section.rva, inside});
        bytes_.insert(bytes_.end(), base_ + section.rva, base_ + section.rva + inside);
    }
    protections_ = pageProtections();
    regions_ = executableRegions();
}

MemoryChanges MemoryWatch::changes() const {
    MemoryChanges out;
    std::size_t copy = 0;
    for (const Range& range : readOnly_) {
        bool inRun = false;
        for (uint32_t i = 0; i < range.size; ++i, ++copy) {
            const bool differs = base_[range.rva + i] != bytes_[copy];
            if (differs) ++out.changedBytes;
            if (differs && !inRun) ++out.changedRuns;
            inRun = differs;
        }
    }
    const std::vector<uint32_t> now = pageProtections();
    for (std::size_t i = 0; i < now.size(); ++i)
        if (now[i] != protections_[i]) ++out.changedPages;
    for (const Region& region : executableRegions())
        if (std::find(regions_.begin(), regions_.end(), region) == regions_.end())
            out.newExecutable.push_back({region.size, region.protection});
    return out;
}

std::vector<uint32_t> MemoryWatch::pageProtections() const {
    std::vector<uint32_t> protections;
    for (uint32_t offset = 0; offset < imageSize_; offset += 0x1000) {
        MEMORY_BASIC_INFORMATION info{};
        const bool known = VirtualQuery(base_ + offset, &info, sizeof info) == sizeof info;
        protections.push_back(known ? info.Protect : 0);
    }
    return protections;
}

// Every private committed region of the process that can be executed.
std::vector<MemoryWatch::Region> MemoryWatch::executableRegions() {
    std::vector<Region> regions;
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    auto address = reinterpret_cast<uintptr_t>(system.lpMinimumApplicationAddress);
    const auto end = reinterpret_cast<uintptr_t>(system.lpMaximumApplicationAddress);
    while (address < end) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof info) != sizeof info) break;
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE && (info.Protect & executeAny))
            regions.push_back({reinterpret_cast<uintptr_t>(info.BaseAddress), uint32_t(info.RegionSize),
                               uint32_t(info.Protect)});
        const uintptr_t next = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (next <= address) break;
        address = next;
    }
    return regions;
}

} // namespace lkm::game
