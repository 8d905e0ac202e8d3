// The default INI and the player's readme are written by hand; they must say
// what the INI's table says: every key, in reading order, with its default and
// the values it accepts.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "ini_keys.hpp"

namespace {

std::vector<std::string> linesOf(const char* path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// `words` stands in `text` with no digit right before or after it.
bool namesNumbers(const std::string& text, const std::string& words) {
    const auto digit = [&](std::size_t i) { return i < text.size() && std::isdigit(uint8_t(text[i])) != 0; };
    for (std::size_t at = text.find(words); at != std::string::npos; at = text.find(words, at + 1))
        if (!(at > 0 && digit(at - 1)) && !digit(at + words.size())) return true;
    return false;
}

// A description of a key names its limits: "0 = " where 0 means something of
// its own, "1 = " for a switch, else the first plain value, `joint`, the highest.
void expectLimits(const std::string& text, const lwf::IniKey& key, const std::string& joint) {
    if (key.lowest == 0) EXPECT_TRUE(namesNumbers(text, "0 = ")) << text;
    const std::string first = std::to_string(key.lowest == 0 ? 1 : key.lowest);
    EXPECT_TRUE(namesNumbers(text, key.highest == 1 ? "1 = " : first + joint + std::to_string(key.highest)))
        << text;
}

// Each key's line `Name=default` after `from` and in table order; `describe`
// gathers the text that documents the key at a line.
template <class Describe>
void expectEveryKey(const std::vector<std::string>& lines, std::size_t from, const std::string& indent,
                    const std::string& joint, Describe describe) {
    for (const lwf::IniKey& key : lwf::ini::keys) {
        const std::string set = indent + lwf::nameOf(key) + "=" + std::to_string(key.defaultValue);
        while (from < lines.size() && lines[from].compare(0, set.size(), set) != 0) ++from;
        ASSERT_LT(from, lines.size()) << set << " missing or out of order";
        expectLimits(describe(from), key, joint);
    }
}

TEST(IniTexts, DefaultIniSetsEveryKeyToItsDefaultBelowItsLimits) {
    const std::vector<std::string> lines = linesOf(LKM_SOURCE_INI);
    std::size_t main = 0;
    while (main < lines.size() && lines[main] != "[MAIN]") ++main;
    expectEveryKey(lines, main, "", " to ", [&](std::size_t at) {
        std::string comments; // the comment lines just above the key
        for (std::size_t i = at; i > 0 && lines[i - 1].rfind(';', 0) == 0; --i)
            comments = lines[i - 1] + comments;
        return comments;
    });
}

TEST(IniTexts, ReadmeListsEveryKeyWithItsDefaultAndLimits) {
    const std::vector<std::string> lines = linesOf(LKM_README);
    expectEveryKey(lines, 0, "  ", "..", [&](std::size_t at) {
        std::string text = lines[at]; // the key's line and the deeper-indented ones after it
        for (std::size_t i = at + 1; i < lines.size() && lines[i].rfind("      ", 0) == 0; ++i)
            text += lines[i];
        return text;
    });
}

} // namespace
