#include <cmath>
#include <cstdio>
#include <string>

#include "report.hpp"

namespace lkmtool {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (const char character : text) {
        const auto c = static_cast<unsigned char>(character);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += character;
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", c);
            out += escape;
        } else {
            out += character;
        }
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

} // namespace

std::string renderJson(const Report& r) {
    std::string out = "{\n  " + field("file", quoted(r.file)) + ",\n  " +
                      field("supported", r.supported ? "true" : "false");
    if (!r.supported) return out + ",\n  " + field("failure", quoted(r.failure)) + "\n}\n";
    out += ",\n  " + field("aspect", number(r.aspect)) + ",\n  " +
           field("earlierPatch", r.earlierPatch ? "true" : "false") + ",\n  " +
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

} // namespace lkmtool
