// The whole lkm-inspect command over its words: what it prints where, and its
// exit status. Every outcome, refusals included, is one JSON object on
// standard output with --json; without it a refusal is one line on standard
// error.
#pragma once

#include <string>
#include <vector>

namespace lkmtool {

struct Outcome {
    int status = 0;     // 0 supported (or --help), 1 not recognised, 2 refused
    std::string output; // for standard output
    std::string error;  // for standard error
};

Outcome runCommand(const std::vector<std::string>& words);

} // namespace lkmtool
