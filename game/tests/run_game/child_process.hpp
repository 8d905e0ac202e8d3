// Runs a program and waits for it, on the build machine.
#pragma once
#include <string>
#include <vector>

namespace lkm::game::test {

struct ChildProcess {
    std::vector<std::string> command; // program (looked up in PATH) and arguments
    std::string folder = ".";         // the working folder
    std::string outputFile = "/dev/null";
    std::string errorFile = "/dev/null";
    int timeoutSeconds = 0; // 0: no limit
};

// The exit status, 128 + the signal that ended it, or -1 if it was stopped at
// the time limit (with every process of its group). Throws std::runtime_error
// if the program cannot be started.
int runChildProcess(const ChildProcess& child);

} // namespace lkm::game::test
