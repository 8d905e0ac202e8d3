#include "globals.hpp"

namespace lkm::plugin {

std::FILE* logFile = nullptr;
int32_t resolutionX = 0;
int32_t resolutionY = 0;
int32_t windowed = 0;
int32_t forcedBaseFov = 0;
std::atomic<bool> active{false};
lkm::Layout layout;
Setters originalSetters{};
double focalFactor = 1.0;
std::atomic<uint32_t> lastWrittenFov{noFovWritten};

} // namespace lkm::plugin
