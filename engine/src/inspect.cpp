// lkm::inspect: the recognition steps, strictly in this order. Each step reads
// what the steps before it found; the first failure ends recognition.
#include "lkm/inspect.hpp"

#include <utility>

#include "recognition.hpp"

namespace lkm {

Layout inspect(const Image& image) {
    return inspect(image, searchSignatures(image));
}

Layout inspect(const Image& image, SignatureMatches matches, const InspectOptions& options) {
    using namespace recognition;
    Layout layout;
    Handover handover;
    handover.matches = std::move(matches);     // every signature, found in one pass over the code
    findCamera(image, layout, handover);       // 1. camera projection and its aspect
    findRootGui(image, layout, handover);      // 2. root GUI constructor and initializer chain
    findGuiFamily(image, layout, handover);    // 3. GUI conversions, constants, scale consistency
    findMouseMapping(image, layout, handover); // 4. GUI mouse coordinate mapping
    checkPatchSpaces(image, layout, handover); // 5. patch spaces and vertical references
    normalize(image, layout);                  // 6. the normalised copy
    findIntegerCvars(image, layout, handover); // 7. r_xres, r_yres, r_fov
    findSetterFamily(image, layout, handover, options.chainHooks); // 8. the five CVar setters
    findFullscreenCvar(image, layout, handover);                   // 9. r_fullscreen and its boolean setter
    return layout;
}

} // namespace lkm
