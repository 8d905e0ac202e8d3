#include "child_process.hpp"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lkm::game::test {

namespace {

// In the child: never returns.
[[noreturn]] void becomeProgram(const ChildProcess& child) {
    setpgid(0, 0); // a group of its own, so that a time-out ends everything it started
    int out = open(child.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(child.errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(child.folder.c_str()) != 0)
        _exit(127);
    std::vector<char*> argv;
    for (const std::string& argument : child.command) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    std::perror(argv[0]);
    _exit(127);
}

} // namespace

int runChildProcess(const ChildProcess& child) {
    if (child.command.empty()) throw std::runtime_error("No program to run.");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("Cannot start " + child.command[0] + ".");
    if (pid == 0) becomeProgram(child);
    setpgid(pid, pid);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(child.timeoutSeconds);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (done < 0) throw std::runtime_error("Lost track of " + child.command[0] + ".");
        if (child.timeoutSeconds > 0 && std::chrono::steady_clock::now() > deadline) {
            kill(-pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace lkm::game::test
