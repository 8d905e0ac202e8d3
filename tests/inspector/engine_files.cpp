#include "engine_files.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#if defined(_WIN32)
#include "wide_text_win32.hpp"
#else
#include <sys/wait.h>
#endif

namespace lkm::test {

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

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
    return _wsystem(lkm::inspector::widened("\"" + command + "\"").c_str());
#else
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

Shown shown(const lkm::inspector::Outcome& outcome) {
    return {outcome.status, outcome.output, outcome.error};
}

void expectRefusal(std::vector<std::string> words, const std::string& line, const std::string& object) {
    EXPECT_EQ(shown(lkm::inspector::runCommand(words)), Shown(2, "", line));
    words.push_back("--json");
    EXPECT_EQ(shown(lkm::inspector::runCommand(words)), Shown(2, object, ""));
}

} // namespace lkm::test
