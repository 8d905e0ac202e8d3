// Step 1: the camera projection call site, found through the engine's
// perspective import, and the aspect ratio it pushes.
#include <new>
#include <string>
#include <vector>

#include "lkm/messages.hpp"
#include "lkm/place_names.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr char perspectiveImport[] = "PerspectiveToAngles@VisRenderer_cl";

// True when the perspective call of the site at m reaches an FF 25 thunk (jmp dword ptr [slot])
// whose slot belongs to the perspective import.
bool callsPerspective(const Image& image, uint32_t m) {
    const uint32_t thunk = image.offset(image.branch(m + signature::cameraProjection.perspectiveCall));
    if (!bytesAre(image.bytes, thunk, {0xFF, 0x25})) return false;
    const auto import = image.imports.find(read32(image, plus(thunk, 2)));
    return import != image.imports.end() && import->second.find(perspectiveImport) != std::string::npos;
}

} // namespace

void findCamera(const Image& image, Layout& layout, Handover& handover) {
    std::vector<uint32_t> candidates;
    for (uint32_t m : handover.matches[signature::cameraProjection]) {
        try {
            if (callsPerspective(image, m)) candidates.push_back(m);
        } catch (const std::bad_alloc&) {
            throw; // memory ran out: no verdict on the candidate
        } catch (const std::exception&) {
            // a call or slot outside the image: not this match
        }
    }
    handover.cameraSite = one(candidates, placeName::mainCameraProjection);
    layout.aspectOperand = handover.cameraSite + signature::cameraProjection.aspect;
    layout.aspect = floatAt(image, layout.aspectOperand);
    require(finite(layout.aspect) && layout.aspect > 0.0f, message::invalidCameraAspect);
}

} // namespace lkm::recognition
