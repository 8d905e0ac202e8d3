// The lkm-inspect command as a whole: every refusal is one line on standard
// error, or with --json one object on standard output, with the same exit
// status; --help succeeds; paths in any script open and JSON stays UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "arguments.hpp"
#include "command.hpp"
#include "engine_files.hpp"

namespace {

using lkm::test::contents;
using lkm::test::scratch;
using lkm::test::written;

const std::string noSuchFile = "no such file";

// `text` as a JSON string's content, for texts of printable ASCII and line feeds.
std::string jsonText(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '"' ? "\\\"" : c == '\n' ? "\\n" : std::string(1, c);
    return out;
}

TEST(InspectorCommand, ArgumentRefusalsAreOneLineOrOneJsonObject) {
    const std::string limits = " is outside the supported 320..16384 x 200..16384";
    const std::string notWxH = "--resolution takes WIDTHxHEIGHT, such as 2560x1080, not ";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no executable given"},
        {{"G.exe", "--keep-ui", "1"}, "--keep-ui needs --resolution"},
        {{"G.exe", "--resolution", "319x768"}, "resolution 319x768" + limits},
        {{"G.exe", "--resolution", "1024x199"}, "resolution 1024x199" + limits},
        {{"G.exe", "--resolution", "16385x16384"}, "resolution 16385x16384" + limits},
        {{"G.exe", "--resolution", "wide"}, notWxH + "\"wide\""},
        {{"G.exe", "--resolution", "-1x768"}, notWxH + "\"-1x768\""},
        {{"G.exe", "--resolution", "1920x1080x1"}, notWxH + "\"1920x1080x1\""},
        {{"G.exe", "--resolution", "--keep-ui", "1"}, "--resolution needs a value WIDTHxHEIGHT"},
        {{"G.exe", "--resolution", "800x600", "--resolution", "800x600"}, "--resolution is given twice"},
        {{"G.exe", "--resolution", "800x600", "--keep-ui", "2"}, "--keep-ui takes 0 or 1, not \"2\""},
        {{"G.exe", "--restore-stock"}, "--restore-stock needs the name of the file to write"},
        {{"G.exe", "--restore-stock", ""}, "--restore-stock needs a file name, not an empty one"},
        {{"G.exe", "--restore-stock", "O.exe", "--resolution", "800x600"},
         "--restore-stock does not take --resolution"},
        {{"G.exe", "--frobnicate"}, "unknown option --frobnicate"},
        {{"G.exe", "O.exe"}, "one executable at a time, not G.exe and O.exe"},
    };
    for (const auto& [words, message] : cases)
        lkm::test::expectRefusal(
            words, "lkm-inspect: " + message + "; lkm-inspect --help lists the options\n",
            "{\n  \"error\": \"" + jsonText(message) + "\",\n  \"errorKind\": \"usage\",\n  \"usage\": \"" +
                jsonText(lkm::inspector::usageText()) + "\"\n}\n");
}

TEST(InspectorCommand, FileRefusalsSayWhatTheFileIs) {
    std::vector<uint8_t> cut = lkm::test::engineFile(lkm::test::stockEngine());
    cut.resize(0x1800);
    const std::string truncated = "truncated file: section .text lies past the end of the file";
    const std::tuple<std::string, std::string, const char*> cases[] = {
        {scratch("refusal-absent.exe"), noSuchFile, "unreadable"},
        {scratch(""), "a folder, not a file", "unreadable"},
        {written("refusal-empty.exe", {}), "not a PE file: the file is empty", "not a PE file"},
        {written("refusal-text.exe", {'h', 'i', '\n'}), "not a PE file: no MZ header", "not a PE file"},
        {written("refusal-truncated.exe", cut), truncated, "truncated"},
    };
    for (const auto& [path, message, kind] : cases)
        lkm::test::expectRefusal({path}, "lkm-inspect: " + path + ": " + message + "\n",
                                 "{\n  \"file\": \"" + path + "\",\n  \"error\": \"" + message +
                                     "\",\n  \"errorKind\": \"" + kind + "\"\n}\n");
}

TEST(InspectorCommand, HelpPrintsTheUsageAndSucceeds) {
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"--help"}, {"-h"}, {"G", "-x", "--help"}}) {
        EXPECT_EQ(lkm::test::shown(lkm::inspector::runCommand(words)),
                  lkm::test::Shown(0, lkm::inspector::usageText(), ""));
    }
    EXPECT_EQ(
        lkm::test::shown(lkm::inspector::runCommand({"--json", "--help"})),
        lkm::test::Shown(0, "{\n  \"usage\": \"" + jsonText(lkm::inspector::usageText()) + "\"\n}\n", ""));
}

// A path that is not UTF-8 (bytes from another code page) still gives valid
// JSON: every byte outside a well-formed sequence is U+FFFD, well-formed ones
// stay as they are.
TEST(InspectorCommand, JsonStaysUtf8WhateverThePath) {
    const std::string path =
        scratch("caf\xC9 \xC3\xA9 \xF0\x9F\x98\x80 \xC0\xAF \xED\xA0\x80 \xF4\x90\x80\x80 \xE2\x82.exe");
    const std::string escaped =
        scratch("caf\\uFFFD \xC3\xA9 \xF0\x9F\x98\x80 \\uFFFD\\uFFFD \\uFFFD\\uFFFD\\uFFFD "
                "\\uFFFD\\uFFFD\\uFFFD\\uFFFD \\uFFFD\\uFFFD.exe");
    const lkm::inspector::Outcome json = lkm::inspector::runCommand({path, "--json"});
    EXPECT_EQ(json.status, 2);
    EXPECT_EQ(json.output, "{\n  \"file\": \"" + escaped + "\",\n  \"error\": \"" + noSuchFile +
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
    fs::copy_file(fs::u8path(written("script-stock.exe", lkm::test::engineFile(lkm::test::stockEngine()))),
                  fs::u8path(game));

    EXPECT_EQ(lkm::test::runInspector("\"" + game + "\""), 0);
    EXPECT_EQ(contents(scratch("out.txt")).rfind("File: " + game + "\nVerdict: supported\n", 0), 0u);
    EXPECT_EQ(lkm::test::runInspector("\"" + game + "\" --json"), 0);
    EXPECT_EQ(
        contents(scratch("out.txt")).rfind("{\n  \"file\": \"" + game + "\",\n  \"supported\": true,", 0),
        0u);
    EXPECT_EQ(contents(scratch("err.txt")), "");
}

} // namespace
