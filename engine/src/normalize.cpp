// Step 6: the image with every recognised place back to stock, whether or not
// an earlier patch changed it, held as the image's own bytes at the places the
// restoring writes touch and the runs in which the restored bytes differ.
#include "lkm/byte_runs.hpp"
#include "lkm/plan_writes.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

void normalize(const Image& image, Layout& layout) {
    const WriteTarget target = wholeImage(image);
    const std::vector<Write> writes = withoutOverlaps(stockRestoringWrites(layout, target));
    // The places are validated: their bytes now are what the commit expects.
    layout.original = copiedRanges(image.bytes, mergedRanges(rangesOf(writes)));
    std::vector<ByteRun> restored = layout.original;
    for (const Write& write : writes) layOver(restored, {write.offset, write.bytes});
    layout.normalized = changedRuns(layout.original, restored);
}

} // namespace lkm::recognition
