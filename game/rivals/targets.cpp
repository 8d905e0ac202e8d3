#include "targets.hpp"

#include <algorithm>
#include <stdexcept>

#include "lkm/signatures.hpp"

namespace lkm::game::rival {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool matchesAt(const uint8_t* code, const Pattern& wanted) {
    for (std::size_t i = 0; i < wanted.size(); ++i)
        if (wanted[i] != anyByte && wanted[i] != code[i]) return false;
    return true;
}

// The sentence when `found` is empty, else its first place.
Place first(const std::vector<Place>& found, const char* sentence) {
    if (found.empty()) throw std::runtime_error(sentence);
    return found.front();
}

// The float bits at `at`, lowest byte first; the caller has bounded the four bytes.
uint32_t bitsAt(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

} // namespace

Pattern pattern(std::string_view text) {
    Pattern result;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        if (text.size() - i < 2 || (i + 2 < text.size() && text[i + 2] != ' '))
            throw std::runtime_error("Bad byte pattern.");
        const int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
        if (text[i] == '?' && text[i + 1] == '?')
            result.push_back(anyByte);
        else if (high >= 0 && low >= 0)
            result.push_back(high * 16 + low);
        else
            throw std::runtime_error("Bad byte pattern.");
        i += 2;
    }
    if (result.empty()) throw std::runtime_error("Bad byte pattern.");
    return result;
}

std::vector<Place> matches(const std::vector<CodeRange>& ranges, const Pattern& wanted) {
    std::vector<Place> found;
    for (const CodeRange& range : ranges) {
        if (range.size < wanted.size()) continue;
        for (std::size_t at = 0; at <= range.size - wanted.size(); ++at)
            if (matchesAt(range.bytes + at, wanted)) found.push_back({range.bytes + at, range.size - at});
    }
    return found;
}

Place firstSetter(const std::vector<CodeRange>& ranges, const cvar::SetterFrame& frame) {
    Pattern wanted = pattern(signature::exceptionPrologue.text);
    std::fill_n(wanted.begin(), cvar::setterPrologue.size(), anyByte); // the first instruction
    wanted.insert(wanted.end(), frame.code.begin(), frame.code.begin() + frame.length);
    wanted.insert(wanted.end(), cvar::setterBody.begin(), cvar::setterBody.end());
    return first(matches(ranges, wanted), "No CVar setter with the chosen frame.");
}

Place firstForwardConversion(const std::vector<CodeRange>& ranges) {
    return first(matches(ranges, pattern(signature::forwardConversion.text)), "No GUI forward conversion.");
}

Place cameraAspectOperand(const std::vector<CodeRange>& ranges, uint32_t aspect) {
    std::vector<Place> pushing;
    for (const Place& site : matches(ranges, pattern(signature::cameraProjection.text))) {
        // The 43 bytes of a match hold the operand's four.
        const Place operand{site.at + signature::cameraProjection.aspect,
                            site.available - signature::cameraProjection.aspect};
        if (bitsAt(operand.at) == aspect) pushing.push_back(operand);
    }
    if (pushing.size() != 1)
        throw std::runtime_error("Not exactly one camera projection pushes the aspect to replace.");
    return pushing.front();
}

} // namespace lkm::game::rival
