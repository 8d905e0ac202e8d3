#include "expectations.hpp"

#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace {

// The value at a dot path, or nullptr.
const JsonValue* find(const JsonValue& document, const std::string& path) {
    const JsonValue* value = &document;
    size_t start = 0;
    for (;;) {
        size_t dot = path.find('.', start);
        std::string part = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (value->kind == JsonValue::Kind::object) {
            value = value->member(part);
        } else if (value->kind == JsonValue::Kind::array && !part.empty() &&
                   part.find_first_not_of("0123456789") == std::string::npos && part.size() < 9) {
            size_t index = std::stoul(part);
            value = index < value->elements.size() ? &value->elements[index] : nullptr;
        } else {
            value = nullptr;
        }
        if (value == nullptr || dot == std::string::npos) return value;
        start = dot + 1;
    }
}

bool isScalar(const JsonValue& value) {
    return value.kind != JsonValue::Kind::array && value.kind != JsonValue::Kind::object;
}

bool hasMembers(const JsonValue& value) {
    return !isScalar(value);
}

size_t memberCount(const JsonValue& value) {
    return value.kind == JsonValue::Kind::array ? value.elements.size() : value.members.size();
}

size_t wantedCount(const std::ssub_match& digits) {
    return std::strtoull(digits.str().c_str(), nullptr, 10);
}

// What differs between the document and one expectation, or "" if it holds.
std::string difference(const JsonValue& document, const std::string& line) {
    static const std::regex equals("^([^ ]+) = (.*)$");
    static const std::regex members("^([^ ]+) # ([0-9]+)$");
    static const std::regex within("^([^ ]+) in ([-0-9.e]+) ([-0-9.e]+)$");
    static const std::regex count("^([^ ]+) count ([0-9]+) (.*)$");
    std::smatch m;
    if (std::regex_match(line, m, equals)) {
        const JsonValue* got = find(document, m[1]);
        if (got == nullptr) return "missing";
        if (!isScalar(*got)) return std::string("not a single value (") + kindName(got->kind) + ")";
        return got->text == m[2] ? "" : "got " + got->text;
    }
    if (std::regex_match(line, m, members)) {
        const JsonValue* got = find(document, m[1]);
        if (got == nullptr) return "missing";
        if (!hasMembers(*got)) return std::string("not an array or object (") + kindName(got->kind) + ")";
        size_t n = memberCount(*got);
        return n == wantedCount(m[2]) ? "" : "has " + std::to_string(n) + " members";
    }
    if (std::regex_match(line, m, within)) {
        const JsonValue* got = find(document, m[1]);
        if (got == nullptr) return "missing";
        if (got->kind != JsonValue::Kind::number)
            return std::string("not a number (") + kindName(got->kind) + ")";
        double value = std::strtod(got->text.c_str(), nullptr);
        bool inside = value >= std::strtod(m[2].str().c_str(), nullptr) &&
                      value <= std::strtod(m[3].str().c_str(), nullptr);
        return inside ? "" : "got " + got->text;
    }
    if (std::regex_match(line, m, count)) {
        const JsonValue* all = find(document, m[1]);
        if (all == nullptr) return "missing";
        if (all->kind != JsonValue::Kind::array)
            return std::string("not an array (") + kindName(all->kind) + ")";
        size_t found = 0;
        for (const JsonValue& element : all->elements)
            if (isScalar(element) && element.text == m[3]) ++found;
        return found == wantedCount(m[2]) ? "" : "found " + std::to_string(found);
    }
    throw std::runtime_error("Cannot read the expectation '" + line + "'.");
}

std::string stripped(const std::string& line) {
    const char* space = " \t\r\n";
    size_t first = line.find_first_not_of(space);
    if (first == std::string::npos) return "";
    return line.substr(first, line.find_last_not_of(space) - first + 1);
}

} // namespace

ExpectationResult checkExpectations(const JsonValue& document, const std::vector<std::string>& lines) {
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
