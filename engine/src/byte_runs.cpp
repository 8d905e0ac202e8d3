#include "lkm/byte_runs.hpp"
#include "lkm/messages.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

namespace lkm {

namespace {

// The run of `runs` (ascending, disjoint) that holds [offset, offset + length), or null.
template <class Runs>
auto holder(Runs& runs, uint64_t offset, uint64_t length) -> decltype(&runs.front()) {
    auto after = std::upper_bound(runs.begin(), runs.end(), offset,
                                  [](uint64_t o, const ByteRun& run) { return o < run.offset; });
    if (after == runs.begin()) return nullptr;
    auto& run = *(after - 1);
    return offset + length <= run.end() ? &run : nullptr;
}

} // namespace

std::vector<Run> mergedRanges(std::vector<Run> ranges) {
    std::sort(ranges.begin(), ranges.end(), [](const Run& l, const Run& r) { return l.offset < r.offset; });
    std::vector<Run> merged;
    for (const Run& range : ranges) {
        const uint64_t end = uint64_t(range.offset) + range.length;
        if (!merged.empty() && range.offset <= uint64_t(merged.back().offset) + merged.back().length) {
            Run& last = merged.back();
            last.length =
                uint32_t(std::max<uint64_t>(uint64_t(last.offset) + last.length, end) - last.offset);
        } else {
            merged.push_back(range);
        }
    }
    return merged;
}

std::vector<ByteRun> copiedRanges(const ImageBytes& bytes, const std::vector<Run>& ranges) {
    std::vector<ByteRun> runs;
    runs.reserve(ranges.size());
    for (const Run& range : ranges) runs.push_back({range.offset, bytes.slice(range.offset, range.length)});
    return runs;
}

void addCopiedRange(std::vector<ByteRun>& runs, const ImageBytes& bytes, uint32_t offset, uint32_t length) {
    ByteRun joined{offset, bytes.slice(offset, length)};
    std::vector<ByteRun> kept;
    for (ByteRun& run : runs) {
        if (run.end() < joined.offset || joined.end() < run.offset) {
            kept.push_back(std::move(run));
            continue;
        }
        // Joined with `run`: its bytes over the new ones.
        const uint32_t begin = std::min(run.offset, joined.offset);
        const uint64_t end = std::max(run.end(), joined.end());
        std::vector<uint8_t> both(std::size_t(end - begin));
        std::copy(joined.bytes.begin(), joined.bytes.end(),
                  both.begin() + std::ptrdiff_t(joined.offset - begin));
        std::copy(run.bytes.begin(), run.bytes.end(), both.begin() + std::ptrdiff_t(run.offset - begin));
        joined = {begin, std::move(both)};
    }
    kept.push_back(std::move(joined));
    std::sort(kept.begin(), kept.end(),
              [](const ByteRun& l, const ByteRun& r) { return l.offset < r.offset; });
    runs = std::move(kept);
}

void layOver(std::vector<ByteRun>& runs, const ByteRun& piece) {
    ByteRun* run = holder(runs, piece.offset, piece.bytes.size());
    require(run != nullptr, message::invalidPatchRange);
    std::copy(piece.bytes.begin(), piece.bytes.end(),
              run->bytes.begin() + std::ptrdiff_t(piece.offset - run->offset));
}

std::vector<ByteRun> changedRuns(const std::vector<ByteRun>& before, const std::vector<ByteRun>& after) {
    std::vector<ByteRun> changed;
    for (std::size_t k = 0; k < before.size() && k < after.size(); ++k) {
        const ByteRun& a = before[k];
        const ByteRun& b = after[k];
        for (const Run& run : differingRuns(a.bytes, b.bytes)) {
            const auto from = b.bytes.begin() + std::ptrdiff_t(run.offset);
            changed.push_back(
                {a.offset + run.offset, std::vector<uint8_t>(from, from + std::ptrdiff_t(run.length))});
        }
    }
    return changed;
}

std::vector<uint8_t> bytesIn(const std::vector<ByteRun>& runs, uint32_t offset, uint32_t length) {
    const ByteRun* run = holder(runs, offset, length);
    if (!run) return {};
    const auto from = run->bytes.begin() + std::ptrdiff_t(offset - run->offset);
    return std::vector<uint8_t>(from, from + std::ptrdiff_t(length));
}

} // namespace lkm
