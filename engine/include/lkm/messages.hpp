// Every sentence with which the image model, recognition and the patch plan
// refuse an input. Fuzz targets and tests use this list to tell the system's
// own refusals from anything else escaping.
#pragma once

#include <cstring>
#include <string>

namespace lkm {

inline constexpr const char* messages[] = {
    // image snapshot and access
    "Not a PE image.",
    "The plugin requires a 32-bit x86 PE image.",
    "Unsupported PE header.",
    "Mapped image size mismatch.",
    "Invalid mapped section.",
    "No engine imports found.",
    "An import name table is required for engine recognition.",
    "Invalid image string.",
    "Unterminated image string.",
    "Invalid engine address.",
    "Invalid image range.",
    "Invalid patch range.",
    "Engine pointer is outside the main module.",
    "Expected an x86 branch.",
    "Empty signature.",
    // recognition
    "Invalid camera aspect.",
    "Unknown root GUI trampoline.",
    "Unknown root GUI initializer.",
    "Inconsistent GUI scales.",
    "Mouse and drawing dimensions disagree.",
    "GUI alignment space is occupied.",
    "GUI reciprocal space is occupied.",
    "Unknown vertical GUI pointer instruction.",
    "Missing vertical GUI references.",
    "CVar constructors disagree.",
    "Invalid default focal parameter.",
    "CVar object is outside writable game data.",
    "Unknown CVar setter body.",
    "Incomplete CVar setter family.",
    "Fullscreen CVar is outside writable game data.",
    // patch plan
    "Resolution is outside supported input limits.",
};

// "Engine recognition failed: <what> has <n> matches." from lkm::one.
inline bool isRecognitionCountMessage(const std::string& text) {
    static const std::string head = "Engine recognition failed: ";
    static const std::string tail = " matches.";
    const std::size_t has = text.rfind(" has ");
    if (text.compare(0, head.size(), head) != 0 || has == std::string::npos || has < head.size())
        return false;
    if (text.size() < tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string count = text.substr(has + 5, text.size() - tail.size() - has - 5);
    if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos) return false;
    return count != "1" && (count == "0" || count[0] != '0');
}

inline bool isSystemMessage(const char* text) {
    for (const char* message : messages)
        if (std::strcmp(message, text) == 0) return true;
    return isRecognitionCountMessage(text);
}

} // namespace lkm
