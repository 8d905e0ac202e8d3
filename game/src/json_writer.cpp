#include "json_writer.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lkm::game {

std::string jsonEscape(const std::string& text) {
    std::string out = "\"";
    for (const char character : text) {
        const auto c = static_cast<unsigned char>(character);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string floatBits(float number) {
    uint32_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", unsigned(bits));
    return buffer;
}

void JsonWriter::element() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (first_.empty()) return;
    if (first_.size() > inlineFrom_) {
        if (!first_.back()) out_ += ", ";
    } else {
        if (!first_.back()) out_ += ",";
        out_ += "\n" + std::string(2 * first_.size(), ' ');
    }
    first_.back() = false;
}

void JsonWriter::open(char bracket, bool inlined) {
    element();
    out_ += bracket;
    first_.push_back(true);
    if (inlined && inlineFrom_ == SIZE_MAX) inlineFrom_ = first_.size() - 1;
}

void JsonWriter::close(char bracket) {
    const bool empty = first_.back();
    first_.pop_back();
    if (first_.size() == inlineFrom_) {
        inlineFrom_ = SIZE_MAX;
    } else if (!empty && first_.size() < inlineFrom_) {
        out_ += "\n" + std::string(2 * first_.size(), ' ');
    }
    out_ += bracket;
    if (first_.empty()) out_ += "\n";
}

JsonWriter& JsonWriter::beginObject() {
    open('{', false);
    return *this;
}
JsonWriter& JsonWriter::beginInlineObject() {
    open('{', true);
    return *this;
}
JsonWriter& JsonWriter::beginInlineArray() {
    open('[', true);
    return *this;
}
JsonWriter& JsonWriter::endObject() {
    close('}');
    return *this;
}
JsonWriter& JsonWriter::beginArray() {
    open('[', false);
    return *this;
}
JsonWriter& JsonWriter::endArray() {
    close(']');
    return *this;
}

JsonWriter& JsonWriter::key(const std::string& name) {
    element();
    out_ += jsonEscape(name) + ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::value(const std::string& text) {
    element();
    out_ += jsonEscape(text);
    return *this;
}

JsonWriter& JsonWriter::value(int64_t number) {
    element();
    out_ += std::to_string(number);
    return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
    element();
    out_ += flag ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::value(float number) {
    if (!std::isfinite(number)) return null();
    element();
    char buffer[32];
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, double(number));
        if (std::strtof(buffer, nullptr) == number) break;
    }
    out_ += buffer;
    return *this;
}

JsonWriter& JsonWriter::null() {
    element();
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::floatWithBits(float number) {
    beginInlineObject();
    key("value").value(number);
    key("bits").value(floatBits(number));
    return endObject();
}

} // namespace lkm::game
