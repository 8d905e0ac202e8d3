// The names of the places that differ, as recognition finds them in the
// executable's own code.
#include <new>

#include "lkm/file_pages.hpp"
#include "lkm/inspect.hpp"
#include "lkm/recognised_places.hpp"
#include "stop_explanation.hpp"

namespace lkm::plugin {

PlaceNames placeNamesFor(const lkm::Image& live, const lkm::CodeComparison& comparison,
                         const lkm::ByteSource& file) {
    const lkm::FilePages pages(file, live.base);
    std::vector<lkm::ByteRun> onDisk;
    for (const lkm::Run& run : comparison.runs)
        onDisk.push_back({run.offset, pages.bytes(run.offset, run.length)});
    lkm::Layout layout;
    try {
        // The bytes in memory wherever they agree with the file, so the runs are all it holds.
        const lkm::Image executable(live.bytes.overlaid(onDisk), live.base);
        layout = lkm::inspect(executable);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return {}; // not a version recognition knows either: no names
    }
    const uint32_t base = live.base;
    return [layout, base](uint32_t offset) { return lkm::placeAt(layout, base, offset); };
}

} // namespace lkm::plugin
