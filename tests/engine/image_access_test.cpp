// Bounded access: lkm::read/put and the offset, address, string, branch and
// writable-range operations of lkm::Image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "lkm/image.hpp"
#include "message_of.hpp"
#include "pe_builder.hpp"

namespace {

using lkm::test::messageOf;
using lkm::test::PeBuilder;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t length = 0x4000;

// Code at 0x1000, two adjacent writable sections at 0x2000 and 0x3000; the
// imports lie in the header page, so a base near 2^32 still constructs.
PeBuilder layout(uint32_t base = 0x00400000) {
    PeBuilder pe(length, base);
    pe.section(".text", 0x1000, 0x1000, lkm::test::codeSection)
        .section(".data", 0x2000, 0x1000, lkm::test::dataSection)
        .section(".bss", 0x3000, 0x1000, lkm::test::dataSection);
    pe.imports(0x200, {{"a.dll", {"f"}}});
    return pe;
}

TEST(BytesAccess, ReadsAndWritesExactlyUpToTheEnd) {
    const Bytes bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint32_t L = uint32_t(bytes.size());
    EXPECT_EQ(lkm::read<uint32_t>(bytes, L - 4), 0x08070605u);
    EXPECT_EQ(lkm::read<uint16_t>(bytes, L - 2), 0x0807u);
    EXPECT_EQ(lkm::read<uint32_t>(bytes, 1), 0x05040302u);
    const uint32_t failing32[] = {L - 3, L, L + 1, 0xFFFFFFFD, 0xFFFFFFFE, 0xFFFFFFFF};
    for (uint32_t offset : failing32) {
        EXPECT_EQ(messageOf([&] { lkm::read<uint32_t>(bytes, offset); }), "Invalid image range.") << offset;
        EXPECT_EQ(messageOf([&] { lkm::read<float>(bytes, offset); }), "Invalid image range.") << offset;
    }
    for (uint32_t offset : {L - 1, L, 0xFFFFFFFEu, 0xFFFFFFFFu})
        EXPECT_EQ(messageOf([&] { lkm::read<uint16_t>(bytes, offset); }), "Invalid image range.") << offset;
    EXPECT_EQ(messageOf([] { lkm::read<uint16_t>(Bytes{}, 0); }), "Invalid image range.");
}

TEST(BytesAccess, FloatsAreCopiedAsBitPatterns) {
    Bytes bytes(8, 0xAA);
    lkm::put<float>(bytes, 4, -0.0f);
    EXPECT_EQ(bytes, (Bytes{0xAA, 0xAA, 0xAA, 0xAA, 0x00, 0x00, 0x00, 0x80}));
    const float back = lkm::read<float>(bytes, 4);
    EXPECT_TRUE(back == 0.0f && std::signbit(back));
    lkm::put<uint32_t>(bytes, 0, 0x3FAAAAAB); // 4/3
    EXPECT_EQ(lkm::read<float>(bytes, 0), 4.0f / 3.0f);
}

TEST(BytesAccess, FailedPutLeavesTheVectorUntouched) {
    const Bytes original = {1, 2, 3, 4, 5, 6};
    const uint32_t L = uint32_t(original.size());
    for (uint32_t offset : {L - 3, L, 0xFFFFFFFCu, 0xFFFFFFFFu}) {
        Bytes bytes = original;
        EXPECT_EQ(messageOf([&] { lkm::put<float>(bytes, offset, 1.0f); }), "Invalid patch range.") << offset;
        EXPECT_EQ(messageOf([&] { lkm::put<uint32_t>(bytes, offset, 0); }), "Invalid patch range.") << offset;
        EXPECT_EQ(bytes, original) << offset;
    }
    Bytes bytes = original;
    lkm::put<uint32_t>(bytes, L - 4, 0xDDCCBBAA);
    EXPECT_EQ(bytes, (Bytes{1, 2, 0xAA, 0xBB, 0xCC, 0xDD}));
}

TEST(ImageAccess, OffsetAcceptsExactlyTheModuleRange) {
    const lkm::Image image = layout().image();
    const uint32_t base = image.base;
    EXPECT_EQ(image.offset(base), 0u);
    EXPECT_EQ(image.offset(base + length - 1), length - 1);
    for (uint32_t address : {base + length, base - 1, 0u, 0xFFFFFFFFu})
        EXPECT_EQ(messageOf([&] { image.offset(address); }), "Engine pointer is outside the main module.")
            << address;
}

TEST(ImageAccess, OffsetAndAddressAtTheTopOfTheAddressSpace) {
    // The module ends exactly at 2^32.
    const lkm::Image top = layout(0xFFFFC000).image();
    EXPECT_EQ(top.offset(0xFFFFFFFF), length - 1);
    EXPECT_EQ(top.address(length - 1), 0xFFFFFFFFu);
    EXPECT_EQ(messageOf([&] { top.offset(0xFFFFBFFF); }), "Engine pointer is outside the main module.");

    // The module would reach past 2^32: its last offsets have no address.
    const lkm::Image over = layout(0xFFFFE000).image();
    EXPECT_EQ(over.address(0x1FFF), 0xFFFFFFFFu);
    for (uint32_t offset : {0x2000u, length - 1, length, 0xFFFFFFFFu})
        EXPECT_EQ(messageOf([&] { over.address(offset); }), "Invalid engine address.") << offset;
    EXPECT_EQ(over.offset(0xFFFFFFFF), 0x1FFFu);
}

TEST(ImageAccess, AddressAcceptsOffsetsBelowTheLength) {
    const lkm::Image image = layout().image();
    EXPECT_EQ(image.address(0), image.base);
    EXPECT_EQ(image.address(length - 1), image.base + length - 1);
    EXPECT_EQ(messageOf([&] { image.address(length); }), "Invalid engine address.");
    EXPECT_EQ(messageOf([&] { image.address(0xFFFFFFFF); }), "Invalid engine address.");
}

TEST(ImageAccess, StringsEndWithinFiveHundredTwelveBytes) {
    PeBuilder pe = layout();
    pe.text(0x1000, "abc");                             // a, b, c, 0
    pe.fill(0x1100, 511, 'x');                          // 511 characters, then the zero
    pe.fill(0x1400, 512, 'y');                          // 512 characters, then a zero too late
    pe.fill(length - 4, 4, 'z');                        // runs into the image end
    pe.text(length - 3, "ab").fill(length - 4, 1, 'q'); // "qab" ending in the last byte
    const lkm::Image image = pe.image();
    EXPECT_EQ(image.stringAt(0x1000), "abc");
    EXPECT_EQ(image.stringAt(0x1003), "");
    EXPECT_EQ(image.stringAt(0x1100), std::string(511, 'x'));
    EXPECT_EQ(image.stringAt(0x1101), std::string(510, 'x'));
    EXPECT_EQ(image.stringAt(length - 4), "qab");
    EXPECT_EQ(image.stringAt(length - 1), "");
    EXPECT_EQ(messageOf([&] { image.stringAt(0x1400); }), "Unterminated image string.");
    EXPECT_EQ(image.stringAt(0x1401), std::string(511, 'y'));
    for (uint32_t offset : {length, length + 1, 0xFFFFFFFFu})
        EXPECT_EQ(messageOf([&] { image.stringAt(offset); }), "Invalid image string.") << offset;

    PeBuilder end = layout();
    end.fill(length - 4, 4, 'z');
    const lkm::Image open = end.image();
    EXPECT_EQ(messageOf([&] { open.stringAt(length - 4); }), "Unterminated image string.");
    EXPECT_EQ(messageOf([&] { open.stringAt(length - 1); }), "Unterminated image string.");
}

struct BranchCase {
    const char* name;
    uint32_t offset;
    std::string code;
    int64_t target; // relative to base, or -1 for a failure
    const char* message;
};

TEST(ImageAccess, BranchDecodesOnlyCallAndJumpRel32) {
    const BranchCase cases[] = {
        {"call next instruction", 0x1000, "E8 00 00 00 00", 0x1005, ""},
        {"jump to itself", 0x1010, "E9 FB FF FF FF", 0x1010, ""},
        {"call backwards", 0x1020, "E8 DB EF FF FF", 0x0000, ""}, // -0x1025
        {"jump forwards", 0x1030, "E9 00 10 00 00", 0x2035, ""},
        {"last five bytes", length - 5, "E8 00 00 00 00", length, ""},
        {"E8 in the last four bytes", length - 4, "E8 00 00 00", -1, "Invalid image range."},
        {"E9 in the last byte", length - 1, "E9", -1, "Invalid image range."},
        {"short jump", 0x1040, "EB 05", -1, "Expected an x86 branch."},
        {"conditional short jump", 0x1050, "74 05", -1, "Expected an x86 branch."},
        {"conditional near jump", 0x1060, "0F 85 00 00 00 00", -1, "Expected an x86 branch."},
        {"indirect call", 0x1070, "FF 15 00 10 40 00", -1, "Expected an x86 branch."},
        {"offset at the image end", length, "", -1, "Expected an x86 branch."},
        {"offset all ones", 0xFFFFFFFF, "", -1, "Expected an x86 branch."},
    };
    for (const BranchCase& c : cases) {
        PeBuilder pe = layout();
        if (!c.code.empty()) pe.hex(c.offset, c.code);
        const lkm::Image image = pe.image();
        if (c.target >= 0)
            EXPECT_EQ(image.branch(c.offset), image.base + uint32_t(c.target)) << c.name;
        else
            EXPECT_EQ(messageOf([&] { image.branch(c.offset); }), c.message) << c.name;
    }
}

TEST(ImageAccess, BranchTargetWrapsModuloFourGigabytes) {
    PeBuilder pe = layout(0xFFFFC000);
    pe.hex(0x1000, "E8 00 40 00 00"); // 0xFFFFD005 + 0x4000
    pe.hex(0x1010, "E9 00 00 00 80"); // 0xFFFFD015 + 0x80000000
    const lkm::Image image = pe.image();
    EXPECT_EQ(image.branch(0x1000), 0x00001005u);
    EXPECT_EQ(image.branch(0x1010), 0x7FFFD015u);
}

TEST(ImageAccess, BranchAtAnOffsetWithoutAddressFails) {
    PeBuilder pe = layout(0xFFFFE000);
    pe.hex(0x2100, "E8 00 00 00 00");
    const lkm::Image image = pe.image();
    EXPECT_EQ(messageOf([&] { image.branch(0x2100); }), "Invalid engine address.");
}

TEST(ImageAccess, WritableRangesLieInsideOneWritableSection) {
    const lkm::Image image = layout().image();
    struct {
        uint32_t offset, length;
        bool writable;
    } const cases[] = {
        {0x2000, 112, true},        {0x3000 - 112, 112, true}, // ends exactly at the section end
        {0x3000 - 111, 112, false},                            // one byte into .bss: two sections
        {0x3000, 0x1000, true},     {0x3001, 0x1000, false},   // one byte past the image end
        {0x1000, 4, false},                                    // code: no write flag
        {0x0FFF, 2, false},         {0x2000, 0, true},
        {0xFFFFFFF0, 0x20, false},  {0x2000, 0xFFFFFFFF, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(image.writable(c.offset, c.length), c.writable) << std::hex << c.offset << " " << c.length;

    lkm::Image none = image;
    none.sections.clear();
    EXPECT_FALSE(none.writable(0x2000, 4));
}

TEST(ImageAccess, WritableSumsDoNotWrapAroundFourGigabytes) {
    lkm::Image image = layout().image();
    image.sections = {{0xFFFFFF00, 0xF0, lkm::sectionWrite}};
    EXPECT_TRUE(image.writable(0xFFFFFF10, 0xE0));
    EXPECT_FALSE(image.writable(0xFFFFFF10, 0xF0));            // offset + length = 2^32, 0 when wrapped
    image.sections = {{0xFFFFFF00, 0x200, lkm::sectionWrite}}; // rva + size = 2^32 + 0x100
    EXPECT_TRUE(image.writable(0xFFFFFF10, 0x10));
}

} // namespace
