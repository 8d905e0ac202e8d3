// run_game: runs the stand-in game once under Wine in a fresh folder and checks
// its JSON report, with the plug-in's log added, against expectation lines.
//
//   run_game --wine WINE --game Larkmere.exe --engine LarkEngine.dll --work FOLDER
//            [--plugin x.asi [--ini x.ini] [--plugin-folder SUBFOLDER]] [--loader DLL]
//            [--mod PATH[:SUBFOLDER]]...
//            [--expect FILE]... [--line EXPECTATION]... [--arg GAME_ARGUMENT]...
//            [--runs N] [--xvfb-run XVFB_RUN --screen WxH --prefix FOLDER]
//
// --plugin-folder puts the plug-in, its INI and so its log into that folder
// below the game's; --loader copies a loader DLL beside the game; each --mod
// copies another module into the game folder, or into SUBFOLDER below it (PATH
// holds no colon). --runs starts the game N times, each in a fresh folder, and
// needs every run to hold the expectations; it stops at the first that does not.
// Without --xvfb-run the game runs in the caller's Wine prefix with no display,
// so the desktop is Wine's default 1024x768. With it the game runs on a virtual
// display of the given size in its own prefix, whose wineserver is stopped
// before and after (Wine settles the display mode when a session starts).
// The log appears in the document as "log" (an array of its lines),
// "logFile.exists" and "logFile.bytes" (its size, if it exists).
#include "child_process.hpp"
#include "expectations.hpp"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

namespace lkm::game::test {

namespace fs = std::filesystem;

namespace {

constexpr int gameTimeoutSeconds = 240;

struct Options {
    std::map<std::string, std::string> single; // --wine, --game, ... without the dashes
    std::vector<std::string> expectFiles, lines, gameArguments, mods;

    std::string get(const std::string& name) const {
        auto found = single.find(name);
        return found == single.end() ? "" : found->second;
    }
};

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; i += 2) {
        std::string name = argv[i];
        if (i + 1 >= argc || name.rfind("--", 0) != 0)
            throw std::runtime_error("Bad argument '" + name + "'.");
        std::string value = argv[i + 1];
        if (name == "--expect")
            options.expectFiles.push_back(value);
        else if (name == "--line")
            options.lines.push_back(value);
        else if (name == "--arg")
            options.gameArguments.push_back(value);
        else if (name == "--mod")
            options.mods.push_back(value);
        else
            options.single[name.substr(2)] = value;
    }
    for (const char* required : {"wine", "game", "engine", "work"})
        if (options.get(required).empty())
            throw std::runtime_error(std::string("--") + required + " is not set.");
    return options;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read " + path.string() + ".");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        result.push_back(line);
    }
    return result;
}

// A fresh game folder; returns the log file the plug-in will write, or "".
fs::path prepareFolder(const Options& options, const fs::path& work) {
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy_file(options.get("game"), work / "Larkmere.exe");
    fs::copy_file(options.get("engine"), work / "LarkEngine.dll");
    if (!options.get("loader").empty())
        fs::copy_file(options.get("loader"), work / fs::path(options.get("loader")).filename());
    for (const std::string& mod : options.mods) {
        const size_t colon = mod.find(':');
        const fs::path file = mod.substr(0, colon);
        const fs::path folder = work / (colon == std::string::npos ? "" : mod.substr(colon + 1));
        fs::create_directories(folder);
        fs::copy_file(file, folder / file.filename());
    }
    if (options.get("plugin").empty()) return {};
    const fs::path folder = work / options.get("plugin-folder");
    fs::create_directories(folder);
    std::string name = fs::path(options.get("plugin")).stem().string();
    fs::copy_file(options.get("plugin"), folder / (name + ".asi"));
    if (!options.get("ini").empty()) fs::copy_file(options.get("ini"), folder / (name + ".ini"));
    return folder / (name + ".log");
}

void stopWineserver() {
    runChildProcess({{"wineserver", "-k"}});
}

// Runs the game; its standard output, the report, goes to report.json.
void runGame(const Options& options, const fs::path& work) {
    ChildProcess game;
    bool display = !options.get("xvfb-run").empty();
    if (display) {
        setenv("WINEPREFIX", options.get("prefix").c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
        // A prefix made here on a display would offer to install .NET and HTML support.
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
        stopWineserver();
        game.command = {options.get("xvfb-run"), "-a", "-s", "-screen 0 " + options.get("screen") + "x24"};
    } else {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }
    game.command.push_back(options.get("wine"));
    game.command.push_back("Larkmere.exe");
    game.command.insert(game.command.end(), options.gameArguments.begin(), options.gameArguments.end());
    game.folder = work.string();
    game.outputFile = (work / "report.json").string();
    game.errorFile = (work / "errors.txt").string();
    game.timeoutSeconds = gameTimeoutSeconds;
    int status = runChildProcess(game);
    if (display) stopWineserver();
    if (status == -1)
        throw std::runtime_error("Larkmere.exe did not finish within " + std::to_string(gameTimeoutSeconds) +
                                 " seconds.");
    if (status != 0)
        throw std::runtime_error("Larkmere.exe failed (" + std::to_string(status) + "):\n" +
                                 readFile(game.errorFile) + "\n" + readFile(game.outputFile));
}

// The report with the plug-in's log added under "log" and "logFile".
nlohmann::json reportWithLog(const fs::path& work, const fs::path& logFile) {
    nlohmann::json document = nlohmann::json::parse(readFile(work / "report.json"), nullptr, false);
    if (!document.is_object()) throw std::runtime_error("The game's report is not a JSON object.");
    bool exists = !logFile.empty() && fs::exists(logFile);
    document["log"] = nlohmann::json::array();
    document["logFile"] = {{"exists", exists}};
    if (exists) {
        std::string text = readFile(logFile);
        document["logFile"]["bytes"] = text.size();
        for (const std::string& line : lines(text)) document["log"].push_back(line);
    }
    return document;
}

int check(const Options& options) {
    std::vector<std::string> expectations;
    for (const std::string& file : options.expectFiles) {
        std::vector<std::string> fileLines = lines(readFile(file));
        expectations.insert(expectations.end(), fileLines.begin(), fileLines.end());
    }
    expectations.insert(expectations.end(), options.lines.begin(), options.lines.end());

    const fs::path work = options.get("work");
    const int runs = options.get("runs").empty() ? 1 : std::max(1, std::atoi(options.get("runs").c_str()));
    for (int run = 1; run <= runs; ++run) {
        fs::path logFile = prepareFolder(options, work);
        runGame(options, work);
        ExpectationResult result = checkExpectations(reportWithLog(work, logFile), expectations);
        if (result.checked == 0) throw std::runtime_error("No expectation was checked.");
        if (!result.failures.empty()) {
            std::cout << "The game's report in " << work.string() << " differs from the expectations";
            if (runs > 1) std::cout << " in run " << run << " of " << runs;
            std::cout << ":\n";
            for (const std::string& failure : result.failures) std::cout << "  " << failure << "\n";
            return 1;
        }
        if (run == runs)
            std::cout << result.checked << " expectations hold"
                      << (runs > 1 ? " in each of " + std::to_string(runs) + " runs" : "") << " ("
                      << work.string() << ")\n";
    }
    return 0;
}

// The command line above: 0 when every run holds the expectations.
int run(int argc, char** argv) {
    try {
        return check(parseOptions(argc, argv));
    } catch (const std::exception& error) {
        std::cout << "run_game: " << error.what() << "\n";
        return 2;
    }
}

} // namespace

} // namespace lkm::game::test

int main(int argc, char** argv) {
    return lkm::game::test::run(argc, argv);
}
