// A small recursive JSON reader: objects, arrays, strings with every escape,
// numbers kept as written, true, false and null; nesting is bounded.
#include "json_value.hpp"

#include <cstdint>
#include <stdexcept>

namespace {

constexpr int maximumDepth = 64;

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : text_(text) {}

    JsonValue document() {
        JsonValue value = read(0);
        skipSpace();
        if (at_ != text_.size()) fail("text after the value");
        return value;
    }

private:
    const std::string& text_;
    size_t at_ = 0;

    [[noreturn]] void fail(const std::string& what) const {
        throw std::runtime_error("Not JSON at byte " + std::to_string(at_) + ": " + what + ".");
    }
    bool atEnd() const { return at_ >= text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[at_]; }
    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) ++at_;
    }
    void expect(char c) {
        skipSpace();
        if (peek() != c) fail(std::string("expected '") + c + "'");
        ++at_;
    }
    bool take(char c) {
        skipSpace();
        if (peek() != c) return false;
        ++at_;
        return true;
    }

    JsonValue read(int depth) {
        if (depth > maximumDepth) fail("nested too deeply");
        skipSpace();
        JsonValue value;
        char c = peek();
        if (c == '{') {
            value.kind = JsonValue::Kind::object;
            readObject(value, depth);
        } else if (c == '[') {
            value.kind = JsonValue::Kind::array;
            readArray(value, depth);
        } else if (c == '"') {
            value.kind = JsonValue::Kind::string;
            value.text = readString();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = JsonValue::Kind::number;
            value.text = readNumber();
        } else {
            readWord(value);
        }
        return value;
    }

    void readObject(JsonValue& value, int depth) {
        ++at_;
        if (take('}')) return;
        do {
            skipSpace();
            if (peek() != '"') fail("expected a member name");
            std::string name = readString();
            expect(':');
            value.set(name, read(depth + 1));
        } while (take(','));
        expect('}');
    }

    void readArray(JsonValue& value, int depth) {
        ++at_;
        if (take(']')) return;
        do value.elements.push_back(read(depth + 1));
        while (take(','));
        expect(']');
    }

    void readWord(JsonValue& value) {
        for (const char* word : {"true", "false", "null"}) {
            if (text_.compare(at_, std::string::traits_type::length(word), word) == 0) {
                value.kind = word[0] == 'n' ? JsonValue::Kind::null : JsonValue::Kind::boolean;
                value.text = word;
                at_ += value.text.size();
                return;
            }
        }
        fail("expected a value");
    }

    std::string readNumber() {
        size_t start = at_;
        if (peek() == '-') ++at_;
        size_t digits = at_;
        while (peek() >= '0' && peek() <= '9') ++at_;
        if (at_ == digits) fail("expected a digit");
        if (peek() == '.') {
            ++at_;
            while (peek() >= '0' && peek() <= '9') ++at_;
        }
        if (peek() == 'e' || peek() == 'E') {
            ++at_;
            if (peek() == '+' || peek() == '-') ++at_;
            while (peek() >= '0' && peek() <= '9') ++at_;
        }
        return text_.substr(start, at_ - start);
    }

    uint32_t readHex4() {
        uint32_t unit = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            char c = peek();
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = uint32_t(c - 'A' + 10);
            else
                fail("expected four hexadecimal digits");
            unit = unit << 4 | digit;
        }
        return unit;
    }

    // \uXXXX, with a surrogate pair for a code point above U+FFFF, as UTF-8.
    void appendEscapedCodePoint(std::string& out) {
        uint32_t point = readHex4();
        if (point >= 0xD800 && point < 0xDC00 && text_.compare(at_, 2, "\\u") == 0) {
            at_ += 2;
            uint32_t low = readHex4();
            if (low < 0xDC00 || low >= 0xE000) fail("expected a low surrogate");
            point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
        }
        if (point < 0x80) {
            out += char(point);
        } else if (point < 0x800) {
            out += char(0xC0 | point >> 6);
            out += char(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            out += char(0xE0 | point >> 12);
            out += char(0x80 | (point >> 6 & 0x3F));
            out += char(0x80 | (point & 0x3F));
        } else {
            out += char(0xF0 | point >> 18);
            out += char(0x80 | (point >> 12 & 0x3F));
            out += char(0x80 | (point >> 6 & 0x3F));
            out += char(0x80 | (point & 0x3F));
        }
    }

    std::string readString() {
        ++at_;
        std::string out;
        for (;;) {
            if (atEnd()) fail("unterminated string");
            char c = text_[at_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (atEnd()) fail("unterminated string");
            char escaped = text_[at_++];
            static const std::string escapes = "\"\\/bfnrt", meanings = "\"\\/\b\f\n\r\t";
            size_t which = escapes.find(escaped);
            if (escaped == 'u') {
                appendEscapedCodePoint(out);
            } else if (which != std::string::npos) {
                out += meanings[which];
            } else {
                --at_;
                fail("unknown escape");
            }
        }
    }
};

} // namespace

const JsonValue* JsonValue::member(const std::string& name) const {
    for (const auto& [key, value] : members)
        if (key == name) return &value;
    return nullptr;
}

void JsonValue::set(const std::string& name, JsonValue value) {
    for (auto& [key, existing] : members) {
        if (key == name) {
            existing = std::move(value);
            return;
        }
    }
    members.emplace_back(name, std::move(value));
}

const char* kindName(JsonValue::Kind kind) {
    switch (kind) {
    case JsonValue::Kind::null:
        return "null";
    case JsonValue::Kind::boolean:
        return "a boolean";
    case JsonValue::Kind::number:
        return "a number";
    case JsonValue::Kind::string:
        return "a string";
    case JsonValue::Kind::array:
        return "an array";
    case JsonValue::Kind::object:
        return "an object";
    }
    return "unknown";
}

JsonValue parseJson(const std::string& text) {
    return JsonReader(text).document();
}
