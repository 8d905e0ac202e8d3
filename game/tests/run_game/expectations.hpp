// The expectation lines of game/tests/expected/*.txt, checked against a JSON
// document (the game's report with the plug-in's log added to it):
//   path = text             the value at path (true/false, null, a number as written) is text
//   path # n                the array or object at path has n members
//   path in low high        the number at path lies in low..high
//   path count n text       n elements of the array at path equal text
// A path is dot-separated, with array indices as numbers. Blank lines and lines
// starting with # are skipped.
#pragma once
#include "json_value.hpp"

#include <string>
#include <vector>

struct ExpectationResult {
    int checked = 0;
    std::vector<std::string> failures; // "<line>: <what differs>"
};

// Throws std::runtime_error for a line that is none of the four forms.
ExpectationResult checkExpectations(const JsonValue& document, const std::vector<std::string>& lines);
