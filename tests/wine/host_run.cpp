#include "host_run.hpp"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "wine_paths.hpp"

namespace lkm::plugin::test {

namespace {

constexpr std::size_t processesAtOnce = 6;
constexpr DWORD hostTimeoutMs = 120000;

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end()); // the tests use ASCII names only
}

std::string narrow(const std::wstring& text) {
    std::string result;
    for (wchar_t c : text) result.push_back(static_cast<char>(c));
    return result;
}

std::optional<std::string> readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + narrow(path));
}

bool isFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Every file below `root`, as paths relative to it; folders end in a backslash.
void listTree(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((root + relative + L"*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(relative + name + L"\\");
            listTree(root, relative + name + L"\\", out);
        } else {
            out.push_back(relative + name);
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
}

void removeTree(const std::wstring& root) {
    std::vector<std::wstring> entries;
    listTree(root, L"", entries);
    // Deepest first, so that every folder is empty when it is removed.
    std::sort(entries.begin(), entries.end(),
              [](const std::wstring& a, const std::wstring& b) { return a.size() > b.size(); });
    for (const std::wstring& entry : entries) {
        const std::wstring path = root + entry;
        if (entry.back() == L'\\')
            RemoveDirectoryW(path.c_str());
        else
            DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(root.c_str());
}

std::wstring freshRoot() {
    static unsigned counter = 0;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring root = std::wstring(temp) + L"lkm-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter) + L"\\";
    removeTree(root);
    if (!CreateDirectoryW(root.c_str(), nullptr)) throw std::runtime_error("cannot create " + narrow(root));
    return root;
}

struct Pending {
    const HostSetup* setup;
    std::wstring root;   // fresh folder, ends in a backslash
    std::wstring folder; // folder of the plug-in, ends in a backslash
    PROCESS_INFORMATION process{};
};

std::wstring reportName() {
    return L"host-report.txt";
}

Pending launch(const HostSetup& setup) {
    Pending run{&setup, freshRoot(), {}, {}};
    run.folder = run.root;
    if (!setup.folder.empty()) {
        run.folder += widen(setup.folder) + L"\\";
        CreateDirectoryW(run.folder.c_str(), nullptr);
    }
    const std::wstring plugin = run.folder + widen(setup.pluginName);
    if (!CopyFileW(pluginPath().c_str(), plugin.c_str(), FALSE))
        throw std::runtime_error("cannot copy the plug-in to " + narrow(plugin));
    const std::wstring stem = run.folder + L"Larkmere.WidescreenFix";
    if (setup.ini) writeFile(stem + L".ini", *setup.ini);
    if (setup.staleLog) writeFile(stem + L".log", *setup.staleLog);
    if (setup.logBlocked) CreateDirectoryW((stem + L".log").c_str(), nullptr);

    const std::wstring load = run.folder + widen(setup.loadName.empty() ? setup.pluginName : setup.loadName);
    std::wstring command = L"\"" + hostPath() + L"\" \"" + load + L"\" \"" + run.root + reportName() +
                           L"\" " + widen(setup.mode);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, run.root.c_str(),
                        &startup, &run.process))
        throw std::runtime_error("cannot start the test host");
    return run;
}

HostOutcome finish(Pending& run) {
    HostOutcome outcome;
    if (WaitForSingleObject(run.process.hProcess, hostTimeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(run.process.hProcess, 99);
        WaitForSingleObject(run.process.hProcess, INFINITE);
    }
    DWORD code = 0;
    GetExitCodeProcess(run.process.hProcess, &code);
    outcome.exitCode = static_cast<int>(code);
    CloseHandle(run.process.hThread);
    CloseHandle(run.process.hProcess);

    std::istringstream report(readFile(run.root + reportName()).value_or(""));
    for (std::string line; std::getline(report, line);) {
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? "" : line.substr(blank + 1);
        if (key == "debug")
            outcome.debug.push_back(value);
        else
            outcome.found[key] = value;
    }

    const std::wstring stem = run.folder + L"Larkmere.WidescreenFix";
    if (isFile(stem + L".log")) outcome.log = readFile(stem + L".log");

    const std::wstring relativeFolder = run.folder.substr(run.root.size());
    const std::wstring expected[] = {reportName(),
                                     relativeFolder,
                                     relativeFolder + widen(run.setup->pluginName),
                                     relativeFolder + L"Larkmere.WidescreenFix.ini",
                                     relativeFolder + L"Larkmere.WidescreenFix.log",
                                     relativeFolder + L"Larkmere.WidescreenFix.log\\"};
    std::vector<std::wstring> entries;
    listTree(run.root, L"", entries);
    for (const std::wstring& entry : entries) {
        if (std::find(std::begin(expected), std::end(expected), entry) == std::end(expected))
            outcome.otherFiles.push_back(narrow(entry));
    }
    removeTree(run.root);
    return outcome;
}

} // namespace

std::vector<HostOutcome> runHosts(const std::vector<HostSetup>& setups) {
    std::vector<HostOutcome> outcomes(setups.size());
    std::vector<std::pair<std::size_t, Pending>> running;
    std::size_t next = 0;
    while (next < setups.size() || !running.empty()) {
        while (next < setups.size() && running.size() < processesAtOnce) {
            running.emplace_back(next, launch(setups[next]));
            ++next;
        }
        outcomes[running.front().first] = finish(running.front().second);
        running.erase(running.begin());
    }
    return outcomes;
}

std::string logOf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\n";
    return bytes;
}

} // namespace lkm::plugin::test
