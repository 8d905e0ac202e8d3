// Signature search over the executable sections of the image.
//
// The result is that of testing every position of every executable section in
// turn. To get there quickly on tens of megabytes of code, the scan looks for
// two literal bytes of the pattern at once (the rarest and, at its distance,
// a second one) sixteen positions at a time where the processor has SSE2, and
// otherwise jumps with memchr from one occurrence of the rarest literal to the
// next; the whole pattern is verified only where they match. A WebAssembly
// build with SIMD takes the same vector path: its SSE2 intrinsics map one to
// one onto wasm SIMD instructions. Several signatures are searched together,
// a cache-sized chunk of code at a time, so that a pass over the code reads it
// from memory only once. The code is read where it lies; only a chunk that
// reaches an unreadable page (which reads as zeros) is copied first.
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__) || defined(__wasm_simd128__))
#include <emmintrin.h>
#define LKM_FIND_SSE2 1
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/messages.hpp"

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
    require(!pattern.empty(), message::emptySignature);
    return pattern;
}

bool matches(const std::vector<int>& pattern, const uint8_t* at) {
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] >= 0 && pattern[i] != at[i]) return false;
    return true;
}

// The two literals the scan looks for: `first` is the rarest, `second` the
// rarest other literal (the same one when the pattern has just one literal).
struct Anchors {
    std::size_t first, second;
};

// Every start position in [from, last] of `data` where the pattern matches, in
// ascending order, looked for through the literal at `anchor`; the pattern's
// bytes from `last` on lie inside `data`. A position is reported as the image
// offset `origin` plus its index in `data`.
void scanWithMemchr(const std::vector<int>& pattern, const uint8_t* data, uint64_t from, uint64_t last,
                    std::size_t anchor, std::vector<uint32_t>& found, uint64_t origin) {
    const uint8_t* cursor = data + from + anchor;
    const uint8_t* end = data + last + anchor + 1;
    while (cursor < end) {
        const void* hit = std::memchr(cursor, pattern[anchor], std::size_t(end - cursor));
        if (!hit) break;
        const uint8_t* start = static_cast<const uint8_t*>(hit) - anchor;
        if (matches(pattern, start)) found.push_back(uint32_t(origin + uint64_t(start - data)));
        cursor = static_cast<const uint8_t*>(hit) + 1;
    }
}

#ifdef LKM_FIND_SSE2
#ifdef __wasm__
#define LKM_SSE2
#else
#define LKM_SSE2 __attribute__((target("sse2")))
#endif
// A 32-bit Windows thread may enter with a stack aligned to 4 bytes only; the
// scan realigns it for the 16-byte vector spills.
#ifdef __i386__
#define LKM_SSE2_ENTRY LKM_SSE2 __attribute__((force_align_arg_pointer))
#else
#define LKM_SSE2_ENTRY LKM_SSE2
#endif

// The start positions at..at + 15 whose literals at `a` equal `first` and `second`, as a byte mask.
LKM_SSE2 inline __m128i pairsAt(const uint8_t* at, Anchors a, __m128i first, __m128i second) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + a.first));
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + a.second));
    return _mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, second));
}

void verify(const std::vector<int>& pattern, const uint8_t* data, const uint8_t* at, unsigned mask,
            std::vector<uint32_t>& found, uint64_t origin) {
    for (; mask != 0; mask &= mask - 1) {
        const uint8_t* start = at + __builtin_ctz(mask);
        if (matches(pattern, start)) found.push_back(uint32_t(origin + uint64_t(start - data)));
    }
}

// The same as scanWithMemchr through the literals at `a.first` and `a.second`,
// 64 and then 16 positions at a time while every load stays before last + n.
// Pointers, not 64-bit positions, step through the code: on a 32-bit processor
// that keeps the loop in registers.
LKM_SSE2_ENTRY void scanWithSse2(const std::vector<int>& pattern, const uint8_t* data, uint64_t from,
                                 uint64_t last, Anchors a, std::vector<uint32_t>& found, uint64_t origin) {
    const __m128i first = _mm_set1_epi8(static_cast<char>(pattern[a.first]));
    const __m128i second = _mm_set1_epi8(static_cast<char>(pattern[a.second]));
    // A block of 16 starts at p loads up to p + 15 + max(a.first, a.second) <= last + n - 1,
    // which holds whenever p + 15 <= last since both anchors lie inside the pattern.
    const uint8_t* at = data + from;
    const uint8_t* const end = data + last + 1; // past the last start position
    while (end - at >= 64) {                    // nearly every block of 64 holds no pair at all
        const __m128i m0 = pairsAt(at, a, first, second), m1 = pairsAt(at + 16, a, first, second);
        const __m128i m2 = pairsAt(at + 32, a, first, second), m3 = pairsAt(at + 48, a, first, second);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3))) != 0) {
            verify(pattern, data, at, unsigned(_mm_movemask_epi8(m0)), found, origin);
            verify(pattern, data, at + 16, unsigned(_mm_movemask_epi8(m1)), found, origin);
            verify(pattern, data, at + 32, unsigned(_mm_movemask_epi8(m2)), found, origin);
            verify(pattern, data, at + 48, unsigned(_mm_movemask_epi8(m3)), found, origin);
        }
        at += 64;
    }
    for (; end - at >= 16; at += 16)
        verify(pattern, data, at, unsigned(_mm_movemask_epi8(pairsAt(at, a, first, second))), found, origin);
    for (; at < end; ++at)
        if (matches(pattern, at)) found.push_back(uint32_t(origin + uint64_t(at - data)));
}

bool haveSse2() {
#ifdef __SSE2__
    return true;
#else
    __builtin_cpu_init();
    return __builtin_cpu_supports("sse2");
#endif
}
#endif

// A parsed signature and the two literals its scan looks for.
struct Search {
    std::vector<int> pattern;
    Anchors anchors{0, 0};
    bool impossible = false;    // a value above 0xFF, which matches no byte
    bool onlyWildcards = false; // every position matches
};

// Anchors on the rarest literal, then on the rarest other one. A negative
// element matches any byte; a value above 0xFF matches none, so such a pattern
// occurs nowhere.
Search prepare(std::string_view signature) {
    Search search;
    search.pattern = parse(signature);
    const std::vector<int>& pattern = search.pattern;
    const std::size_t n = pattern.size();
    search.impossible =
        std::any_of(pattern.begin(), pattern.end(), [](int element) { return element > 0xFF; });
    if (search.impossible) return search;
    std::size_t anchor = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (pattern[i] >= 0 &&
            (anchor == n || commonness(uint8_t(pattern[i])) < commonness(uint8_t(pattern[anchor]))))
            anchor = i;
    }
    std::size_t second = anchor;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == anchor || pattern[i] < 0) continue;
        if (second == anchor || commonness(uint8_t(pattern[i])) < commonness(uint8_t(pattern[second])))
            second = i;
    }
    search.onlyWildcards = anchor == n;
    search.anchors = {anchor, second};
    return search;
}

// Appends every start position in [from, last] of `data` where the search's
// pattern matches, ascending, as image offsets (`origin` plus the index in
// `data`); the pattern's bytes from `last` on lie inside `data`.
void scan(const Search& search, const uint8_t* data, uint64_t from, uint64_t last, bool sse2,
          std::vector<uint32_t>& found, uint64_t origin) {
    if (search.onlyWildcards) {
        for (uint64_t p = from; p <= last; ++p) found.push_back(uint32_t(origin + p));
        return;
    }
#ifdef LKM_FIND_SSE2
    if (sse2) {
        scanWithSse2(search.pattern, data, from, last, search.anchors, found, origin);
        return;
    }
#endif
    (void)sse2;
    scanWithMemchr(search.pattern, data, from, last, search.anchors.first, found, origin);
}

// Start positions scanned for every search in turn, so that the bytes are read
// from memory once and from the cache by every further search.
constexpr uint64_t chunkLength = 16384;

} // namespace

bool Image::matchesAt(const std::string& signature, uint32_t offset, std::size_t from) const {
    const std::vector<int> pattern = parse(signature);
    if (offset > bytes.size() || bytes.size() - offset < pattern.size()) return false;
    for (std::size_t i = from; i < pattern.size(); ++i)
        if (pattern[i] >= 0 && pattern[i] != bytes[offset + i]) return false;
    return true;
}

std::vector<uint32_t> Image::find(const std::string& signature) const {
    return std::move(findEach({signature}).front());
}

std::vector<std::vector<uint32_t>> Image::findEach(const std::vector<std::string>& signatures) const {
    std::vector<Search> searches;
    std::size_t longest = 0;
    for (const std::string& signature : signatures) {
        searches.push_back(prepare(signature));
        longest = std::max(longest, searches.back().pattern.size());
    }
#ifdef LKM_FIND_SSE2
    const bool sse2 = haveSse2();
#else
    const bool sse2 = false;
#endif
    std::vector<std::vector<uint32_t>> found(searches.size());
    std::vector<uint8_t> copied; // a chunk's bytes where they cannot be read in place
    for (const Section& s : sections) {
        if (!(s.characteristics & sectionExecute)) continue;
        if (uint64_t(s.rva) + s.size > bytes.size()) continue; // never for a validated image
        const uint64_t end = uint64_t(s.rva) + s.size;
        for (uint64_t chunk = s.rva; chunk < end; chunk += chunkLength) {
            // Every byte a match starting in this chunk may reach.
            const uint64_t windowLength = std::min<uint64_t>(end, chunk + chunkLength - 1 + longest) - chunk;
            const uint8_t* window = bytes.direct(chunk, windowLength);
            if (!window) {
                copied.resize(std::size_t(windowLength));
                bytes.copy(chunk, copied.size(), copied.data());
                window = copied.data();
            }
            for (std::size_t k = 0; k < searches.size(); ++k) {
                const uint32_t n = uint32_t(searches[k].pattern.size());
                if (searches[k].impossible || s.size < n) continue;
                const uint64_t last = end - n; // last position a match may start at
                if (chunk > last) continue;
                scan(searches[k], window, 0, std::min(last, chunk + chunkLength - 1) - chunk, sse2, found[k],
                     chunk);
            }
        }
    }
    return found;
}

} // namespace lkm
