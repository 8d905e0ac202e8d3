// Runs the plug-in inside startup_host, one fresh process and one fresh folder
// per run, and collects what the run left behind.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lkm::plugin::test {

struct HostSetup {
    std::optional<std::string> ini; // INI text beside the plug-in; none when absent
    std::string mode = "once";      // load, once, twice or threads
    std::string folder;             // subfolder of the fresh folder that holds the plug-in
    std::string pluginName = "Larkmere.WidescreenFix.asi";
    std::string loadName;                // name passed to LoadLibraryW, pluginName when empty
    bool logBlocked = false;             // a folder stands where the log file would be
    std::optional<std::string> staleLog; // a log of an earlier start-up
};

struct HostOutcome {
    int exitCode = -1;
    std::vector<std::string> debug;           // debugger lines, in order
    std::map<std::string, std::string> found; // the host's other report lines
    std::optional<std::string> log;           // bytes of the log file, none when absent
    std::vector<std::string> otherFiles;      // files the run created besides the plug-in and INI
};

// Runs every setup, several processes at a time; outcome i belongs to setup i.
std::vector<HostOutcome> runHosts(const std::vector<HostSetup>& setups);

// The bytes a log holding these lines must have: each line ended by one LF.
std::string logOf(const std::vector<std::string>& lines);

} // namespace lkm::plugin::test
