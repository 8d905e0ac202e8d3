#include "settings.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "message_of.hpp"
#include "options.hpp"

namespace {

using Texts = std::map<std::wstring, std::wstring>;
const std::string badPair = "Set both ResX and ResY, or set both to 0 for automatic resolution.";

struct Judged {
    lkm::plugin::Settings settings;
    std::string error = "(none)";
    std::vector<std::wstring> keysRead;
};

// The keys' texts as an INI holds them; an absent key reads as the profile call's "<missing>".
Judged judge(const Texts& texts) {
    Judged run;
    run.error = lkm::test::messageOf([&] {
        run.settings = lkm::plugin::readSettings([&](const wchar_t* key, int defaultValue) {
            run.keysRead.push_back(key);
            const auto found = texts.find(key);
            const std::wstring text = found == texts.end() ? lkm::plugin::missingValue : found->second;
            return lkm::plugin::parseOptionValue(text, unsigned(text.size()), defaultValue);
        });
        if (!lkm::plugin::automaticResolution(run.settings.resolutionX, run.settings.resolutionY))
            lkm::plugin::requireResolution(run.settings.resolutionX, run.settings.resolutionY);
    });
    return run;
}

TEST(ReadSettings, FirstFailureInReadingOrderIsReported) {
    struct Case {
        const char* name;
        Texts texts;
        std::string error;
    };
    const Case cases[] = {
        {"no keys", {}, "(none)"},
        {"Enabled 2", {{L"Enabled", L"2"}}, "Enabled must be 0 or 1."},
        {"Enabled not an integer", {{L"Enabled", L"yes"}}, "Invalid integer in the MAIN section of the INI."},
        {"ResX without ResY", {{L"ResX", L"1920"}}, badPair},
        {"ResY without ResX", {{L"ResY", L"1080"}}, badPair},
        {"negative width", {{L"ResX", L"-1920"}, {L"ResY", L"1080"}}, badPair},
        {"ResX not an integer comes first",
         {{L"ResX", L"abc"}, {L"KeepUIAspectRatio", L"2"}, {L"Windowed", L"2"}, {L"BaseFOV", L"10000"}},
         "Invalid integer in the MAIN section of the INI."},
        {"KeepUIAspectRatio before Windowed, BaseFOV and the resolution",
         {{L"ResX", L"1"}, {L"KeepUIAspectRatio", L"2"}, {L"Windowed", L"2"}, {L"BaseFOV", L"10000"}},
         "KeepUIAspectRatio must be 0 or 1."},
        {"Windowed before BaseFOV",
         {{L"ResX", L"1"}, {L"Windowed", L"-1"}, {L"BaseFOV", L"10000"}},
         "Windowed must be 0 or 1."},
        {"BaseFOV before the resolution", {{L"ResX", L"1"}, {L"BaseFOV", L"-1"}}, "BaseFOV must be 0..9999."},
        {"BaseFOV 10000", {{L"BaseFOV", L"10000"}}, "BaseFOV must be 0..9999."},
        {"BaseFOV before ChainHooks",
         {{L"BaseFOV", L"-1"}, {L"ChainHooks", L"2"}},
         "BaseFOV must be 0..9999."},
        {"ChainHooks before the resolution",
         {{L"ResX", L"1"}, {L"ChainHooks", L"-1"}},
         "ChainHooks must be 0 or 1."},
        {"smallest resolution", {{L"ResX", L"320"}, {L"ResY", L"200"}}, "(none)"},
        {"largest resolution", {{L"ResX", L"16384"}, {L"ResY", L"16384"}}, "(none)"},
        {"width one below", {{L"ResX", L"319"}, {L"ResY", L"200"}}, badPair},
        {"height one below", {{L"ResX", L"320"}, {L"ResY", L"199"}}, badPair},
        {"width one past", {{L"ResX", L"16385"}, {L"ResY", L"16384"}}, badPair},
        {"height one past", {{L"ResX", L"16384"}, {L"ResY", L"16385"}}, badPair},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(judge(c.texts).error, c.error);
    }
}

TEST(ReadSettings, EveryKeyIsReadInOrderWithItsDefault) {
    const Judged defaults = judge({});
    EXPECT_EQ(defaults.keysRead,
              (std::vector<std::wstring>{L"Enabled", L"ResX", L"ResY", L"KeepUIAspectRatio", L"Windowed",
                                         L"BaseFOV", L"ChainHooks"}));
    EXPECT_TRUE(defaults.settings.enabled);
    EXPECT_TRUE(
        lkm::plugin::automaticResolution(defaults.settings.resolutionX, defaults.settings.resolutionY));
    EXPECT_EQ(defaults.settings.keepUiAspectRatio, 1);
    EXPECT_EQ(defaults.settings.windowed, 0);
    EXPECT_EQ(defaults.settings.baseFov, 0);
    EXPECT_EQ(defaults.settings.chainHooks, 0);

    const Judged set = judge({{L"ResX", L"2560 "},
                              {L"ResY", L" 1080"},
                              {L"KeepUIAspectRatio", L"0"},
                              {L"Windowed", L"1"},
                              {L"BaseFOV", L"+75"},
                              {L"ChainHooks", L"1"}});
    EXPECT_EQ(set.error, "(none)");
    EXPECT_EQ(set.settings.resolutionX, 2560);
    EXPECT_EQ(set.settings.resolutionY, 1080);
    EXPECT_EQ(set.settings.keepUiAspectRatio, 0);
    EXPECT_EQ(set.settings.windowed, 1);
    EXPECT_EQ(set.settings.baseFov, 75);
    EXPECT_EQ(set.settings.chainHooks, 1);
}

// A disabled plug-in reads nothing after Enabled, so an invalid BaseFOV beside it is never reported.
TEST(ReadSettings, DisabledReadsNothingElse) {
    const Judged run = judge({{L"Enabled", L"0"}, {L"BaseFOV", L"abc"}});
    EXPECT_EQ(run.error, "(none)");
    EXPECT_FALSE(run.settings.enabled);
    EXPECT_EQ(run.keysRead, std::vector<std::wstring>{L"Enabled"});
}

} // namespace
