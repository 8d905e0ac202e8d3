// A small writer for the game's one JSON report, indented two blanks a level.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lkm::game {

class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();
    // Containers written on one line, with everything inside them.
    JsonWriter& beginInlineObject();
    JsonWriter& beginInlineArray();
    JsonWriter& key(const std::string& name);
    JsonWriter& value(const std::string& text);
    JsonWriter& value(const char* text) { return value(std::string(text)); }
    JsonWriter& value(int64_t number);
    JsonWriter& value(bool flag);
    // A finite float as the shortest text that reads back to the same float;
    // NaN and the infinities, which JSON cannot spell, as null.
    JsonWriter& value(float number);
    JsonWriter& null();
    // {"value": number, "bits": "XXXXXXXX"}: the float and its bit pattern.
    JsonWriter& floatWithBits(float number);
    const std::string& text() const { return out_; }

private:
    void element();
    void open(char bracket, bool inlined);
    void close(char bracket);

    std::string out_;
    std::vector<bool> first_;      // per open container: nothing written into it yet
    size_t inlineFrom_ = SIZE_MAX; // depth of the outermost one-line container
    bool afterKey_ = false;
};

std::string jsonEscape(const std::string& text);
std::string floatBits(float number);

} // namespace lkm::game
