// Before step 1: every engine signature searched in one pass over the code.
#include <utility>
#include <vector>

#include "lkm/signatures.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

Matches findSignatures(const Image& image) {
    std::vector<std::vector<uint32_t>> found = image.findEach(
        {signature::cameraProjection, signature::rootGuiConstructor, signature::forwardConversion,
         signature::inverseConversion, signature::mouseMapping, signature::intCvarConstruction,
         signature::exceptionPrologue, signature::boolCvarConstruction});
    return {std::move(found[0]), std::move(found[1]), std::move(found[2]), std::move(found[3]),
            std::move(found[4]), std::move(found[5]), std::move(found[6]), std::move(found[7])};
}

} // namespace lkm::recognition
