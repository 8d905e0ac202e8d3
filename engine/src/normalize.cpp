// Step 6: the normalised copy of the image, in which every recognised place
// holds the engine's stock content again, whether or not an earlier patch
// changed it.
#include "lkm/plan_writes.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

void normalize(const Image& image, Layout& layout) {
    const WriteTarget target = wholeImage(image);
    const std::vector<Write> writes = withoutOverlaps(stockRestoringWrites(layout, target));
    layout.normalized = image.bytes;
    applyWrites(layout.normalized, writes);
}

} // namespace lkm::recognition
