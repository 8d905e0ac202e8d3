// Step 5: the three 15-byte runs of CC after the horizontal forward, vertical
// forward and horizontal inverse conversions are free, or hold exactly what an
// earlier patch put there; and every GUI operand that reads the current
// vertical reciprocal is collected.
#include <vector>

#include "lkm/messages.hpp"
#include "lkm/stock_engine.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr uint32_t spaceLength = stock::patchSpaceLength;
constexpr uint8_t int3 = stock::patchSpaceFiller;

// An alignment space: free, or an earlier patch's trampoline
//   C7 44 24 d imm32   mov dword ptr [esp+d], imm32
//   E9 rel32           jmp
//   CC CC
void checkAlignmentSpace(const ImageBytes& bytes, uint64_t p, uint8_t displacement) {
    const char* const occupied = message::alignmentSpaceOccupied;
    require(p <= bytes.size(), occupied);
    if (runOf(bytes, p, spaceLength, int3)) return;
    require(bytesAre(bytes, p, {0xC7, 0x44, 0x24, displacement}) && bytesAre(bytes, p + 8, {0xE9}) &&
                bytesAre(bytes, p + 13, {int3, int3}),
            occupied);
}

// The reciprocal space: free, or the moved reciprocal followed by 11 bytes CC.
void checkReciprocalSpace(const ImageBytes& bytes, uint64_t p, uint32_t currentReciprocal) {
    if (p <= bytes.size() && runOf(bytes, p, spaceLength, int3)) return;
    require(p == currentReciprocal && runOf(bytes, p + 4, spaceLength - 4, int3),
            message::reciprocalSpaceOccupied);
}

// The operand at p belongs to one of
//   D8 0D addr              fmul dword ptr [addr]
//   F3 0F 10 /r addr        movss xmm, [addr]      (ModRM mod 00, r/m 101)
//   F3 0F 59 /r addr        mulss xmm, [addr]
bool knownReference(const ImageBytes& bytes, uint32_t p) {
    if (p >= 2 && bytes[p - 2] == 0xD8 && bytes[p - 1] == 0x0D) return true;
    return p >= 4 && bytes[p - 4] == 0xF3 && bytes[p - 3] == 0x0F &&
           (bytes[p - 2] == 0x10 || bytes[p - 2] == 0x59) && (bytes[p - 1] & 0xC7) == 0x05;
}

} // namespace

void checkPatchSpaces(const Image& image, Layout& layout, const Handover& handover) {
    const ImageBytes& bytes = image.bytes;
    checkAlignmentSpace(bytes, stock::patchSpaceAfter(layout.horizontalForward), 0x04);
    checkAlignmentSpace(bytes, stock::patchSpaceAfter(layout.verticalForward), 0x08);
    checkReciprocalSpace(bytes, stock::patchSpaceAfter(layout.horizontalInverse),
                         handover.currentReciprocalOffset);

    // The scan ends where the initializer body begins: an operand whose four
    // bytes reach the body is not examined.
    const uint32_t c = handover.currentReciprocal;
    const uint64_t body = handover.initializerBody;
    layout.verticalReferences.clear();
    for (uint64_t p = layout.horizontalForward; p + 4 < body; ++p) {
        if (read<uint32_t>(bytes, uint32_t(p)) != c) continue;
        require(knownReference(bytes, uint32_t(p)), message::unknownVerticalReference);
        layout.verticalReferences.push_back(uint32_t(p));
    }
    require(layout.verticalReferences.size() >= 2, message::missingVerticalReferences);
}

} // namespace lkm::recognition
