#include "fixture.hpp"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine_files.hpp"

#if defined(_WIN32)
#include "wide_text_win32.hpp"
#else
#include <sys/wait.h>
#endif

namespace lkmtest {

const EngineImage& stockEngine() {
    static const EngineImage engine = makeEngineImage();
    return engine;
}

const EngineImage& patchedEngine() {
    static const EngineImage engine = stockEngine().earlierPatched();
    return engine;
}

std::string scratch(const std::string& name) {
    return std::string(LKM_INSPECTOR_SCRATCH) + "/" + name;
}

std::string written(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = scratch(name);
    writeFile(path, bytes);
    return path;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int runInspector(const std::string& arguments) {
    const std::string command = std::string("\"") + LKM_INSPECTOR_EXE + "\" " + arguments + " > \"" +
                                scratch("out.txt") + "\" 2> \"" + scratch("err.txt") + "\"";
#if defined(_WIN32)
    // The wide call, so that a path in any script arrives whole; cmd /c drops
    // the outermost pair of quotes of a command that starts with one.
    return _wsystem(lkmtool::widened("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

} // namespace lkmtest
