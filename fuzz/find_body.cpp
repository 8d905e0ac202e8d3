// Image::find with an arbitrary signature text over a fixed small image whose
// sections cover the awkward cases: adjacent executable sections, one nested in
// another, one of 3 bytes, one of 0, one whose raw size exceeds its virtual
// size, one ending at the image end, and data without the execute flag that
// holds the same kind of bytes. The result must equal that of a plain
// restatement of the rules: the text split at white space, "??" a wildcard,
// every other token read like strtol in base 16 into an int, and every position
// of every executable section tested in turn.
#include <cctype>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "bodies.hpp"
#include "check.hpp"
#include "lkm/image.hpp"
#include "pe_builder.hpp"

namespace lkmfuzz {

namespace {

const lkm::Image& smallImage() {
    static const lkm::Image image = [] {
        using namespace lkmtest;
        PeBuilder pe(0x2000);
        pe.section(".text", 0x1000, 0x300, codeSection)
            .section(".text2", 0x1300, 0x100, codeSection) // starts where .text ends
            .section(".data", 0x1400, 0x200, dataSection)
            .section(".inner", 0x1080, 0x40, codeSection) // inside .text: its matches come twice
            .section(".tiny", 0x1600, 3, codeSection)
            .section(".empty", 0x1610, 0, codeSection)
            .section(".raw", 0x1620, 0x10, codeSection, 0x40) // size 0x40
            .section(".idata", 0x1800, 0x400, dataSection)
            .section(".end", 0x1F00, 0x100, codeSection); // ends at the image end
        pe.imports(0x1800, {{"K.dll", {"f"}}});
        // Bytes from a small alphabet, so that short patterns match here and
        // there, with runs in which overlapping matches pile up.
        const uint8_t alphabet[] = {0x00, 0x8B, 0xE8, 0xFF, 0xCC, 0x24, 0x44, 0xAB};
        uint32_t state = 0x2545F491;
        auto fill = [&](uint32_t begin, uint32_t end) {
            for (uint32_t p = begin; p < end; ++p) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                pe.bytes(p, {alphabet[state % 8]});
            }
        };
        fill(0x1000, 0x1600);
        fill(0x1600, 0x1660);
        fill(0x1F00, 0x2000);
        pe.fill(0x1100, 0x20, 0xAB).fill(0x12F8, 0x10, 0xCC).fill(0x1480, 0x10, 0xAB);
        return pe.image();
    }();
    return image;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

enum class Token { value, invalid, outOfRange };

// strtol(word, ..., 16) taken to an int as std::stoi does: an optional sign, an
// optional 0x before a hexadecimal digit, then hexadecimal digits; the text
// ends at its first zero byte.
Token readToken(const std::string& word, int& value) {
    const char* s = word.c_str();
    bool negative = false;
    if (*s == '+' || *s == '-') negative = *s++ == '-';
    if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && std::isxdigit(static_cast<unsigned char>(s[2])))
        s += 2;
    uint64_t magnitude = 0;
    const char* digits = s;
    for (; std::isxdigit(static_cast<unsigned char>(*s)); ++s) {
        const int digit = std::isdigit(static_cast<unsigned char>(*s)) ? *s - '0' : (*s | 0x20) - 'a' + 10;
        magnitude = magnitude > (uint64_t(1) << 40) ? magnitude : magnitude * 16 + uint64_t(digit);
    }
    if (s == digits) return Token::invalid;
    const int64_t signedValue = negative ? -int64_t(magnitude) : int64_t(magnitude);
    if (signedValue < INT32_MIN || signedValue > INT32_MAX) return Token::outOfRange;
    value = int(signedValue);
    return Token::value;
}

// The pattern of `text`, or the failure find must report for it.
struct Parsed {
    std::vector<int> pattern;
    enum { ok, empty, invalid, outOfRange } failure = ok;
};

Parsed parse(const std::string& text) {
    Parsed parsed;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && isBlank(text[at])) ++at;
        std::size_t end = at;
        while (end < text.size() && !isBlank(text[end])) ++end;
        if (end == at) break;
        const std::string word = text.substr(at, end - at);
        at = end;
        int value = -1;
        if (word != "??") {
            const Token token = readToken(word, value);
            if (token != Token::value) {
                parsed.failure = token == Token::invalid ? Parsed::invalid : Parsed::outOfRange;
                return parsed;
            }
        }
        parsed.pattern.push_back(value);
    }
    if (parsed.pattern.empty()) parsed.failure = Parsed::empty;
    return parsed;
}

bool matchesAt(const lkm::Image& image, const std::vector<int>& pattern, uint64_t p) {
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] >= 0 && pattern[i] != image.bytes[p + i]) return false;
    return true;
}

std::vector<uint32_t> scan(const lkm::Image& image, const std::vector<int>& pattern) {
    std::vector<uint32_t> found;
    const uint64_t n = pattern.size();
    for (const lkm::Section& s : image.sections) {
        if (!(s.characteristics & lkm::sectionExecute) || s.size < n) continue;
        for (uint64_t p = s.rva; p + n <= uint64_t(s.rva) + s.size; ++p)
            if (matchesAt(image, pattern, p)) found.push_back(uint32_t(p));
    }
    return found;
}

bool inExecutableSection(const lkm::Image& image, uint32_t offset, uint64_t length) {
    for (const lkm::Section& s : image.sections)
        if ((s.characteristics & lkm::sectionExecute) && s.rva <= offset &&
            offset + length <= uint64_t(s.rva) + s.size)
            return true;
    return false;
}

} // namespace

int find(const uint8_t* data, std::size_t size) {
    const lkm::Image& image = smallImage();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Parsed expected = parse(text);

    std::vector<uint32_t> found;
    try {
        found = image.find(text);
    } catch (const std::invalid_argument& error) {
        LKMFUZZ_CHECK(expected.failure == Parsed::invalid && std::string(error.what()) == "stoi",
                      "std::invalid_argument \"stoi\" only for a token without a hexadecimal number");
        return 0;
    } catch (const std::out_of_range& error) {
        LKMFUZZ_CHECK(expected.failure == Parsed::outOfRange && std::string(error.what()) == "stoi",
                      "std::out_of_range \"stoi\" only for a token beyond the int range");
        return 0;
    } catch (const std::exception& error) {
        LKMFUZZ_CHECK(expected.failure == Parsed::empty && isRefusal(error) &&
                          std::string(error.what()) == "Empty signature.",
                      "\"Empty signature.\" only for a text without tokens, not " + describe(error));
        return 0;
    }
    LKMFUZZ_CHECK(expected.failure == Parsed::ok, "find refuses every text the rules refuse");
    for (uint32_t offset : found) {
        LKMFUZZ_CHECK(inExecutableSection(image, offset, expected.pattern.size()),
                      "every match lies inside one executable section");
        LKMFUZZ_CHECK(matchesAt(image, expected.pattern, offset), "every match matches the pattern");
    }
    LKMFUZZ_CHECK(found == scan(image, expected.pattern),
                  "find reports what the plain scan reports, in order");
    return 0;
}

} // namespace lkmfuzz
