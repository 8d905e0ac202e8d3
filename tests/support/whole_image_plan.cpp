#include "whole_image_plan.hpp"

#include <string>

#include "lkm/byte_runs.hpp"
#include "lkm/diff.hpp"
#include "lkm/plan_writes.hpp"

namespace lkm::test {

void recordImageBytes(const lkm::Image& image, lkm::Layout& layout) {
    const std::vector<lkm::Write> writes =
        lkm::withoutOverlaps(lkm::stockRestoringWrites(layout, lkm::wholeImage(image)));
    std::vector<lkm::Run> ranges = lkm::rangesOf(writes);
    for (uint32_t setter : layout.setters) ranges.push_back({setter, 6});
    layout.original = lkm::copiedRanges(image.bytes, lkm::mergedRanges(ranges));
    std::vector<lkm::ByteRun> restored = layout.original;
    for (const lkm::Write& write : writes) lkm::layOver(restored, {write.offset, write.bytes});
    layout.normalized = lkm::changedRuns(layout.original, restored);
}

std::vector<uint8_t> patchedImage(const lkm::Image& image, const std::vector<lkm::Patch>& plan) {
    std::vector<lkm::ByteRun> replaced;
    for (const lkm::Patch& patch : plan) replaced.push_back({patch.offset, patch.replacement});
    return image.bytes.overlaid(replaced).all();
}

std::vector<uint8_t> wholeNormalizedImage(const lkm::Image& image, const lkm::Layout& layout) {
    std::vector<uint8_t> bytes = image.bytes.all();
    lkm::applyWrites(bytes, lkm::withoutOverlaps(lkm::stockRestoringWrites(layout, lkm::wholeImage(image))));
    return bytes;
}

std::vector<lkm::Patch> wholeImagePlan(const lkm::Image& image, const lkm::Layout& layout, int resolutionX,
                                       int resolutionY, bool keepUiAspect) {
    const std::vector<uint8_t> before = image.bytes.all();
    std::vector<uint8_t> after = wholeNormalizedImage(image, layout);
    lkm::applyWrites(after, lkm::withoutOverlaps(lkm::patchingWrites(
                                layout, lkm::patchValuesForResolution(resolutionX, resolutionY), keepUiAspect,
                                lkm::wholeImage(image))));
    std::vector<lkm::Patch> plan;
    for (const lkm::Run& run : lkm::differingRuns(before, after)) {
        const auto at = [&](const std::vector<uint8_t>& bytes) {
            return std::vector<uint8_t>(bytes.begin() + std::ptrdiff_t(run.offset),
                                        bytes.begin() + std::ptrdiff_t(run.offset + run.length));
        };
        plan.push_back({run.offset, at(before), at(after)});
    }
    return plan;
}

std::string planDifferences(const std::vector<lkm::Patch>& actual, const std::vector<lkm::Patch>& expected) {
    if (actual.size() != expected.size())
        return "count " + std::to_string(actual.size()) + " instead of " + std::to_string(expected.size());
    std::string out;
    for (std::size_t k = 0; k < actual.size(); ++k) {
        const std::string patch = "patch " + std::to_string(k);
        if (actual[k].offset != expected[k].offset) out += patch + " offset; ";
        if (actual[k].expected != expected[k].expected) out += patch + " expected; ";
        if (actual[k].replacement != expected[k].replacement) out += patch + " replacement; ";
    }
    return out;
}

} // namespace lkm::test
