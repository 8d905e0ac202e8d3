// Signature search over the executable sections, and the one-candidate rule.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "lkm/image.hpp"
#include "lkm/signatures.hpp"
#include "message_of.hpp"
#include "pe_builder.hpp"

namespace {

using lkm::test::messageOf;
using lkm::test::PeBuilder;
using Offsets = std::vector<uint32_t>;

constexpr uint32_t length = 0x4000;

// A and B are adjacent code sections, C is data, D is a 4-byte code section and
// E an empty one.
PeBuilder layout() {
    PeBuilder pe(length);
    pe.section("A", 0x1000, 0x1000, lkm::test::codeSection)
        .section("B", 0x2000, 0x800, lkm::test::codeSection)
        .section("C", 0x2800, 0x800, lkm::test::dataSection)
        .section("D", 0x3000, 4, lkm::test::codeSection)
        .section("E", 0x3800, 0, lkm::test::codeSection);
    pe.imports(0x300, {{"a.dll", {"f"}}});
    return pe;
}

TEST(ImageFind, TextWithoutTokensIsAnEmptySignature) {
    const lkm::Image image = layout().image();
    for (const char* text : {"", " ", "  \t\n\r\v\f  "})
        EXPECT_EQ(messageOf([&] { image.find(text); }), "Empty signature.") << '"' << text << '"';
}

TEST(ImageFind, TokensThatAreNotHexBytesThrowFromStoi) {
    const lkm::Image image = layout().image();
    for (const char* text : {"?", "GG", "E8 ?", "E8 ???", "?? G0", "E8 x1", "+", "E8 -", "+-1"}) {
        try {
            image.find(text);
            ADD_FAILURE() << text << " did not throw";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), "stoi") << text;
        }
    }
    for (const char* text : {"E8 100000000", "80000000", "-80000001", "FFFFFFFFFFFFFFFFFFFFFF"})
        EXPECT_THROW(image.find(text), std::out_of_range) << text;
}

TEST(ImageFind, HexCaseAndWhiteSpaceDoNotChangeThePattern) {
    PeBuilder pe = layout();
    pe.hex(0x1100, "E8 0A").hex(0x1FFE, "E8 0A").hex(0x2000, "E8 0A").hex(0x2900, "E8 0A");
    const lkm::Image image = pe.image();
    const Offsets expected = {0x1100, 0x1FFE, 0x2000};
    for (const char* text : {"E8 0A", "e8 0a", "E8 0a", "\tE8\n\n  0A ", "e8\r\n0A\f", "0E8 A", "+E8 0xA",
                             "0XE8 0Azz", "0000000000E8 A"})
        EXPECT_EQ(image.find(text), expected) << text;
}

TEST(ImageFind, ReportsOverlappingMatches) {
    PeBuilder pe = layout();
    pe.hex(0x1200, "AB AB AB");
    const lkm::Image image = pe.image();
    EXPECT_EQ(image.find("AB AB"), (Offsets{0x1200, 0x1201}));
    EXPECT_EQ(image.find("AB ?? AB"), (Offsets{0x1200}));
    EXPECT_EQ(image.find("AB"), (Offsets{0x1200, 0x1201, 0x1202}));
}

TEST(ImageFind, WildcardsMatchEveryPositionOfEveryCodeSection) {
    const lkm::Image image = layout().image();
    const Offsets two = image.find("?? ??");
    ASSERT_EQ(two.size(), (0x1000u - 1) + (0x800u - 1) + (4u - 1));
    EXPECT_EQ(two.front(), 0x1000u);
    EXPECT_EQ(two[0xFFE], 0x1FFEu); // last position in A
    EXPECT_EQ(two[0xFFF], 0x2000u); // first in B
    EXPECT_EQ(two.back(), 0x3002u);
    EXPECT_EQ(image.find("-1 -80000000"), two); // every negative value matches any byte
    EXPECT_EQ(image.find("?? ?? ?? ??").size(), (0x1000u - 3) + (0x800u - 3) + 1);
    EXPECT_EQ(image.find("?? ?? ?? ?? ??").size(), (0x1000u - 4) + (0x800u - 4)); // D is too small
}

TEST(ImageFind, MatchesNeverLeaveTheSectionTheyStartIn) {
    PeBuilder pe = layout();
    pe.hex(0x1FFE, "11 22").hex(0x2000, "33 44"); // straddles A and B
    pe.fill(0x1FFF, 1, 0x5A);                     // a one-byte pattern at A's last byte
    pe.hex(0x1001, "C7").hex(0x1402, "C7");       // anchored late in the pattern
    pe.hex(0x2A00, "C1 C2 C3").hex(0x3000, "77 77 77 77");
    const lkm::Image image = pe.image();
    EXPECT_TRUE(image.find("11 5A 33 44").empty());
    EXPECT_EQ(image.find("5A"), (Offsets{0x1FFF}));
    EXPECT_EQ(image.find("?? ?? C7"), (Offsets{0x1400})); // C7 at 0x1001 would start before A
    EXPECT_TRUE(image.find("C1 C2 C3").empty());          // only in the data section
    EXPECT_EQ(image.find("77 77 77 77"), (Offsets{0x3000}));
    EXPECT_TRUE(image.find("77 77 77 77 ??").empty());

    lkm::Image merged = image; // one section over A and B finds the straddling bytes
    merged.sections = {{0x1000, 0x1800, lkm::sectionExecute}};
    EXPECT_EQ(merged.find("11 5A 33 44"), (Offsets{0x1FFE}));
}

TEST(ImageFind, ResultsFollowTheSectionTableNotTheAddresses) {
    PeBuilder pe = layout();
    pe.hex(0x1300, "99 98").hex(0x2300, "99 98");
    lkm::Image image = pe.image();
    std::swap(image.sections[0], image.sections[1]);
    EXPECT_EQ(image.find("99 98"), (Offsets{0x2300, 0x1300}));
    image.sections.push_back(image.sections[0]); // listed twice, reported twice
    EXPECT_EQ(image.find("99 98"), (Offsets{0x2300, 0x1300, 0x2300}));
}

TEST(ImageFind, TokenAboveFFMatchesNoByte) {
    PeBuilder pe = layout();
    pe.fill(0x1000, 0x100, 0xFF);
    const lkm::Image image = pe.image();
    EXPECT_TRUE(image.find("1FF").empty());
    EXPECT_TRUE(image.find("FF 100").empty());
    EXPECT_EQ(image.find("FF").size(), 0x100u);
}

TEST(ImageFind, SectionWhoseEndWrapsAroundIsSkipped) {
    lkm::Image image = layout().image();
    image.sections = {{0xFFFFFFF0, 0x20, lkm::sectionExecute}}; // rva + size - n wraps in 32 bits
    EXPECT_TRUE(image.find("00").empty());
    EXPECT_TRUE(image.find("??").empty());
}

TEST(ImageFind, FindsTheEngineSignatureOnceInCode) {
    PeBuilder pe = layout();
    // fld [00601000]; fmul [esp+4]; fmul [00601004]; ret
    pe.hex(0x1500, "D9 05 00 10 60 00 D8 4C 24 04 D8 0D 04 10 60 00 C3");
    pe.hex(0x1600, "D9 05 00 10 60 00 D8 4C 24 04 D8 0D 04 10 60 00 C2"); // ret imm16 differs
    pe.hex(0x2A00, "D9 05 00 10 60 00 D8 4C 24 04 D8 0D 04 10 60 00 C3"); // data
    const lkm::Image image = pe.image();
    EXPECT_EQ(lkm::one(image.find(lkm::signature::forwardConversion.text), "forward conversion"), 0x1500u);
    EXPECT_TRUE(image.find(lkm::signature::inverseConversion.text).empty());
}

TEST(LkmOne, RequiresExactlyOneDistinctCandidate) {
    EXPECT_EQ(lkm::one({5, 5}, "x"), 5u);
    EXPECT_EQ(lkm::one({9}, "x"), 9u);
    EXPECT_EQ(messageOf([] {
                  lkm::one({7, 3}, "root GUI constructor");
              }),
              "Engine recognition failed: root GUI constructor has 2 matches.");
    EXPECT_EQ(messageOf([] { lkm::one({}, "main camera projection"); }),
              "Engine recognition failed: main camera projection has 0 matches.");
    EXPECT_EQ(messageOf([] {
                  lkm::one({3, 7, 3, 9, 7}, "r_fov");
              }),
              "Engine recognition failed: r_fov has 3 matches.");
}

// Every position of every executable section, tested element by element.
Offsets referenceFind(const lkm::Image& image, const std::vector<int>& pattern) {
    Offsets out;
    const uint64_t n = pattern.size();
    for (const lkm::Section& s : image.sections) {
        if (!(s.characteristics & lkm::sectionExecute)) continue;
        for (uint64_t p = s.rva; p + n <= uint64_t(s.rva) + s.size; ++p) {
            bool all = true;
            for (size_t i = 0; i < pattern.size() && all; ++i)
                all = pattern[i] < 0 || pattern[i] == image.bytes[size_t(p) + i];
            if (all) out.push_back(uint32_t(p));
        }
    }
    return out;
}

TEST(ImageFind, AgreesWithAPlainScanOnRandomImages) {
    std::mt19937 random(20240611);
    auto below = [&](uint32_t n) { return uint32_t(random() % n); };
    const uint32_t flags[] = {lkm::test::codeSection, lkm::test::dataSection, lkm::test::rdataSection,
                              lkm::sectionExecute, 0};
    const char* blanks[] = {" ", "  ", "\t", "\n", " \r\n"};
    std::size_t matches = 0;
    for (int round = 0; round < 400; ++round) {
        const uint32_t L = 0x1000 * (1 + below(5));
        PeBuilder pe(L);
        for (uint32_t s = 1 + below(6); s > 0; --s) {
            const uint32_t rva = below(L + 1);
            const uint32_t size = below(L - rva + 1) >> below(8);
            pe.section(".s", rva, size, flags[below(5)], below(2) ? size : below(size + 1));
        }
        pe.imports(0x300, {{"a.dll", {"f"}}}); // past the section table, before the filled bytes
        std::vector<uint8_t> alphabet(2 + below(5));
        for (uint8_t& a : alphabet) a = uint8_t(random());
        std::vector<uint8_t> bytes = pe.build();
        for (uint32_t i = 0x400; i < L; ++i) bytes[i] = alphabet[below(uint32_t(alphabet.size()))];

        std::vector<int> pattern(1 + below(10));
        std::string text = below(2) ? " " : "";
        for (int& element : pattern) {
            element = below(10) < 3 ? -1
                      : below(10)   ? alphabet[below(uint32_t(alphabet.size()))]
                                    : int(below(256));
            char token[16];
            std::snprintf(token, sizeof token, below(2) ? "%02X" : "%x", unsigned(element));
            text += (element < 0 ? std::string("??") : std::string(token)) + blanks[below(5)];
        }
        // Plant the literals of one copy at a random place, clipped to the image end.
        const uint32_t at = 0x400 + below(L - 0x400);
        for (std::size_t i = 0; i < pattern.size() && at + i < L; ++i)
            if (pattern[i] >= 0) bytes[at + i] = uint8_t(pattern[i]);

        const lkm::Image image(std::move(bytes), 0x00400000);
        const Offsets expected = referenceFind(image, pattern);
        ASSERT_EQ(image.find(text), expected) << "round " << round << ": " << text;
        matches += expected.size();
    }
    EXPECT_GT(matches, 1000u); // the images do exercise matches
}

// Several signatures searched together give what each gives alone, on code
// long enough to be scanned in many pieces: with two byte values only, matches
// and near-matches lie across every boundary the scan may use.
TEST(ImageFind, FindEachGivesEverySignatureItsOwnMatches) {
    const uint32_t L = 0x50000;
    PeBuilder pe(L);
    pe.section("A", 0x1000, 0x40001, lkm::test::codeSection)
        .section("B", 0x41001, 0x7FF, lkm::test::dataSection)
        .section("C", 0x41800, 0xE7FF, lkm::test::codeSection);
    pe.imports(0x300, {{"a.dll", {"f"}}});
    std::vector<uint8_t> bytes = pe.build();
    std::mt19937 random(4711);
    for (uint32_t i = 0x1000; i < L; ++i) bytes[i] = random() % 2 ? 0x52 : 0xB9;
    const lkm::Image image(std::move(bytes), 0x00400000);

    const std::vector<std::string> signatures = {
        "52 B9 52", "B9 ?? ?? 52 ?? B9", "52 52 52 52 52 52 52 52 52 52 52 52 B9", "?? ??", "52 100", "B9"};
    const std::vector<Offsets> found = image.findEach(signatures);
    ASSERT_EQ(found.size(), signatures.size());
    std::size_t matches = 0;
    for (std::size_t k = 0; k < signatures.size(); ++k) {
        std::vector<int> pattern;
        std::istringstream words(signatures[k]);
        for (std::string word; words >> word;)
            pattern.push_back(word == "??" ? -1 : std::stoi(word, nullptr, 16));
        EXPECT_EQ(found[k], referenceFind(image, pattern)) << signatures[k];
        matches += found[k].size();
    }
    EXPECT_GT(matches, 500000u);
}

} // namespace
