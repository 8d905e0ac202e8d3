// What the inspector's tests share: the synthetic stock and earlier-patched
// engines, a scratch folder for their files, and the command run as a process.
#pragma once

#include <string>
#include <vector>

#include "engine_image.hpp"

namespace lkmtest {

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

} // namespace lkmtest
