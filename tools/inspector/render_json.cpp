#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "report.hpp"

namespace lkm::inspector {

namespace {

// The length of the well-formed UTF-8 sequence at text[i], or 0: no overlong
// forms, no surrogates, nothing above U+10FFFF.
std::size_t sequenceLength(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return i + k < text.size() ? uint8_t(text[i + k]) : 0u; };
    const auto follows = [&](std::size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
        return at(k) >= low && at(k) <= high;
    };
    const unsigned lead = at(0);
    if (lead >= 0xC2 && lead <= 0xDF) return follows(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const bool second = lead == 0xE0   ? follows(1, 0xA0)
                            : lead == 0xED ? follows(1, 0x80, 0x9F)
                                           : follows(1);
        return second && follows(2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const bool second = lead == 0xF0   ? follows(1, 0x90)
                            : lead == 0xF4 ? follows(1, 0x80, 0x8F)
                                           : follows(1);
        return second && follows(2) && follows(3) ? 4 : 0;
    }
    return 0;
}

// A JSON string; a byte that is not part of well-formed UTF-8 (a path on a
// system that does not use UTF-8) becomes U+FFFD, so the output always parses.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = uint8_t(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else if (c >= 0x80) {
            const std::size_t length = sequenceLength(text, i);
            out += length ? text.substr(i, length) : "\\uFFFD";
            i += length ? length : 1;
            continue;
        } else {
            out += char(c);
        }
        ++i;
    }
    return out + "\"";
}

// JSON has no NaN or infinity.
std::string number(float value) {
    if (!std::isfinite(value)) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

std::string field(const char* name, const std::string& value) {
    return quoted(name) + ": " + value;
}

std::string places(const std::vector<Place>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Place& p = list[i];
        out += std::string(i ? ",\n    " : "\n    ") + "{" + field("name", quoted(p.name)) + ", " +
               field("address", std::to_string(p.address)) + ", " + field("section", quoted(p.section));
        if (p.value) out += ", " + field("value", number(*p.value));
        if (p.valueField) out += ", " + field("valueField", std::to_string(*p.valueField));
        out += "}";
    }
    return out + (list.empty() ? "]" : "\n  ]");
}

std::string changes(const std::vector<Change>& list) {
    std::string out = "[";
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Change& c = list[i];
        out += std::string(i ? ",\n    " : "\n    ") + "{" + field("address", std::to_string(c.address)) +
               ", " + field("section", quoted(c.section)) + ", " +
               field("fileOffset", c.fileOffset ? std::to_string(*c.fileOffset) : "null") + ", " +
               field("what", quoted(c.what)) + ", " + field("before", quoted(c.before)) + ", " +
               field("after", quoted(c.after)) + "}";
    }
    return out + (list.empty() ? "]" : "\n  ]");
}

// ["d3d9", "dsound"]: the names are the engine's own, plain ASCII.
std::string loaderNamesField(const Report& r) {
    std::string out;
    for (const std::string& name : r.loaderNames) out += (out.empty() ? "" : ", ") + quoted(name);
    return field("loaderNames", "[" + out + "]");
}

// Both facts about an earlier patch.
std::string earlierPatchFields(const Report& r) {
    return field("earlierPatch", r.earlierPatch ? "true" : "false") + ",\n  " +
           field("cameraAspectChanged", r.cameraAspectChanged ? "true" : "false");
}

// What --restore-stock did: the runs it put back and the file it wrote.
std::string restoration(const Report& r) {
    const Restoration& restored = *r.restoration;
    const bool written = !r.normalization.empty();
    return field(
        "restoreStock",
        "{" + field("output", quoted(restored.output)) + ", " + field("written", written ? "true" : "false") +
            ", " + field("checksum", restored.checksum ? std::to_string(*restored.checksum) : "null") + "}");
}

} // namespace

std::string renderJsonObject(const std::vector<std::pair<std::string, std::string>>& textFields) {
    std::string out = "{";
    for (std::size_t i = 0; i < textFields.size(); ++i)
        out += (i ? ",\n  " : "\n  ") + field(textFields[i].first.c_str(), quoted(textFields[i].second));
    return out + "\n}\n";
}

std::string renderJson(const Report& r) {
    std::string out = "{\n  " + field("file", quoted(r.file)) + ",\n  " +
                      field("supported", r.supported ? "true" : "false");
    if (!r.supported)
        return out + ",\n  " + field("failure", quoted(r.failure)) + ",\n  " + loaderNamesField(r) + "\n}\n";
    out += ",\n  " + loaderNamesField(r);
    if (r.restoration) {
        return out + ",\n  " + field("aspect", number(r.aspect)) + ",\n  " + earlierPatchFields(r) + ",\n  " +
               restoration(r) + ",\n  " + field("normalization", changes(r.normalization)) + "\n}\n";
    }
    out += ",\n  " + field("aspect", number(r.aspect)) + ",\n  " + earlierPatchFields(r) + ",\n  " +
           field("normalization", changes(r.normalization)) + ",\n  " + field("places", places(r.places)) +
           ",\n  " + field("cvars", places(r.cvars)) + ",\n  " +
           field("defaultFocal", std::to_string(r.defaultFocal)) + ",\n  " +
           field("setters", places(r.setters));
    if (r.planned) {
        out += ",\n  " +
               field("plan", "{" + field("resolutionX", std::to_string(r.resolutionX)) + ", " +
                                 field("resolutionY", std::to_string(r.resolutionY)) + ", " +
                                 field("keepUiAspect", r.keepUi ? "true" : "false") + "}") +
               ",\n  " + field("patches", changes(r.patches)) + ",\n  " +
               field("redirections", changes(r.redirections));
    }
    return out + "\n}\n";
}

} // namespace lkm::inspector
