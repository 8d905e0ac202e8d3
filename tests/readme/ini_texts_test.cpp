// The default INI and the player's readme are written by hand; they must say
// what the INI's table says: every key, in reading order, with its default and
// the values it accepts.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "ini_keys.hpp"

namespace {

// Each key's line `Name=default` in table order, and in the text around it
// that documents the key (`above` and `below` match it) its limits: "0 = "
// where 0 means something of its own, "1 = " for a switch, else the first
// plain value, `joint` and the highest.
void expectEveryKey(const char* path, const std::string& above, const std::string& below,
                    const std::string& joint) {
    std::ifstream in(path);
    std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    rest.erase(std::remove(rest.begin(), rest.end(), '\r'), rest.end());
    for (const lkm::plugin::IniKey& key : lkm::plugin::ini::keys) {
        const std::string name = lkm::plugin::nameOf(key) + "=" + std::to_string(key.defaultValue);
        std::smatch found;
        ASSERT_TRUE(
            std::regex_search(rest, found, std::regex(above + "\n *" + name + "( [^\n]*)?\n" + below)))
            << name << " missing or out of order in " << path;
        const std::string text = found.str();
        const std::string first = std::to_string(key.lowest == 0 ? 1 : key.lowest);
        const std::string range =
            key.highest == 1 ? "1 = " : first + joint + std::to_string(key.highest) + "[^0-9]";
        EXPECT_TRUE(std::regex_search(text, std::regex("(^|[^0-9])" + range))) << text;
        EXPECT_TRUE(key.lowest != 0 || text.find("0 = ") != std::string::npos) << text;
        rest.erase(0, std::size_t(found.position() + found.length()) - 1);
    }
}

TEST(IniTexts, DefaultIniAndReadmeNameEveryKeyWithItsDefaultAndLimits) {
    expectEveryKey(LKM_SOURCE_INI, "(\n;[^\n]*)+", "", " to "); // the comment lines above the key
    expectEveryKey(LKM_README, "", "( {8,}[^\n]*\n)*",
                   "\\.\\."); // the key's line and the deeper ones after it
}

} // namespace
