// The lkm-inspect command as a whole: every refusal is one line on standard
// error, or with --json one object on standard output, with the same exit
// status; --help succeeds; paths in any script open and JSON stays UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "command.hpp"
#include "engine_files.hpp"
#include "fixture.hpp"

namespace {

using lkmtest::contents;
using lkmtest::scratch;
using lkmtest::written;

#if defined(_WIN32)
const std::string noSuchFile = "File not found.";
#else
const std::string noSuchFile = "No such file or directory";
#endif

// `text` as a JSON string's content, for texts of printable ASCII and line feeds.
std::string jsonText(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

TEST(InspectorCommand, RefusalsAreOneLineOrOneJsonObject) {
    const std::string stock = written("refusal-stock.exe", lkmtest::engineFile(lkmtest::stockEngine()));
    std::vector<uint8_t> cut = lkmtest::engineFile(lkmtest::stockEngine());
    cut.resize(0x1800);
    const std::string truncated = written("refusal-truncated.exe", cut);
    const std::string text = written("refusal-text.exe", {'h', 'e', 'l', 'l', 'o', '\n'});
    const std::string empty = written("refusal-empty.exe", {});
    const std::string absent = scratch("refusal-absent.exe");
    const std::string folder = scratch("");
    const std::string limits = " is outside the supported 320..16384 x 200..16384";
    struct Case {
        std::vector<std::string> words;
        std::string about;     // the path the line names, "" for the arguments
        std::string message;   // the JSON object's "error"
        const char* errorKind; // nullptr for the arguments
    };
    const Case cases[] = {
        {{}, "", "no executable given", nullptr},
        {{stock, "--keep-ui", "1"}, "", "--keep-ui needs --resolution", nullptr},
        {{stock, "--resolution", "319x768"}, "", "resolution 319x768" + limits, nullptr},
        {{stock, "--resolution", "1024x199"}, "", "resolution 1024x199" + limits, nullptr},
        {{stock, "--resolution", "16385x16384"}, "", "resolution 16385x16384" + limits, nullptr},
        {{stock, "--resolution", "wide"},
         "",
         "--resolution takes WIDTHxHEIGHT, such as 2560x1080, not \"wide\"",
         nullptr},
        {{stock, "--resolution", "-1x768"},
         "",
         "--resolution takes WIDTHxHEIGHT, such as 2560x1080, not \"-1x768\"",
         nullptr},
        {{stock, "--resolution", "1920x1080x1"},
         "",
         "--resolution takes WIDTHxHEIGHT, such as 2560x1080, not \"1920x1080x1\"",
         nullptr},
        {{stock, "--resolution"}, "", "--resolution needs a value WIDTHxHEIGHT", nullptr},
        {{stock, "--resolution", "--keep-ui", "1"}, "", "--resolution needs a value WIDTHxHEIGHT", nullptr},
        {{stock, "--resolution", "800x600", "--resolution", "800x600"},
         "",
         "--resolution is given twice",
         nullptr},
        {{stock, "--resolution", "800x600", "--keep-ui", "2"},
         "",
         "--keep-ui takes 0 or 1, not \"2\"",
         nullptr},
        {{stock, "--restore-stock"}, "", "--restore-stock needs the name of the file to write", nullptr},
        {{stock, "--restore-stock", "out.exe", "--resolution", "800x600"},
         "",
         "--restore-stock does not take --resolution",
         nullptr},
        {{stock, "--frobnicate"}, "", "unknown option --frobnicate", nullptr},
        {{stock, "other.exe"}, "", "one executable at a time, not " + stock + " and other.exe", nullptr},
        {{absent}, absent, noSuchFile, "unreadable"},
        {{folder}, folder, "a folder, not a file", "unreadable"},
        {{empty}, empty, "not a PE file: the file is empty", "not a PE file"},
        {{text}, text, "not a PE file: no MZ header", "not a PE file"},
        {{truncated}, truncated, "truncated file: section .text lies past the end of the file", "truncated"},
    };
    for (const Case& c : cases) {
        const std::string name = c.message;
        const lkmtool::Outcome plain = lkmtool::runCommand(c.words);
        EXPECT_EQ(plain.status, 2) << name;
        EXPECT_EQ(plain.output, "") << name;
        const std::string line =
            c.errorKind ? "lkm-inspect: " + c.about + ": " + c.message + "\n"
                        : "lkm-inspect: " + c.message + "; lkm-inspect --help lists the options\n";
        EXPECT_EQ(plain.error, line) << name;

        std::vector<std::string> words = c.words;
        words.push_back("--json");
        const lkmtool::Outcome json = lkmtool::runCommand(words);
        EXPECT_EQ(json.status, 2) << name;
        EXPECT_EQ(json.error, "") << name;
        const std::string object =
            c.errorKind ? "{\n  \"file\": \"" + c.about + "\",\n  \"error\": \"" + jsonText(c.message) +
                              "\",\n  \"errorKind\": \"" + c.errorKind + "\"\n}\n"
                        : "{\n  \"error\": \"" + jsonText(c.message) + "\",\n  \"usage\": \"" +
                              jsonText(lkmtool::usageText()) + "\"\n}\n";
        EXPECT_EQ(json.output, object) << name;
    }
}

TEST(InspectorCommand, HelpPrintsTheUsageAndSucceeds) {
    const std::vector<std::vector<std::string>> calls = {
        {"--help"}, {"-h"}, {"GAME.exe", "--frobnicate", "--help"}};
    for (const std::vector<std::string>& words : calls) {
        const lkmtool::Outcome help = lkmtool::runCommand(words);
        EXPECT_EQ(help.status, 0) << words.back();
        EXPECT_EQ(help.output, lkmtool::usageText()) << words.back();
        EXPECT_EQ(help.error, "") << words.back();
    }
    const lkmtool::Outcome json = lkmtool::runCommand({"--json", "--help"});
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.output, "{\n  \"usage\": \"" + jsonText(lkmtool::usageText()) + "\"\n}\n");
}

// A path that is not UTF-8 (bytes from another code page) still gives valid
// JSON: every byte outside a well-formed sequence is U+FFFD, well-formed ones
// stay as they are.
TEST(InspectorCommand, JsonStaysUtf8WhateverThePath) {
    const std::string path =
        scratch("caf\xC9 \xC3\xA9 \xF0\x9F\x98\x80 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82.exe");
    const std::string shown =
        scratch("caf\\uFFFD \xC3\xA9 \xF0\x9F\x98\x80 \\uFFFD\\uFFFD \\uFFFD\\uFFFD\\uFFFD "
                "\\uFFFD\\uFFFD\\uFFFD\\uFFFD \\uFFFD\\uFFFD.exe");
    const lkmtool::Outcome json = lkmtool::runCommand({path, "--json"});
    EXPECT_EQ(json.status, 2);
    EXPECT_EQ(json.output, "{\n  \"file\": \"" + shown + "\",\n  \"error\": \"" + noSuchFile +
                               "\",\n  \"errorKind\": \"unreadable\"\n}\n");
}

// The process as a player starts it, on a file in a folder named in Japanese
// with an accented letter: the path arrives whole (the wide command line on
// Windows) and comes out as UTF-8 in both forms.
TEST(InspectorCommand, OpensPathsInAnyScript) {
    namespace fs = std::filesystem;
    const std::string folder =
        scratch("\xE3\x83\xA9\xE3\x83\xBC\xE3\x82\xAF\xE3\x83\x9F\xE3\x82\xA2 \xC3\x89"); // ラークミア É
    const std::string game = folder + "/Larkmere.exe";
    fs::create_directories(fs::u8path(folder));
    fs::remove(fs::u8path(game)); // copy_file of MinGW's library cannot replace a file
    fs::copy_file(fs::u8path(written("script-stock.exe", lkmtest::engineFile(lkmtest::stockEngine()))),
                  fs::u8path(game));

    EXPECT_EQ(lkmtest::runInspector("\"" + game + "\""), 0);
    EXPECT_EQ(contents(scratch("out.txt")).rfind("File: " + game + "\nVerdict: supported\n", 0), 0u);
    EXPECT_EQ(lkmtest::runInspector("\"" + game + "\" --json"), 0);
    EXPECT_EQ(
        contents(scratch("out.txt")).rfind("{\n  \"file\": \"" + game + "\",\n  \"supported\": true,", 0),
        0u);
    EXPECT_EQ(contents(scratch("err.txt")), "");
}

} // namespace
