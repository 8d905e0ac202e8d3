// The start-up of the plug-in as the ASI loader drives it, one fresh host
// process per case: the exact bytes of the log and the debugger lines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host_run.hpp"
#include "wine_paths.hpp"

namespace {

using lkm::plugin::test::HostOutcome;
using lkm::plugin::test::HostSetup;
using Lines = std::vector<std::string>;

const std::string banner = std::string("Larkmere Widescreen Fix ASI ") + LKM_VERSION_TEXT;
const std::string disabled = "Disabled by the INI. No game memory changed.";

std::string stopped(const std::string& message) {
    return "Initialization stopped: " + message;
}

// A start-up with a valid configuration inside this host: the settings passed,
// the host's own main module was read, and recognition finds no engine in it;
// the host's code is the same in memory as on disk, which the line before the
// stop says. The stand-in game's tests cover the rest.
const std::string validConfigurationEnd =
    stopped("Engine recognition failed: main camera projection has 0 matches.");
const Lines validConfigurationRun = {
    banner,
    "The game's code in memory is the same as startup_host.exe on disk: this version of the game is one the "
    "plug-in does not recognise, and no other mod changed it.",
    validConfigurationEnd};

const std::string badPair = stopped("Set both ResX and ResY, or set both to 0 for automatic resolution.");
const std::string badInteger = stopped("Invalid integer in the MAIN section of the INI.");
const std::string tooLong = stopped("INI option is too long.");

std::string ini(const std::string& body) {
    return "[MAIN]\r\n" + body;
}

std::string shippedIni() {
    std::ifstream in(lkm::plugin::test::shippedIniPath().c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void expectRun(const HostOutcome& outcome, const Lines& lines) {
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.debug, lines);
    ASSERT_TRUE(outcome.log.has_value()) << "no log file";
    EXPECT_EQ(*outcome.log, lkm::plugin::test::logOf(lines));
    EXPECT_EQ(outcome.found.count("log") ? outcome.found.at("log") : "", "closed");
    EXPECT_EQ(outcome.otherFiles, Lines{});
}

HostSetup withIni(std::optional<std::string> text) {
    HostSetup setup;
    setup.ini = std::move(text);
    return setup;
}

struct Case {
    const char* name;
    std::optional<std::string> ini;
    Lines lines;
};

std::string padded(unsigned length, const std::string& digits) {
    return std::string(length - digits.size(), '0') + digits;
}

TEST(Startup, ReadsAndJudgesTheSettings) {
    const Case cases[] = {
        {"no INI", std::nullopt, validConfigurationRun},
        {"the shipped INI", shippedIni(), validConfigurationRun},
        {"empty INI", std::string(), validConfigurationRun},
        {"disabled, invalid BaseFOV not read", ini("Enabled=0\r\nBaseFOV=abc\r\n"), {banner, disabled}},
        {"Enabled 2", ini("Enabled=2\r\n"), {banner, stopped("Enabled must be 0 or 1.")}},
        {"Enabled invalid", ini("Enabled=yes\r\n"), {banner, badInteger}},
        {"ResX without ResY", ini("ResX=1920\r\n"), {banner, badPair}},
        {"ResY without ResX", ini("ResY=1080\r\n"), {banner, badPair}},
        {"negative width", ini("ResX=-1920\r\nResY=1080\r\n"), {banner, badPair}},
        {"ResX not an integer is first",
         ini("ResX=abc\r\nKeepUIAspectRatio=2\r\nWindowed=2\r\nBaseFOV=10000\r\n"),
         {banner, badInteger}},
        {"KeepUIAspectRatio before Windowed and BaseFOV",
         ini("ResX=1\r\nKeepUIAspectRatio=2\r\nWindowed=2\r\nBaseFOV=10000\r\n"),
         {banner, stopped("KeepUIAspectRatio must be 0 or 1.")}},
        {"Windowed before BaseFOV",
         ini("ResX=1\r\nWindowed=2\r\nBaseFOV=10000\r\n"),
         {banner, stopped("Windowed must be 0 or 1.")}},
        {"BaseFOV before the resolution",
         ini("ResX=1\r\nBaseFOV=10000\r\n"),
         {banner, stopped("BaseFOV must be 0..9999.")}},
        {"Windowed -1", ini("Windowed=-1\r\n"), {banner, stopped("Windowed must be 0 or 1.")}},
        {"BaseFOV -1", ini("BaseFOV=-1\r\n"), {banner, stopped("BaseFOV must be 0..9999.")}},
        {"ChainHooks 2", ini("ChainHooks=2\r\n"), {banner, stopped("ChainHooks must be 0 or 1.")}},
        {"every option valid",
         ini("Enabled=1\r\nResX=1920\r\nResY=1080\r\nKeepUIAspectRatio=0\r\nWindowed=1\r\nBaseFOV=9999\r\n"),
         validConfigurationRun},
        {"blanks and tabs after", ini("ResX=1920 \t \r\nResY=1080\t\r\n"), validConfigurationRun},
        {"blanks before", ini("ResX=   1920\r\nResY=\t1080\r\n"), validConfigurationRun},
        {"plus sign", ini("ResX=1920\r\nResY=1080\r\nBaseFOV=+75\r\n"), validConfigurationRun},
        {"1920px", ini("ResX=1920px\r\nResY=1080\r\n"), {banner, badInteger}},
        {"0x780", ini("ResX=0x780\r\nResY=1080\r\n"), {banner, badInteger}},
        {"19.20", ini("ResX=19.20\r\nResY=1080\r\n"), {banner, badInteger}},
        {"empty value", ini("BaseFOV=\r\n"), {banner, badInteger}},
        {"quoted blanks", ini("BaseFOV=\"   \"\r\n"), {banner, badInteger}},
        {"eleven nines", ini("ResX=99999999999\r\nResY=1080\r\n"), {banner, badInteger}},
        {"126 characters", ini("ResX=" + padded(126, "1920") + "\r\nResY=1080\r\n"), validConfigurationRun},
        {"127 characters", ini("ResX=" + padded(127, "1920") + "\r\nResY=1080\r\n"), {banner, tooLong}},
        {"300 characters", ini("BaseFOV=" + padded(300, "75") + "\r\n"), {banner, tooLong}},
        {"<missing> is absent", ini("Enabled=<missing>\r\nResX=1920\r\nResY=1080\r\nBaseFOV=<missing>\r\n"),
         validConfigurationRun},
        {"smallest resolution", ini("ResX=320\r\nResY=200\r\n"), validConfigurationRun},
        {"largest resolution", ini("ResX=16384\r\nResY=16384\r\n"), validConfigurationRun},
        {"width one below", ini("ResX=319\r\nResY=200\r\n"), {banner, badPair}},
        {"height one below", ini("ResX=320\r\nResY=199\r\n"), {banner, badPair}},
        {"width one past", ini("ResX=16385\r\nResY=16384\r\n"), {banner, badPair}},
        {"height one past", ini("ResX=16384\r\nResY=16385\r\n"), {banner, badPair}},
        {"other sections ignored", "[OTHER]\r\nEnabled=0\r\n[MAIN]\r\nResX=1920\r\nResY=1080\r\n",
         validConfigurationRun},
    };
    std::vector<HostSetup> setups;
    for (const Case& c : cases) setups.push_back(withIni(c.ini));
    const std::vector<HostOutcome> outcomes = lkm::plugin::test::runHosts(setups);
    for (std::size_t i = 0; i < setups.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        expectRun(outcomes[i], cases[i].lines);
    }
}

TEST(Startup, RunsOnceAndKeepsTheLogOfTheFirstRun) {
    HostSetup twice = withIni(ini("Enabled=2\r\n"));
    twice.mode = "twice";
    HostSetup threads = withIni(std::nullopt);
    threads.mode = "threads";
    HostSetup load = withIni(std::nullopt);
    load.mode = "load";
    HostSetup stale = withIni(ini("ResX=1920\r\n"));
    stale.staleLog =
        "Larkmere Widescreen Fix ASI 0.9\nan earlier start-up with many more lines than this one\n";
    const std::vector<HostOutcome> outcomes = lkm::plugin::test::runHosts({twice, threads, load, stale});

    {
        SCOPED_TRACE("two calls");
        expectRun(outcomes[0], {banner, stopped("Enabled must be 0 or 1.")});
        EXPECT_EQ(outcomes[0].found.at("second-call-log"), "unchanged");
        EXPECT_EQ(outcomes[0].found.at("second-call-debug-lines"), "0");
    }
    {
        SCOPED_TRACE("two threads at once: neither returns before the start-up has ended");
        expectRun(outcomes[1], validConfigurationRun);
        EXPECT_EQ(outcomes[1].found.at("thread-0-lines-at-return"), "3");
        EXPECT_EQ(outcomes[1].found.at("thread-1-lines-at-return"), "3");
    }
    {
        SCOPED_TRACE("loaded but never started");
        EXPECT_EQ(outcomes[2].exitCode, 0);
        EXPECT_EQ(outcomes[2].debug, Lines{});
        EXPECT_FALSE(outcomes[2].log.has_value());
        EXPECT_EQ(outcomes[2].otherFiles, Lines{});
    }
    {
        SCOPED_TRACE("the log of an earlier start-up is replaced");
        expectRun(outcomes[3], {banner, badPair});
    }
}

TEST(Startup, WithoutALogEveryLineStillReachesTheDebugger) {
    HostSetup valid = withIni(ini("ResX=1920\r\nResY=1080\r\n"));
    valid.logBlocked = true;
    HostSetup disabledRun = withIni(ini("Enabled=0\r\n"));
    disabledRun.logBlocked = true;
    HostSetup failing = withIni(ini("Windowed=5\r\n"));
    failing.logBlocked = true;
    const std::vector<HostOutcome> outcomes = lkm::plugin::test::runHosts({valid, disabledRun, failing});
    const Lines expected[] = {
        validConfigurationRun, {banner, disabled}, {banner, stopped("Windowed must be 0 or 1.")}};
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(outcomes[i].exitCode, 0);
        EXPECT_EQ(outcomes[i].debug, expected[i]);
        EXPECT_FALSE(outcomes[i].log.has_value());
        EXPECT_EQ(outcomes[i].found.at("log"), "folder");
        EXPECT_EQ(outcomes[i].otherFiles, Lines{});
    }
}

// A plug-in file whose name has no full stop, in a folder whose name has one:
// the stop reaches only the debugger, and no file appears beside the folder.
TEST(Startup, DottedFolderDoesNotMoveTheFilesOutOfThePluginFolder) {
    HostSetup setup = withIni(std::nullopt);
    setup.folder = "Lark.v2";
    setup.pluginName = "LarkmereWidescreenFix";
    setup.loadName = "LarkmereWidescreenFix."; // the trailing full stop: load without adding ".dll"
    const std::vector<HostOutcome> outcomes = lkm::plugin::test::runHosts({setup});
    EXPECT_EQ(outcomes[0].exitCode, 0);
    EXPECT_EQ(outcomes[0].debug, Lines{stopped("Invalid plugin filename.")});
    EXPECT_EQ(outcomes[0].otherFiles, Lines{});
}

// An INI that the profile calls would take for absent stops the start-up; an
// absent one still means the defaults, also on a path they cannot take.
TEST(Startup, UnreadableIniStopsTheStartUp) {
    const std::string longFolder(240, 'L'); // the INI path then has more than 260 characters
    HostSetup longDisabled = withIni(ini("Enabled=0\r\n"));
    longDisabled.folder = longFolder;
    HostSetup longAbsent = withIni(std::nullopt);
    longAbsent.folder = longFolder;
    const std::vector<HostOutcome> outcomes = lkm::plugin::test::runHosts({longDisabled, longAbsent});
    {
        SCOPED_TRACE("a path of 260 characters or more");
        expectRun(outcomes[0], {banner, stopped("Cannot read the INI file.")});
    }
    {
        SCOPED_TRACE("nothing on a long path");
        expectRun(outcomes[1], validConfigurationRun);
    }
}

// Run inside xvfb-run by the display tests, which name the screen size in
// LKM_DISPLAY ("2560x1440"); the automatic resolution then takes that mode and
// judges it like a configured one.
TEST(Display, AutomaticResolutionIsTheModeOfTheDisplay) {
    const char* display = std::getenv("LKM_DISPLAY");
    if (!display) GTEST_SKIP() << "runs only under xvfb-run, with LKM_DISPLAY set";
    const std::string mode = display;
    const int width = std::stoi(mode.substr(0, mode.find('x')));
    const int height = std::stoi(mode.substr(mode.find('x') + 1));
    const bool inRange = width >= 320 && width <= 16384 && height >= 200 && height <= 16384;

    HostSetup automatic = withIni(std::nullopt);
    HostSetup zeros = withIni(ini("ResX=0\r\nResY=0\r\n"));
    const std::vector<HostOutcome> outcomes = lkm::plugin::test::runHosts({automatic, zeros});
    for (const HostOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.found.count("display") ? outcome.found.at("display") : "", mode);
        expectRun(outcome, inRange ? validConfigurationRun : Lines{banner, badPair});
    }
}

} // namespace
