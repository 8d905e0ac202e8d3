// The whole lkm-inspect command over its words: what it prints where, and its
// exit status. Every outcome, refusals included, is one JSON object on
// standard output with --json; without it a refusal is one line on standard
// error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "lkm/byte_source.hpp"
#include "report.hpp"

namespace lkm::inspector {

struct Outcome {
    int status = 0;     // 0 supported (or --help), 1 not recognised, 2 refused
    std::string output; // for standard output
    std::string error;  // for standard error
};

Outcome runCommand(const std::vector<std::string>& words);

// The refusal of words the command does not take.
Outcome usageRefused(const Options& options, const UsageError& error);

// What keeps the stock copy that --restore-stock made: the command writes it to
// a new file. Throws OutputError to refuse it.
using KeepRestored = std::function<void(const Restoration&)>;

// The outcome of inspecting `file`, which options.path names, as the command
// reports it: the report, or the refusal of a file the inspector cannot read.
Outcome inspectionOutcome(const Options& options, const ByteSource& file, const KeepRestored& keep);

} // namespace lkm::inspector
