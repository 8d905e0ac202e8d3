// The game's report: one JSON document with what the engine received and what
// every console variable holds after the run.
#pragma once

#include <string>
#include <vector>

#include "asi_loader.hpp"
#include "engine_run.hpp"
#include "memory_watch.hpp"

namespace lkm::game {

std::string buildReport(const AsiReport& asi, const MemoryChanges& memory, const EngineRun& run,
                        const std::vector<std::string>& debugLines);

} // namespace lkm::game
