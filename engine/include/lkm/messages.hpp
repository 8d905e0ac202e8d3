// Every sentence with which the image model, recognition and the patch plan
// refuse an input, each written once: the code that refuses names it here, and
// fuzz targets and tests use the list lkm::messages to tell the system's own
// refusals from anything else escaping.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>

namespace lkm {

namespace message {

// image snapshot and access
inline constexpr const char notPeImage[] = "Not a PE image.";
inline constexpr const char notX86Image[] = "The plugin requires a 32-bit x86 PE image.";
inline constexpr const char unsupportedPeHeader[] = "Unsupported PE header.";
inline constexpr const char imageSizeMismatch[] = "Mapped image size mismatch.";
inline constexpr const char invalidMappedSection[] = "Invalid mapped section.";
inline constexpr const char noEngineImports[] = "No engine imports found.";
inline constexpr const char nameTableRequired[] = "An import name table is required for engine recognition.";
inline constexpr const char invalidImageString[] = "Invalid image string.";
inline constexpr const char unterminatedImageString[] = "Unterminated image string.";
inline constexpr const char invalidEngineAddress[] = "Invalid engine address.";
inline constexpr const char invalidImageRange[] = "Invalid image range.";
inline constexpr const char invalidPatchRange[] = "Invalid patch range.";
inline constexpr const char pointerOutsideModule[] = "Engine pointer is outside the main module.";
inline constexpr const char expectedBranch[] = "Expected an x86 branch.";
inline constexpr const char emptySignature[] = "Empty signature.";
// recognition
inline constexpr const char invalidCameraAspect[] = "Invalid camera aspect.";
inline constexpr const char unknownRootTrampoline[] = "Unknown root GUI trampoline.";
inline constexpr const char unknownRootInitializer[] = "Unknown root GUI initializer.";
inline constexpr const char inconsistentGuiScales[] = "Inconsistent GUI scales.";
inline constexpr const char mouseDimensionsDisagree[] = "Mouse and drawing dimensions disagree.";
inline constexpr const char alignmentSpaceOccupied[] = "GUI alignment space is occupied.";
inline constexpr const char reciprocalSpaceOccupied[] = "GUI reciprocal space is occupied.";
inline constexpr const char unknownVerticalReference[] = "Unknown vertical GUI pointer instruction.";
inline constexpr const char missingVerticalReferences[] = "Missing vertical GUI references.";
inline constexpr const char cvarConstructorsDisagree[] = "CVar constructors disagree.";
inline constexpr const char invalidDefaultFocal[] = "Invalid default focal parameter.";
inline constexpr const char cvarOutsideData[] = "CVar object is outside writable game data.";
inline constexpr const char unknownSetterBody[] = "Unknown CVar setter body.";
inline constexpr const char incompleteSetterFamily[] = "Incomplete CVar setter family.";
inline constexpr const char fullscreenCvarOutsideData[] = "Fullscreen CVar is outside writable game data.";
// patch plan
inline constexpr const char resolutionOutsideLimits[] = "Resolution is outside supported input limits.";

// "Engine recognition failed: <what> has <n> matches." (lkm::one), in its parts.
inline constexpr const char recognitionFailed[] = "Engine recognition failed: ";
inline constexpr const char recognitionHas[] = " has ";
inline constexpr const char recognitionMatches[] = " matches.";

} // namespace message

inline constexpr const char* messages[] = {
    message::notPeImage,
    message::notX86Image,
    message::unsupportedPeHeader,
    message::imageSizeMismatch,
    message::invalidMappedSection,
    message::noEngineImports,
    message::nameTableRequired,
    message::invalidImageString,
    message::unterminatedImageString,
    message::invalidEngineAddress,
    message::invalidImageRange,
    message::invalidPatchRange,
    message::pointerOutsideModule,
    message::expectedBranch,
    message::emptySignature,
    message::invalidCameraAspect,
    message::unknownRootTrampoline,
    message::unknownRootInitializer,
    message::inconsistentGuiScales,
    message::mouseDimensionsDisagree,
    message::alignmentSpaceOccupied,
    message::reciprocalSpaceOccupied,
    message::unknownVerticalReference,
    message::missingVerticalReferences,
    message::cvarConstructorsDisagree,
    message::invalidDefaultFocal,
    message::cvarOutsideData,
    message::unknownSetterBody,
    message::incompleteSetterFamily,
    message::fullscreenCvarOutsideData,
    message::resolutionOutsideLimits,
};

// The refusal of a recognition step that found `count` candidates, not one.
inline std::string recognitionCountMessage(const char* what, std::size_t count) {
    return message::recognitionFailed + std::string(what) + message::recognitionHas + std::to_string(count) +
           message::recognitionMatches;
}

// Whether `text` is a recognitionCountMessage: any <what>, a count other than 1
// written without leading zeros.
inline bool isRecognitionCountMessage(const std::string& text) {
    static const std::string head = message::recognitionFailed;
    static const std::string has = message::recognitionHas;
    static const std::string tail = message::recognitionMatches;
    const std::size_t at = text.rfind(has);
    if (text.compare(0, head.size(), head) != 0 || at == std::string::npos || at < head.size()) return false;
    if (text.size() < tail.size() || text.compare(text.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::size_t from = at + has.size();
    if (text.size() - tail.size() < from) return false;
    const std::string count = text.substr(from, text.size() - tail.size() - from);
    if (count.empty() || count.find_first_not_of("0123456789") != std::string::npos) return false;
    return count != "1" && (count == "0" || count[0] != '0');
}

inline bool isSystemMessage(const char* text) {
    for (const char* sentence : messages)
        if (std::strcmp(sentence, text) == 0) return true;
    return isRecognitionCountMessage(text);
}

} // namespace lkm
