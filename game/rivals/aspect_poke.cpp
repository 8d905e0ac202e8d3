// AspectPoke.asi: a memory-poking widescreen tool, loaded before the plug-in.
// It writes the 16:9 aspect over the 4:3 one that the game's main camera
// projection pushes (68 imm32, the imm32: lkm::game::rival::cameraAspectOperand):
//   AB AA AA 3F (4/3)  ->  39 8E E3 3F (16/9)
#include <cstdint>
#include <vector>

#include "lkm/bytes.hpp"
#include "rival_win32.hpp"

namespace lkm::game::rival {

namespace {

constexpr uint32_t stockAspect = 0x3FAAAAAB; // 4/3 as a float
constexpr uint32_t wideAspect = 0x3FE38E39;  // 16/9 as a float

void install() {
    const Place operand = cameraAspectOperand(gameCode(), stockAspect);
    std::vector<uint8_t> bytes(sizeof wideAspect);
    lkm::put(bytes, 0, wideAspect);
    writeCode(operand.at, bytes);
}

} // namespace

} // namespace lkm::game::rival

extern "C" void InitializeASI() {
    lkm::game::rival::startOnce(LKM_RIVAL_NAME, lkm::game::rival::install);
}
