// Step 6: the normalised copy of the image, in which every recognised place
// holds the engine's stock content again, whether or not an earlier patch
// changed it.
#include <algorithm>

#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr uint32_t aspect = 0x3FAAAAAB;           // 4/3
constexpr uint32_t width = 0x44800000;            // 1024.0
constexpr uint32_t height = 0x44400000;           // 768.0
constexpr uint32_t widthReciprocal = 0x3A800000;  // 1/1024
constexpr uint32_t heightReciprocal = 0x3AAAAAAB; // nearest float to 1/768

// 15 bytes CC at p, refused like a put that does not fit.
void clearSpace(std::vector<uint8_t>& bytes, uint32_t p) {
    require(detail::fits(bytes.size(), p, 15), "Invalid patch range.");
    std::fill(bytes.begin() + p, bytes.begin() + p + 15, uint8_t(0xCC));
}

} // namespace

void normalize(const Image& image, Layout& layout) {
    std::vector<uint8_t>& n = layout.normalized;
    n = image.bytes;
    put(n, layout.aspectOperand, aspect);
    for (uint32_t at : {layout.horizontalScale, layout.mouseHorizontalScale, layout.rootWidth})
        put(n, at, width);
    for (uint32_t at : {layout.verticalScale, layout.mouseVerticalScale, layout.rootHeight})
        put(n, at, height);
    put(n, layout.horizontalReciprocal, widthReciprocal);
    put(n, layout.verticalReciprocal, heightReciprocal);
    // Every GUI reference reads the stock reciprocal again.
    for (uint32_t reference : layout.verticalReferences)
        put(n, reference, image.address(layout.verticalReciprocal));
    clearSpace(n, plus(layout.horizontalForward, 17));
    clearSpace(n, plus(layout.verticalForward, 17));
    clearSpace(n, plus(layout.horizontalInverse, 17));
    // E8 rel32: the root GUI constructor calls the initializer stub directly.
    require(layout.rootInitializerCall < n.size(), "Invalid patch range.");
    n[layout.rootInitializerCall] = 0xE8;
    put(n, layout.rootInitializerCall + 1,
        layout.rootInitializer - (image.base + layout.rootInitializerCall + 5));
}

} // namespace lkm::recognition
