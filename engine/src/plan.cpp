// The patch plan: the normalised image with the patch's writes applied. Where
// two writes share bytes (recognised places that overlap), the later one wins.
#include "lkm/plan.hpp"

#include "lkm/plan_writes.hpp"

#include <utility>

namespace lkm {

std::vector<uint8_t> build(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                           bool keepUiAspect) {
    return build(image, layout, std::vector<uint8_t>(layout.normalized), resolutionX, resolutionY,
                 keepUiAspect);
}

std::vector<uint8_t> build(const Image& image, const Layout& layout, std::vector<uint8_t>&& normalized,
                           int resolutionX, int resolutionY, bool keepUiAspect) {
    require(resolutionX >= minResolutionX && resolutionX <= maxResolutionX && resolutionY >= minResolutionY &&
                resolutionY <= maxResolutionY,
            "Resolution is outside supported input limits.");
    const WriteTarget target{image.base, image.bytes.size(), normalized.size()};
    const std::vector<Write> writes = withoutOverlaps(
        patchingWrites(layout, patchValuesForResolution(resolutionX, resolutionY), keepUiAspect, target));
    std::vector<uint8_t> plan = std::move(normalized);
    applyWrites(plan, writes);
    return plan;
}

std::vector<Run> planRanges(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                            bool keepUiAspect) {
    const WriteTarget target = wholeImage(image);
    std::vector<Run> ranges = rangesOf(stockRestoringWrites(layout, target));
    for (const Run& range : rangesOf(patchingWrites(
             layout, patchValuesForResolution(resolutionX, resolutionY), keepUiAspect, target)))
        ranges.push_back(range);
    return ranges;
}

} // namespace lkm
