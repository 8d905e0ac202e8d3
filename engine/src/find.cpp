// Signature search over the executable sections of the image.
//
// The result is that of testing every position of every executable section in
// turn. To get there quickly on tens of megabytes of code, the scan jumps with
// memchr from one occurrence of the pattern's rarest literal byte to the next
// and verifies the whole pattern only around those.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lkm/image.hpp"

namespace lkm {

namespace {

constexpr int wildcard = -1;

// The bytes most frequent in 32-bit x86 game code, most frequent first: zero
// and all-ones immediates, ModRM/SIB bytes of stack and frame accesses, common
// opcodes and prefixes. A fixed guess; any byte not listed counts as rarer than
// all of them.
constexpr uint8_t commonBytes[] = {
    0x00, 0xFF, 0x8B, 0x24, 0x89, 0x44, 0x04, 0xE8, 0x08, 0x45, 0x83, 0x0C, 0x4C, 0x10,
    0xC4, 0x01, 0x50, 0x85, 0x74, 0x8D, 0x75, 0x0F, 0xC0, 0x14, 0x56, 0x6A, 0x68, 0xA1,
    0xD9, 0xF3, 0x64, 0x33, 0x5E, 0xC3, 0x55, 0xCC, 0x02, 0x40, 0x18, 0xEC, 0x4D, 0x1C,
    0x57, 0x46, 0x03, 0x06, 0x20, 0xE9, 0xEB, 0x3B, 0xC7, 0x80, 0x84, 0x51, 0x53, 0x5D,
    0x5F, 0x90, 0xF8, 0xFC, 0x8A, 0x88, 0x54, 0x0D, 0x05, 0xD8, 0x48, 0xB9, 0x52,
};

// Lower is rarer.
std::size_t commonness(uint8_t byte) {
    constexpr std::size_t count = sizeof commonBytes;
    for (std::size_t i = 0; i < count; ++i)
        if (commonBytes[i] == byte) return count - i;
    return 0;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The value std::stoi(word, nullptr, 16) gives, with its exceptions and their
// text, without the stream and locale machinery: an optional sign, an optional
// 0x before a hexadecimal digit, then hexadecimal digits up to the first other
// character (a zero byte included); the value must fit an int.
int readHex(std::string_view word) {
    std::size_t at = 0;
    bool negative = false;
    if (at < word.size() && (word[at] == '+' || word[at] == '-')) negative = word[at++] == '-';
    if (word.size() - at >= 3 && word[at] == '0' && (word[at + 1] == 'x' || word[at + 1] == 'X') &&
        hexDigit(word[at + 2]) >= 0)
        at += 2;
    constexpr uint64_t beyondInt = uint64_t(1) << 32; // saturates, far above either limit
    const std::size_t digits = at;
    uint64_t magnitude = 0;
    for (int digit; at < word.size() && (digit = hexDigit(word[at])) >= 0; ++at)
        magnitude = std::min(magnitude * 16 + uint64_t(digit), beyondInt);
    if (at == digits) throw std::invalid_argument("stoi");
    if (magnitude > (negative ? uint64_t(1) << 31 : (uint64_t(1) << 31) - 1)) throw std::out_of_range("stoi");
    return int(negative ? -int64_t(magnitude) : int64_t(magnitude));
}

// Blank-separated words, "??" a wildcard, every other word a hexadecimal value.
std::vector<int> parse(std::string_view signature) {
    std::vector<int> pattern;
    std::size_t at = 0;
    for (;;) {
        while (at < signature.size() && isBlank(signature[at])) ++at;
        if (at == signature.size()) break;
        const std::size_t begin = at;
        while (at < signature.size() && !isBlank(signature[at])) ++at;
        const std::string_view word = signature.substr(begin, at - begin);
        pattern.push_back(word == "??" ? wildcard : readHex(word));
    }
    require(!pattern.empty(), "Empty signature.");
    return pattern;
}

bool matches(const std::vector<int>& pattern, const uint8_t* at) {
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] >= 0 && pattern[i] != at[i]) return false;
    return true;
}

} // namespace

std::vector<uint32_t> Image::find(const std::string& signature) const {
    const std::vector<int> pattern = parse(signature);
    const uint32_t n = uint32_t(pattern.size());

    // Anchor on the rarest literal. A negative element matches any byte; a value
    // above 0xFF matches none, so such a pattern occurs nowhere.
    std::size_t anchor = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (pattern[i] > 0xFF) return {};
        if (pattern[i] >= 0 &&
            (anchor == n || commonness(uint8_t(pattern[i])) < commonness(uint8_t(pattern[anchor]))))
            anchor = i;
    }

    std::vector<uint32_t> found;
    for (const Section& s : sections) {
        if (!(s.characteristics & sectionExecute)) continue;
        if (s.size < n || uint32_t(s.rva + s.size - n) < s.rva) continue;
        if (uint64_t(s.rva) + s.size > bytes.size()) continue; // never for a validated image
        const uint8_t* data = bytes.data();
        const uint32_t last = s.rva + s.size - n; // last position a match may start at

        if (anchor == n) { // only wildcards: every position matches
            for (uint64_t p = s.rva; p <= last; ++p) found.push_back(uint32_t(p));
            continue;
        }
        const uint8_t* cursor = data + s.rva + anchor;
        const uint8_t* end = data + last + anchor + 1;
        while (cursor < end) {
            const void* hit = std::memchr(cursor, pattern[anchor], std::size_t(end - cursor));
            if (!hit) break;
            const uint8_t* start = static_cast<const uint8_t*>(hit) - anchor;
            if (matches(pattern, start)) found.push_back(uint32_t(start - data));
            cursor = static_cast<const uint8_t*>(hit) + 1;
        }
    }
    return found;
}

} // namespace lkm
