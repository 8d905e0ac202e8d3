#include "expectations.hpp"

#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace lkm::game::test {

using nlohmann::json;

namespace {

// The value at a dot path, or nullptr.
const json* find(const json& document, const std::string& path) {
    const json* value = &document;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (value->is_object()) {
            auto member = value->find(part);
            value = member == value->end() ? nullptr : &*member;
        } else if (value->is_array() && !part.empty() && part.size() < 9 &&
                   part.find_first_not_of("0123456789") == std::string::npos) {
            size_t index = std::stoul(part);
            value = index < value->size() ? &(*value)[index] : nullptr;
        } else {
            value = nullptr;
        }
        if (value == nullptr || dot == std::string::npos) return value;
        start = dot + 1;
    }
}

// A single value as an expectation writes it: a string's text, a number, true, false or null.
std::string textOf(const json& value) {
    return value.is_string() ? value.get<std::string>() : value.dump();
}

size_t wantedCount(const std::ssub_match& digits) {
    return std::strtoull(digits.str().c_str(), nullptr, 10);
}

std::string notA(const char* kind, const json& value) {
    return std::string("not ") + kind + " (" + value.type_name() + ")";
}

// What differs between the document and one expectation, or "" if it holds.
std::string difference(const json& document, const std::string& line) {
    enum Form { equals, members, within, count, same, forms };
    static const std::regex form[forms] = {
        std::regex("^([^ ]+) = (.*)$"),
        std::regex("^([^ ]+) # ([0-9]+)$"),
        std::regex("^([^ ]+) in ([-0-9.e]+) ([-0-9.e]+)$"),
        std::regex("^([^ ]+) count ([0-9]+) (.*)$"),
        std::regex("^([^ ]+) same ([^ ]+)$"),
    };
    std::smatch m;
    int which = equals;
    while (which < forms && !std::regex_match(line, m, form[which])) ++which;
    if (which == forms) throw std::runtime_error("Cannot read the expectation '" + line + "'.");
    const json* got = find(document, m[1]);
    if (got == nullptr) return "missing";
    switch (which) {
    case equals:
        if (got->is_structured()) return notA("a single value", *got);
        return textOf(*got) == m[2] ? "" : "got " + textOf(*got);
    case members:
        if (!got->is_structured()) return notA("an array or object", *got);
        return got->size() == wantedCount(m[2]) ? "" : "has " + std::to_string(got->size()) + " members";
    case within: {
        if (!got->is_number()) return notA("a number", *got);
        double value = got->get<double>();
        bool inside = value >= std::strtod(m[2].str().c_str(), nullptr) &&
                      value <= std::strtod(m[3].str().c_str(), nullptr);
        return inside ? "" : "got " + textOf(*got);
    }
    case same: {
        const json* other = find(document, m[2]);
        if (other == nullptr) return m[2].str() + " missing";
        if (got->is_structured()) return notA("a single value", *got);
        if (other->is_structured()) return m[2].str() + " " + notA("a single value", *other);
        return textOf(*got) == textOf(*other)
                   ? ""
                   : "got " + textOf(*got) + ", " + m[2].str() + " " + textOf(*other);
    }
    default: {
        if (!got->is_array()) return notA("an array", *got);
        size_t found = 0;
        for (const json& element : *got)
            if (!element.is_structured() && textOf(element) == m[3]) ++found;
        return found == wantedCount(m[2]) ? "" : "found " + std::to_string(found);
    }
    }
}

std::string stripped(const std::string& line) {
    const char* space = " \t\r\n";
    size_t first = line.find_first_not_of(space);
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(space) - first + 1);
}

} // namespace

ExpectationResult checkExpectations(const json& document, const std::vector<std::string>& lines) {
    ExpectationResult result;
    for (const std::string& raw : lines) {
        std::string line = stripped(raw);
        if (line.empty() || line[0] == '#') continue;
        ++result.checked;
        std::string differs = difference(document, line);
        if (!differs.empty()) result.failures.push_back(line + ": " + differs);
    }
    return result;
}

} // namespace lkm::game::test
