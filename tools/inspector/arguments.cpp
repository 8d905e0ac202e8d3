#include "arguments.hpp"

#include <algorithm>

#include "lkm/plan.hpp"

namespace lkm::inspector {

namespace {

// Digits only, at most 9 of them, so that the value fits in an int.
bool number(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoi(text);
    return true;
}

// The plan's own limits, as "WMIN..WMAX x HMIN..HMAX".
std::string resolutionLimits() {
    return std::to_string(lkm::minResolutionX) + ".." + std::to_string(lkm::maxResolutionX) + " x " +
           std::to_string(lkm::minResolutionY) + ".." + std::to_string(lkm::maxResolutionY);
}

std::pair<int, int> resolution(const std::string& text) {
    const std::size_t x = text.find('x');
    int width = 0, height = 0;
    if (x == std::string::npos || !number(text.substr(0, x), width) || !number(text.substr(x + 1), height))
        throw UsageError("--resolution takes WIDTHxHEIGHT, such as 2560x1080, not \"" + text + "\"");
    if (!lkm::supportedResolution(width, height))
        throw UsageError("resolution " + text + " is outside the supported " + resolutionLimits());
    return {width, height};
}

} // namespace

const std::string& usageText() {
    static const std::string text =
        "usage: lkm-inspect GAME.exe [--resolution WxH [--keep-ui 0|1]] [--json]\n"
        "       lkm-inspect GAME.exe --restore-stock OUT.exe [--json]\n"
        "       lkm-inspect --help\n"
        "  --resolution WxH         also list every change the plug-in would make for a\n"
        "                           screen of W x H pixels (" +
        resolutionLimits() +
        ")\n"
        "  --keep-ui 0|1            as the INI's KeepUIAspectRatio: 1 (the default) keeps\n"
        "                           the menu and HUD at 4:3, 0 stretches them\n"
        "  --restore-stock OUT.exe  write a new file OUT.exe: GAME.exe with an earlier\n"
        "                           on-disk patch undone; GAME.exe is never written\n"
        "  --json                   print one JSON object, refusals included\n"
        "Exit status: 0 supported, 1 not recognised, 2 unreadable file or wrong arguments.\n";
    return text;
}

void parseArguments(const std::vector<std::string>& words, Options& options) {
    const auto given = [&](const char* option) {
        return std::find(words.begin(), words.end(), option) != words.end();
    };
    options.json = given("--json");
    // --help wins over anything else on the line.
    if (given("--help") || given("-h")) {
        options.help = true;
        return;
    }
    bool keepUiGiven = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // The option's value: the next word, unless that is an option itself.
        const auto value = [&](const char* what) -> const std::string& {
            if (i + 1 >= words.size() || words[i + 1].compare(0, 2, "--") == 0)
                throw UsageError(word + " needs " + what);
            return words[++i];
        };
        const auto once = [&](bool already) {
            if (already) throw UsageError(word + " is given twice");
        };
        if (word == "--json") {
            continue;
        } else if (word == "--resolution") {
            once(options.resolution.has_value());
            options.resolution = resolution(value("a value WIDTHxHEIGHT"));
        } else if (word == "--keep-ui") {
            once(keepUiGiven);
            const std::string& keep = value("a value 0 or 1");
            if (keep != "0" && keep != "1") throw UsageError("--keep-ui takes 0 or 1, not \"" + keep + "\"");
            options.keepUi = keep == "1";
            keepUiGiven = true;
        } else if (word == "--restore-stock") {
            once(options.restoreTo.has_value());
            options.restoreTo = value("the name of the file to write");
            if (options.restoreTo->empty())
                throw UsageError("--restore-stock needs a file name, not an empty one");
        } else if (word.size() > 1 && word[0] == '-') {
            throw UsageError("unknown option " + word);
        } else if (word.empty()) {
            throw UsageError("an empty file name");
        } else if (!options.path.empty()) {
            throw UsageError("one executable at a time, not " + options.path + " and " + word);
        } else {
            options.path = word;
        }
    }
    if (options.path.empty()) throw UsageError("no executable given");
    if (keepUiGiven && !options.resolution) throw UsageError("--keep-ui needs --resolution");
    if (options.restoreTo && options.resolution)
        throw UsageError("--restore-stock does not take --resolution");
}

} // namespace lkm::inspector
