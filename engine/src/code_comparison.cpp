#include "lkm/code_comparison.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "lkm/file_pages.hpp"
#include "lkm/image.hpp"
#include "lkm/import_slots.hpp"
#include "lkm/pe_headers.hpp"

namespace lkm {

namespace {

using Refusal = CodeComparison::Refusal;

// Headers longer than this belong to no executable the game runs.
constexpr uint32_t longestHeaders = 0x10000;

Refusal refusalOf(FileError::Kind kind) {
    switch (kind) {
    case FileError::Kind::unreadable:
        return Refusal::unreadable;
    case FileError::Kind::notPe:
    case FileError::Kind::truncated:
    case FileError::Kind::inconsistent:
        return Refusal::notPe;
    case FileError::Kind::unsupported: // the module in memory is one the plug-in takes
        return Refusal::otherExecutable;
    case FileError::Kind::relocations:
        return Refusal::relocations;
    }
    return Refusal::notPe;
}

bool sameSection(const SectionHeader& a, const SectionHeader& b) {
    return a.name == b.name && a.virtualSize == b.virtualSize && a.rva == b.rva && a.rawSize == b.rawSize &&
           a.rawOffset == b.rawOffset && a.characteristics == b.characteristics;
}

// True when the headers in memory give the file's SizeOfImage and section table.
bool sameExecutable(const FilePages& pages, const LiveBytes& live, uint32_t liveBase) {
    const FileHeaders& headers = pages.headers();
    if (headers.tableEnd > headers.headerBytes || headers.tableEnd > longestHeaders) return false;
    std::vector<uint8_t> fileBytes(headers.tableEnd), liveBytes(headers.tableEnd);
    layOut(headers, pages.file(), 0, fileBytes.data(), fileBytes.size());
    if (!live.read(liveBase, liveBytes.data(), liveBytes.size())) return false;
    const PeHeaders inFile(fileBytes), inMemory(liveBytes);
    if (inMemory.sizeOfImage() != inFile.sizeOfImage() || inMemory.sectionCount() != inFile.sectionCount())
        return false;
    for (uint32_t i = 0; i < headers.sections.size(); ++i) {
        const std::optional<SectionHeader> a = inFile.section(i), b = inMemory.section(i);
        if (!a || !b || !sameSection(*a, *b)) return false;
    }
    return true;
}

// Sorted, with ranges that overlap or touch joined.
std::vector<Run> joined(std::vector<Run> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const Run& l, const Run& r) { return l.offset < r.offset; });
    std::vector<Run> out;
    for (const Run& r : ranges) {
        if (!out.empty() && r.offset - out.back().offset <= out.back().length) {
            const uint64_t end = std::max<uint64_t>(uint64_t(out.back().offset) + out.back().length,
                                                    uint64_t(r.offset) + r.length);
            out.back().length = uint32_t(end - out.back().offset);
        } else if (r.length != 0) {
            out.push_back(r);
        }
    }
    return out;
}

// The executable sections' ranges, joined.
std::vector<Run> codeRanges(const FileHeaders& headers) {
    std::vector<Run> ranges;
    for (const SectionName& s : headers.sections)
        if (s.characteristics & sectionExecute) ranges.push_back({s.rva, s.size});
    return joined(std::move(ranges));
}

// Counts every differing byte and run, and keeps the first runs.
class Runs {
public:
    explicit Runs(CodeComparison& out) : out_(out) {}
    void add(uint32_t offset, uint32_t length) {
        out_.differingBytes += length;
        if (out_.runCount != 0 && offset == end_) { // the run goes on
            if (kept_) out_.runs.back().length += length;
        } else {
            ++out_.runCount;
            kept_ = out_.runs.size() < keptRuns;
            if (kept_) out_.runs.push_back({offset, length});
        }
        end_ = uint64_t(offset) + length;
    }

private:
    CodeComparison& out_;
    uint64_t end_ = 0;
    bool kept_ = false;
};

// The runs of bytes that differ in [from, to) of one page at `page`; all of them when the live page is
// unreadable.
void compareSpan(const uint8_t* file, const uint8_t* live, bool readable, uint32_t page, uint32_t from,
                 uint32_t to, Runs& runs) {
    if (!readable) return runs.add(from, to - from);
    for (uint32_t i = from; i < to;) {
        if (file[i - page] == live[i - page]) {
            ++i;
            continue;
        }
        uint32_t j = i + 1;
        while (j < to && file[j - page] != live[j - page]) ++j;
        runs.add(i, j - i);
        i = j;
    }
}

} // namespace

CodeComparison compareCode(const ByteSource& file, const LiveBytes& live, uint32_t liveBase) {
    CodeComparison out;
    if (file.size() > largestComparedFile) {
        out.refusal = Refusal::tooLarge;
        return out;
    }
    try {
        const FilePages pages(file, liveBase);
        if (!sameExecutable(pages, live, liveBase)) {
            out.refusal = Refusal::otherExecutable;
            return out;
        }
        const uint32_t sizeOfImage = pages.headers().sizeOfImage;
        const std::vector<Run> code = codeRanges(pages.headers());
        const std::vector<Run> slots = joined(importAddressRanges(pages.headers(), file));
        std::array<uint8_t, pe::pageSize> filePage, livePage;
        Runs runs(out);
        for (const Run& range : code) {
            out.codeBytes += range.length;
            const uint32_t end = range.offset + range.length; // within the image
            for (uint32_t page = range.offset / pe::pageSize * pe::pageSize; page < end;
                 page += pe::pageSize) {
                pages.page(page, filePage.data());
                const uint32_t liveLength = std::min(pe::pageSize, sizeOfImage - page);
                const bool readable = uint64_t(liveBase) + page + liveLength <= UINT32_MAX + uint64_t(1) &&
                                      live.read(liveBase + page, livePage.data(), liveLength);
                const bool same = readable && std::memcmp(filePage.data(), livePage.data(), liveLength) == 0;
                // The compared bytes of the page, around the import address slots.
                uint32_t from = std::max(range.offset, page);
                const uint32_t to = std::min(end, page + liveLength);
                for (const Run& slot : slots) {
                    if (same || from >= to) break;
                    if (uint64_t(slot.offset) + slot.length <= from) continue;
                    if (slot.offset >= to) break;
                    if (slot.offset > from)
                        compareSpan(filePage.data(), livePage.data(), readable, page, from, slot.offset,
                                    runs);
                    from = uint32_t(std::min<uint64_t>(uint64_t(slot.offset) + slot.length, to));
                }
                if (!same && from < to)
                    compareSpan(filePage.data(), livePage.data(), readable, page, from, to, runs);
            }
        }
    } catch (const FileError& error) {
        CodeComparison refused;
        refused.refusal = refusalOf(error.kind);
        return refused;
    }
    return out;
}

} // namespace lkm
