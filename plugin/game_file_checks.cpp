#include "game_file_checks.hpp"

#include <algorithm>

#include "code_in_the_way.hpp"
#include "lkm/byte_runs.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/earlier_patch.hpp"
#include "lkm/file_error.hpp"
#include "lkm/file_pages.hpp"
#include "lkm/place_names.hpp"
#include "path_text.hpp"
#include "stop_explanation.hpp"

namespace lkm::plugin {

namespace {

// The file laid out for the module at `base`, or null when it cannot be read.
std::unique_ptr<lkm::FilePages> pagesOf(const std::unique_ptr<lkm::ByteSource>& file, uint32_t base) {
    try {
        return file ? std::make_unique<lkm::FilePages>(*file, base) : nullptr;
    } catch (const lkm::FileError&) {
        return nullptr;
    }
}

std::unique_ptr<lkm::ByteSource> opened(const OpenGameFile& open) {
    try {
        return open();
    } catch (const lkm::FileError&) {
        return nullptr;
    }
}

// The file's bytes at `offset`, or empty when they cannot be read.
std::vector<uint8_t> onDisk(const lkm::FilePages& pages, uint32_t offset, uint32_t length) {
    try {
        return pages.bytes(offset, length);
    } catch (const lkm::FileError&) {
        return {};
    }
}

} // namespace

std::vector<std::string> earlierPatchNotices(const lkm::Layout& layout, uint32_t base,
                                             const OpenGameFile& open) {
    if (layout.normalized.empty()) return {};
    const std::unique_ptr<lkm::ByteSource> file = opened(open);
    const std::unique_ptr<lkm::FilePages> pages = pagesOf(file, base);
    // Each changed place as recognition found it in memory, against the file.
    // A place the file cannot give counts as the file's: nothing is known against it.
    const auto differs = [&](uint32_t offset, uint32_t length) {
        const std::vector<uint8_t> there = pages ? onDisk(*pages, offset, length) : std::vector<uint8_t>();
        return !there.empty() && lkm::bytesIn(layout.original, offset, length) != there;
    };
    bool changedInMemory = false;
    for (const lkm::ByteRun& run : layout.normalized)
        changedInMemory = changedInMemory || differs(run.offset, uint32_t(run.bytes.size()));
    const bool aspectOnDisk = !differs(layout.aspectOperand, 4);
    std::vector<std::string> lines;
    if (lkm::cameraAspectShowsEarlierPatch(layout) && aspectOnDisk)
        lines.push_back(notice::earlierPatchOnDisk);
    if (changedInMemory) lines.push_back(notice::changedInMemory);
    return lines;
}

void requireStockEntriesOnDisk(const lkm::Layout& layout, uint32_t base, const OpenGameFile& open) {
    if (std::all_of(layout.setterJumps.begin(), layout.setterJumps.end(),
                    [](uint32_t jump) { return jump == 0; }))
        return;
    const std::unique_ptr<lkm::ByteSource> file = opened(open);
    const std::unique_ptr<lkm::FilePages> pages = pagesOf(file, base);
    const std::vector<uint8_t> stock(lkm::cvar::setterPrologue.begin(), lkm::cvar::setterPrologue.end());
    for (std::size_t k = 0; k < layout.setters.size() && k < layout.setterJumps.size(); ++k) {
        if (layout.setterJumps[k] == 0) continue;
        if (!pages || onDisk(*pages, layout.setters[k], uint32_t(stock.size())) != stock)
            throw CodeInTheWay(refusal::unsupportedHookInstruction);
    }
}

std::vector<std::string> chainedHookLines(const lkm::Layout& layout, const ProcessView& process) {
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < layout.setters.size() && k < layout.setterJumps.size(); ++k) {
        if (layout.setterJumps[k] == 0) continue;
        // Where the other mod's jump led when recognition found it: the setter's
        // entry leads into the plug-in by now.
        const Lead lead = leadInto(layout.setterJumps[k], process);
        const std::string module =
            lead.kind == Lead::Kind::module ? fileNameIn(lead.module) : notice::noModule;
        std::string line = notice::chainedBehind;
        line.replace(line.find("%s"), 2, std::string(lkm::placeName::cvarSetter) + " " + std::to_string(k));
        line.replace(line.find("%s"), 2, module);
        lines.push_back(line);
    }
    return lines;
}

} // namespace lkm::plugin
