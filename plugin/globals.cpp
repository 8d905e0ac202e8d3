#include "globals.hpp"

namespace lkm::plugin {

std::FILE* logFile = nullptr;
Enforcement enforced;
std::atomic<bool> active{false};
Setters originalSetters{};
std::atomic<uint32_t> lastWrittenFov{noFovWritten};

} // namespace lkm::plugin
