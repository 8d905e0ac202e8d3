// The game's report: one JSON document with what the engine received and what
// every console variable holds after the run.
#pragma once

#include <string>
#include <vector>

#include "asi_loader.hpp"
#include "engine_run.hpp"

std::string buildReport(const AsiReport& asi, const EngineRun& run,
                        const std::vector<std::string>& debugLines);
