// A JSON document as the game's report holds it: enough to look a value up by
// its path and to compare it with an expectation's text.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct JsonValue {
    enum class Kind { null, boolean, number, string, array, object };
    Kind kind = Kind::null;
    // A string's decoded text, a number as written, "true", "false" or "null".
    std::string text;
    std::vector<JsonValue> elements;                        // an array's
    std::vector<std::pair<std::string, JsonValue>> members; // an object's, in order

    // The member `name`, or nullptr.
    const JsonValue* member(const std::string& name) const;
    // Sets the member `name`, replacing one of that name: names stay unique.
    void set(const std::string& name, JsonValue value);
};

const char* kindName(JsonValue::Kind kind);

// Reads one JSON value that fills `text` but for white space; throws
// std::runtime_error saying where the text is not JSON.
JsonValue parseJson(const std::string& text);
