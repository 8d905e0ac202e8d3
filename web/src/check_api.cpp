// What the page's worker calls: the inspector's JSON outcome for the worker's
// current source, its stock copy, and the INI for the player's values. Every
// answer is UTF-8 text that stays valid until the next call.
#include <emscripten.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "arguments.hpp"
#include "command.hpp"
#include "ini_file.hpp"
#include "js_source.hpp"
#include "options.hpp"
#include "report.hpp"
#include "settings.hpp"

namespace {

std::string answer;
std::vector<uint8_t> restored;

// The options of `lkm-inspect NAME WORDS... --json`; false with the refusal in
// `answer` when the command would refuse the words.
bool commandOptions(const char* name, std::vector<std::string> words, lkm::inspector::Options& options) {
    words.insert(words.begin(), "GAME.exe"); // the chosen file: its name may start like an option
    words.push_back("--json");
    try {
        lkm::inspector::parseArguments(words, options);
    } catch (const lkm::inspector::UsageError& error) {
        options.json = true;
        answer = lkm::inspector::usageRefused(options, error).output;
        return false;
    }
    options.path = name;
    return true;
}

// A JavaScript string's UTF-16 units, as the profile call hands them on Windows; null is absent.
std::wstring optionText(const char16_t* units) {
    if (units == nullptr) return lkm::plugin::missingValue;
    std::wstring text;
    for (; *units != 0; ++units) text += wchar_t(*units);
    return text;
}

} // namespace

extern "C" {

// `lkm-inspect NAME [--resolution RESOLUTION] [--keep-ui KEEP_UI] --json` on the
// worker's source; a null word leaves its option out.
EMSCRIPTEN_KEEPALIVE const char* lkm_inspect(const char* name, double size, int folder,
                                             const char* resolution, const char* keepUi) {
    std::vector<std::string> words;
    if (resolution != nullptr) words.insert(words.end(), {"--resolution", resolution});
    if (keepUi != nullptr) words.insert(words.end(), {"--keep-ui", keepUi});
    lkm::inspector::Options options;
    if (!commandOptions(name, words, options)) return answer.c_str();
    const lkm::web::JsSource source(size, folder != 0);
    answer =
        lkm::inspector::inspectionOutcome(options, source, [](const lkm::inspector::Restoration&) {}).output;
    return answer.c_str();
}

// `lkm-inspect NAME --restore-stock OUTPUT --json`; the stock copy it would
// write is kept for lkm_restored_data.
EMSCRIPTEN_KEEPALIVE const char* lkm_restore(const char* name, double size, int folder, const char* output) {
    restored.clear();
    lkm::inspector::Options options;
    if (!commandOptions(name, {"--restore-stock", output}, options)) return answer.c_str();
    const lkm::web::JsSource source(size, folder != 0);
    answer = lkm::inspector::inspectionOutcome(
                 options, source,
                 [](const lkm::inspector::Restoration& restoration) { restored = restoration.stockFile; })
                 .output;
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* lkm_restored_data() {
    return restored.data();
}

EMSCRIPTEN_KEEPALIVE double lkm_restored_size() {
    return double(restored.size());
}

// The INI's keys in reading order, a JSON array of {"name", "default",
// "lowest", "highest"}: the order of lkm_ini_for's texts.
EMSCRIPTEN_KEEPALIVE const char* lkm_ini_keys() {
    answer = "[";
    for (const lkm::plugin::IniKey& key : lkm::plugin::ini::keys) {
        if (answer.size() > 1) answer += ",";
        answer +=
            "{\"name\":\"" + lkm::plugin::nameOf(key) + "\",\"default\":" + std::to_string(key.defaultValue) +
            ",\"lowest\":" + std::to_string(key.lowest) + ",\"highest\":" + std::to_string(key.highest) + "}";
    }
    answer += "]";
    return answer.c_str();
}

// {"text": the filled INI} or {"error": the plug-in's sentence}, for the keys'
// texts in the order of lkm_ini_keys (null where a key is left out).
EMSCRIPTEN_KEEPALIVE const char* lkm_ini_for(const char16_t* text0, const char16_t* text1,
                                             const char16_t* text2, const char16_t* text3,
                                             const char16_t* text4, const char16_t* text5,
                                             const char16_t* text6) {
    const char16_t* const texts[] = {text0, text1, text2, text3, text4, text5, text6};
    static_assert(std::size(texts) == lkm::plugin::ini::keyCount, "one text for each key");
    try {
        const lkm::plugin::Settings settings =
            lkm::plugin::readSettings([&](const wchar_t* key, int defaultValue) {
                for (std::size_t k = 0; k < lkm::plugin::ini::keyCount; ++k) {
                    if (std::wstring(key) != lkm::plugin::ini::keys[k].name) continue;
                    const std::wstring value = optionText(texts[k]);
                    return lkm::plugin::parseOptionValue(value, unsigned(value.size()), defaultValue);
                }
                return defaultValue;
            });
        if (settings.enabled && !lkm::plugin::automaticResolution(settings.resolutionX, settings.resolutionY))
            lkm::plugin::requireResolution(settings.resolutionX, settings.resolutionY);
        answer =
            lkm::inspector::renderJsonObject({{"text", lkm::web::filledIni(lkm::web::defaultIni, settings)}});
    } catch (const std::exception& error) {
        answer = lkm::inspector::renderJsonObject({{"error", error.what()}});
    }
    return answer.c_str();
}

} // extern "C"
