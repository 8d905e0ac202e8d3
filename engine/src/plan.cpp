// The patch plan: the places recognition validated, back to stock and then
// patched. Where two writes share bytes (recognised places that overlap), the
// later one wins.
#include "lkm/plan.hpp"

#include "lkm/byte_runs.hpp"
#include "lkm/messages.hpp"
#include "lkm/plan_writes.hpp"

namespace lkm {

std::vector<Patch> build(const Image& image, const Layout& layout, int resolutionX, int resolutionY,
                         bool keepUiAspect) {
    require(supportedResolution(resolutionX, resolutionY), message::resolutionOutsideLimits);
    const std::vector<Write> writes = withoutOverlaps(patchingWrites(
        layout, patchValuesForResolution(resolutionX, resolutionY), keepUiAspect, wholeImage(image)));
    // Every patching write lies where a restoring write lies: in the original runs.
    std::vector<ByteRun> patched = layout.original;
    for (const ByteRun& restored : layout.normalized) layOver(patched, restored);
    for (const Write& write : writes) layOver(patched, {write.offset, write.bytes});

    std::vector<Patch> plan;
    for (const ByteRun& run : changedRuns(layout.original, patched))
        plan.push_back(
            {run.offset, bytesIn(layout.original, run.offset, uint32_t(run.bytes.size())), run.bytes});
    return plan;
}

} // namespace lkm
