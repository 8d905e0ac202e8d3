// The inspector's command line: what it accepts and how it refuses the rest.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "report.hpp"

namespace lkm::inspector {

// Every way of calling lkm-inspect, for --help.
const std::string& usageText();

// Arguments the command does not accept; the text is the one line it prints.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Fills `options` from the words after the program's name; throws UsageError.
// `json` is set first, so that a refusal can answer in the form asked for.
void parseArguments(const std::vector<std::string>& words, Options& options);

} // namespace lkm::inspector
