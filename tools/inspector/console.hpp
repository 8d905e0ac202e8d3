// The command line as UTF-8 words and UTF-8 text to the standard streams, the
// same on every platform. On Windows the words come from the wide command line
// and a console shows the text as UTF-16, so every script reads right.
#pragma once

#include <string>
#include <vector>

namespace lkm::inspector {

// The arguments after the program's name.
std::vector<std::string> commandLineWords(int argc, char** argv);

void writeOut(const std::string& text);
void writeError(const std::string& text);

} // namespace lkm::inspector
