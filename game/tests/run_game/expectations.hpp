// The expectation lines of game/tests/expected/*.txt, checked against a JSON
// document (the game's report with the plug-in's log added to it):
//   path = text             the value at path (a string's text, a number, true/false or null) is text
//   path # n                the array or object at path has n members
//   path in low high        the number at path lies in low..high
//   path count n text       n elements of the array at path equal text
//   path same other         the single values at path and at the path other are equal
// A path is dot-separated, with array indices as numbers. Blank lines and lines
// starting with # are skipped.
#pragma once
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace lkm::game::test {

struct ExpectationResult {
    int checked = 0;
    std::vector<std::string> failures; // "<line>: <what differs>"
};

// Throws std::runtime_error for a line that is none of the five forms.
ExpectationResult checkExpectations(const nlohmann::json& document, const std::vector<std::string>& lines);

} // namespace lkm::game::test
