// Executable files for the inspector's tests: the synthetic engine image
// written as a file whose sections lie at the same offsets in the file as in
// memory, so mapping the file must give back the image byte for byte; a
// scratch folder for them, and the command run as a process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tuple>

#include "command.hpp"
#include "engine_image.hpp"

namespace lkm::test {

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

const EngineImage& stockEngine();
const EngineImage& patchedEngine(); // the stock engine as an earlier on-disk patch left it

std::string scratch(const std::string& name);
// Writes `bytes` to the scratch file `name`, replacing it, and returns its path.
std::string written(const std::string& name, const std::vector<uint8_t>& bytes);
std::string contents(const std::string& path);

// Runs lkm-inspect with `arguments` (UTF-8, quoted as a shell needs) and returns
// its exit status; its standard output lands in scratch("out.txt") and its
// standard error in scratch("err.txt").
int runInspector(const std::string& arguments);

using Shown = std::tuple<int, std::string, std::string>; // exit status, standard output, standard error
Shown shown(const lkm::inspector::Outcome& outcome);
// One refusal in both forms: the line on standard error, and with --json the
// object on standard output, with the same exit status 2.
void expectRefusal(std::vector<std::string> words, const std::string& line, const std::string& object);

} // namespace lkm::test
