// Construction of lkm::Image: header validation, the section list and the import map.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "lkm/image.hpp"
#include "message_of.hpp"
#include "pe_builder.hpp"

namespace {

using lkm::test::messageOf;
using lkm::test::PeBuilder;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t base = 0x00400000;
constexpr uint32_t length = 0x3000;
constexpr uint32_t machineField = lkm::test::peHeader + 4;
constexpr uint32_t sectionCountField = lkm::test::peHeader + 6;
constexpr uint32_t optionalSizeField = lkm::test::peHeader + 0x14;
constexpr uint32_t magicField = lkm::test::optionalHeader;
constexpr uint32_t textEntry = lkm::test::sectionTable;      // first section-table entry
constexpr uint32_t dataEntry = lkm::test::sectionTable + 40; // second

void w16(Bytes& b, uint32_t offset, uint16_t value) {
    b.at(offset) = uint8_t(value);
    b.at(offset + 1) = uint8_t(value >> 8);
}

void w32(Bytes& b, uint32_t offset, uint32_t value) {
    for (uint32_t i = 0; i < 4; ++i) b.at(offset + i) = uint8_t(value >> (8 * i));
}

uint32_t r32(const Bytes& b, uint32_t offset) {
    uint32_t value = 0;
    for (uint32_t i = 0; i < 4; ++i) value |= uint32_t(b.at(offset + i)) << (8 * i);
    return value;
}

// Code at 0x1000, writable data at 0x2000, imports laid out at `importRva`.
PeBuilder basic(uint32_t importRva = 0x200,
                std::vector<lkm::test::ImportSpec> dlls = {{"KERNEL32.dll", {"Sleep"}}},
                uint32_t imageBase = base) {
    PeBuilder pe(length, imageBase);
    pe.section(".text", 0x1000, 0x1000, lkm::test::codeSection)
        .section(".data", 0x2000, 0x1000, lkm::test::dataSection);
    pe.imports(importRva, dlls);
    return pe;
}

std::string constructFailure(Bytes bytes, uint32_t imageBase = base) {
    return messageOf([&] { lkm::Image image(std::move(bytes), imageBase); });
}

struct HeaderCase {
    const char* name;
    std::function<void(Bytes&)> corrupt;
    const char* message;
};

TEST(ImageConstruct, RejectsEveryMalformedHeaderWithItsSentence) {
    const HeaderCase cases[] = {
        {"empty buffer", [](Bytes& b) { b.clear(); }, "Invalid image range."},
        {"one byte", [](Bytes& b) { b.resize(1); }, "Invalid image range."},
        {"no MZ", [](Bytes& b) { w16(b, 0, 0x4D5A); }, "Not a PE image."},
        {"cut before e_lfanew", [](Bytes& b) { b.resize(0x3E); }, "Invalid image range."},
        {"cut inside the file header", [](Bytes& b) { b.resize(lkm::test::peHeader + 0x10); },
         "Invalid image range."},
        {"cut inside the optional header", [](Bytes& b) { b.resize(lkm::test::peHeader + 0x30); },
         "Invalid image range."},
        {"e_lfanew wild", [](Bytes& b) { w32(b, 0x3C, 0xFFFFFFF0); }, "Invalid image range."},
        {"e_lfanew all ones", [](Bytes& b) { w32(b, 0x3C, 0xFFFFFFFF); }, "Invalid image range."},
        {"e_lfanew at the image end", [](Bytes& b) { w32(b, 0x3C, length); }, "Invalid image range."},
        {"PE signature in the last four bytes, Machine past the end",
         [](Bytes& b) {
             w32(b, 0x3C, length - 4);
             w32(b, length - 4, 0x4550);
         },
         "Invalid image range."},
        {"no signature in the last four bytes: Machine is not read",
         [](Bytes& b) { w32(b, 0x3C, length - 4); }, "The plugin requires a 32-bit x86 PE image."},
        {"no PE signature", [](Bytes& b) { w32(b, lkm::test::peHeader, 0x4551); },
         "The plugin requires a 32-bit x86 PE image."},
        {"x64 machine", [](Bytes& b) { w16(b, machineField, 0x8664); },
         "The plugin requires a 32-bit x86 PE image."},
        {"0 sections", [](Bytes& b) { w16(b, sectionCountField, 0); }, "Unsupported PE header."},
        {"97 sections", [](Bytes& b) { w16(b, sectionCountField, 97); }, "Unsupported PE header."},
        {"optional header of 111 bytes", [](Bytes& b) { w16(b, optionalSizeField, 111); },
         "Unsupported PE header."},
        {"optional header of 0 bytes", [](Bytes& b) { w16(b, optionalSizeField, 0); },
         "Unsupported PE header."},
        {"PE32+ magic", [](Bytes& b) { w16(b, magicField, 0x020B); }, "Unsupported PE header."},
        {"SizeOfImage one byte larger", [](Bytes& b) { w32(b, lkm::test::sizeOfImageField, length + 1); },
         "Mapped image size mismatch."},
        {"SizeOfImage one byte smaller", [](Bytes& b) { w32(b, lkm::test::sizeOfImageField, length - 1); },
         "Mapped image size mismatch."},
        {"buffer one byte longer", [](Bytes& b) { b.push_back(0); }, "Mapped image size mismatch."},
        {"section table beyond the buffer", [](Bytes& b) { w16(b, optionalSizeField, 0xFFFF); },
         "Invalid image range."},
        {"section reaches past the end", [](Bytes& b) { w32(b, dataEntry + 12, 0x2800); },
         "Invalid mapped section."},
        {"section starts past the end",
         [](Bytes& b) {
             w32(b, dataEntry + 12, length + 1);
             w32(b, dataEntry + 8, 0);
             w32(b, dataEntry + 16, 0);
         },
         "Invalid mapped section."},
        {"section end wraps around 2^32",
         [](Bytes& b) {
             w32(b, dataEntry + 12, 0xFFFFF000);
             w32(b, dataEntry + 8, 0x2000);
         },
         "Invalid mapped section."},
        {"VirtualSize all ones", [](Bytes& b) { w32(b, textEntry + 8, 0xFFFFFFFF); },
         "Invalid mapped section."},
        {"raw size one byte too large", [](Bytes& b) { w32(b, textEntry + 16, 0x2001); },
         "Invalid mapped section."},
        {"no import directory", [](Bytes& b) { w32(b, lkm::test::importDirectoryField, 0); },
         "No engine imports found."},
        {"import directory all ones", [](Bytes& b) { w32(b, lkm::test::importDirectoryField, 0xFFFFFFFF); },
         "Invalid image range."},
        {"import directory in the last bytes",
         [](Bytes& b) { w32(b, lkm::test::importDirectoryField, length - 8); }, "Invalid image range."},
    };
    const Bytes good = basic().build();
    ASSERT_EQ(constructFailure(good), "(none)");
    for (const HeaderCase& c : cases) {
        Bytes bytes = good;
        c.corrupt(bytes);
        EXPECT_EQ(constructFailure(bytes), c.message) << c.name;
    }
}

TEST(ImageConstruct, KeepsBytesBaseAndSectionsInTableOrder) {
    PeBuilder pe(length, 0x10000000);
    pe.section(".data", 0x2000, 0x800, lkm::test::dataSection, 0x1000) // raw size larger
        .section(".text", 0x1000, 0x0, lkm::test::codeSection, 0x200)  // VirtualSize 0, raw 0x200
        .section(".bss", 0x2800, 0x300, lkm::test::dataSection, 0x200) // VirtualSize larger
        .section(".end", length, 0, 0x12345678);                       // at the image end, empty
    pe.imports(0x400, {{"a.dll", {"f"}}});                             // past the four table entries
    const Bytes bytes = pe.build();
    const lkm::Image image(bytes, 0x10000000);
    EXPECT_EQ(image.bytes.all(), bytes);
    EXPECT_EQ(image.base, 0x10000000u);
    ASSERT_EQ(image.sections.size(), 4u);
    const lkm::Section expected[] = {{0x2000, 0x1000, lkm::test::dataSection},
                                     {0x1000, 0x200, lkm::test::codeSection},
                                     {0x2800, 0x300, lkm::test::dataSection},
                                     {length, 0, 0x12345678}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(image.sections[i].rva, expected[i].rva) << i;
        EXPECT_EQ(image.sections[i].size, expected[i].size) << i;
        EXPECT_EQ(image.sections[i].characteristics, expected[i].characteristics) << i;
    }
}

TEST(ImageConstruct, AcceptsTheLimitsOfTheHeader) {
    // 96 sections: the table runs from 0x178 to 0x1078, so the imports move to 0x2000.
    PeBuilder pe(length);
    for (uint32_t i = 0; i < 96; ++i) pe.section(".s", 0x2800 + 8 * i, 8, lkm::test::dataSection);
    pe.imports(0x2000, {{"a.dll", {"f"}}});
    const lkm::Image many(pe.build(), base);
    EXPECT_EQ(many.sections.size(), 96u);
    EXPECT_EQ(many.sections[95].rva, 0x2800u + 8 * 95);

    // A 112-byte optional header moves the section table to e_lfanew + 0x18 + 0x70.
    Bytes bytes = basic().build();
    const uint32_t table = lkm::test::optionalHeader + 0x70;
    Bytes entries(bytes.begin() + textEntry, bytes.begin() + textEntry + 80);
    std::copy(entries.begin(), entries.end(), bytes.begin() + table);
    w16(bytes, optionalSizeField, 112);
    const lkm::Image shortHeader(bytes, base);
    ASSERT_EQ(shortHeader.sections.size(), 2u);
    EXPECT_EQ(shortHeader.sections[1].rva, 0x2000u);
    EXPECT_EQ(shortHeader.sections[1].characteristics, lkm::test::dataSection);
}

TEST(ImageConstruct, MapsEveryNamedImportToItsAddressTableSlot) {
    const std::string decorated = "?PerspectiveToAngles@VisRenderer_cl@@QBEXMMPAM0@Z";
    PeBuilder pe = basic(0x200, {{"KERNEL32.dll", {"Sleep", "GetTickCount"}}, {"Vision.dll", {decorated}}});
    const lkm::Image image = pe.image();
    const std::map<uint32_t, std::string> expected = {
        {pe.slot("KERNEL32.dll", "Sleep"), "KERNEL32.dll!Sleep"},
        {pe.slot("KERNEL32.dll", "GetTickCount"), "KERNEL32.dll!GetTickCount"},
        {pe.slot("Vision.dll", decorated), "Vision.dll!" + decorated},
    };
    EXPECT_EQ(image.imports, expected);
}

TEST(ImageConstruct, SlotKeysFollowTheNameTableIndexThroughOrdinals) {
    const Bytes bytes =
        basic(0x200, {{"a.dll", {"one", "two", "three"}}, {"b.dll", {"first", "#7", "second"}}}).build();
    const lkm::Image image(bytes, base);
    const uint32_t a = r32(bytes, 0x200 + 16), b = r32(bytes, 0x200 + 20 + 16);
    EXPECT_EQ(image.imports.at(base + a + 8), "a.dll!three");
    EXPECT_EQ(image.imports.at(base + b + 0), "b.dll!first");
    EXPECT_EQ(image.imports.count(base + b + 4), 0u);
    EXPECT_EQ(image.imports.at(base + b + 8), "b.dll!second");
    EXPECT_EQ(image.imports.size(), 5u);
}

TEST(ImageConstruct, OrdinalOnlyImportsLeaveTheMapEmpty) {
    EXPECT_TRUE(basic(0x200, {{"a.dll", {"#1", "#2"}}, {"b.dll", {}}}).image().imports.empty());
    Bytes bytes = basic(0x200, {{"a.dll", {"f"}}}).build();
    w32(bytes, r32(bytes, 0x200), 0xFFFFFFFF); // an ordinal entry with every bit set
    EXPECT_TRUE(lkm::Image(bytes, base).imports.empty());
}

TEST(ImageConstruct, LaterEntryForTheSameSlotReplacesTheEarlierText) {
    PeBuilder pe = basic(0x200, {{"a.dll", {"f"}}, {"b.dll", {"g"}}});
    const Bytes first = pe.build();
    pe.u32(0x200 + 20 + 16, r32(first, 0x200 + 16)); // b.dll shares a.dll's address table
    const lkm::Image image = pe.image();
    ASSERT_EQ(image.imports.size(), 1u);
    EXPECT_EQ(image.imports.begin()->second, "b.dll!g");
}

TEST(ImageConstruct, NamesUpTo511CharactersAreAccepted) {
    const std::string name511(511, 'n');
    EXPECT_EQ(basic(0x2000, {{"a.dll", {name511}}}).image().imports.begin()->second, "a.dll!" + name511);
    EXPECT_EQ(constructFailure(basic(0x2000, {{"a.dll", {name511 + "n"}}}).build()),
              "Unterminated image string.");
    EXPECT_EQ(constructFailure(basic(0x2000, {{std::string(512, 'd'), {"f"}}}).build()),
              "Unterminated image string.");
}

struct ImportCase {
    const char* name;
    // Gets the built image and the offsets of the first descriptor's name table and address table.
    std::function<void(Bytes&, uint32_t nameTable)> corrupt;
    const char* message;
};

TEST(ImageConstruct, RejectsEveryMalformedImportWithItsSentence) {
    constexpr uint32_t d = 0x200; // first descriptor
    const ImportCase cases[] = {
        {"no name table", [](Bytes& b, uint32_t) { w32(b, d + 0, 0); },
         "An import name table is required for engine recognition."},
        {"only an address table",
         [](Bytes& b, uint32_t) {
             w32(b, d + 0, 0);
             w32(b, d + 12, 0);
         },
         "An import name table is required for engine recognition."},
        {"only a DLL name",
         [](Bytes& b, uint32_t) {
             w32(b, d + 0, 0);
             w32(b, d + 16, 0);
         },
         "An import name table is required for engine recognition."},
        {"name table all ones", [](Bytes& b, uint32_t) { w32(b, d + 0, 0xFFFFFFFF); },
         "Invalid image range."},
        {"DLL name all ones", [](Bytes& b, uint32_t) { w32(b, d + 12, 0xFFFFFFFF); },
         "Invalid image string."},
        {"DLL name at the image end", [](Bytes& b, uint32_t) { w32(b, d + 12, length); },
         "Invalid image string."},
        {"DLL name read for an empty name table",
         [](Bytes& b, uint32_t table) {
             w32(b, table, 0);
             w32(b, d + 12, length);
         },
         "Invalid image string."},
        {"DLL name runs into the image end",
         [](Bytes& b, uint32_t) {
             w32(b, d + 12, length - 3);
             b[length - 3] = b[length - 2] = b[length - 1] = 'x';
         },
         "Unterminated image string."},
        {"function name outside the image", [](Bytes& b, uint32_t table) { w32(b, table, 0x7FFFFFF0); },
         "Invalid image string."},
        {"function name runs into the image end",
         [](Bytes& b, uint32_t table) {
             w32(b, table, length - 4); // hint at L-4, name at L-2
             b[length - 2] = b[length - 1] = 'x';
         },
         "Unterminated image string."},
        {"address table all ones", [](Bytes& b, uint32_t) { w32(b, d + 16, 0xFFFFFFFF); },
         "Invalid engine address."},
        {"address table at the image end", [](Bytes& b, uint32_t) { w32(b, d + 16, length); },
         "Invalid engine address."},
        {"name table without a zero entry up to the image end",
         [](Bytes& b, uint32_t table) {
             const uint32_t entry = r32(b, table);
             w32(b, d + 0, length - 8);
             w32(b, length - 8, entry);
             w32(b, length - 4, entry);
         },
         "Invalid image range."},
        {"descriptor table without terminator up to the image end",
         [](Bytes& b, uint32_t) {
             for (uint32_t i = 0; i < 20; ++i) b[length - 20 + i] = b[d + i];
             w32(b, lkm::test::importDirectoryField, length - 20);
         },
         "Invalid image range."},
    };
    const Bytes good = basic().build();
    ASSERT_EQ(constructFailure(good), "(none)");
    for (const ImportCase& c : cases) {
        Bytes bytes = good;
        c.corrupt(bytes, r32(bytes, d));
        EXPECT_EQ(constructFailure(bytes), c.message) << c.name;
    }
}

TEST(ImageConstruct, ImportSlotPastFourGigabytesDoesNotWrapToTheImageStart) {
    // Slot 1 of an address table at 0xFFFFFFFC lies at 2^32; wrapped it would be offset 0.
    Bytes bytes = basic(0x200, {{"a.dll", {"#1", "f"}}}).build();
    w32(bytes, 0x200 + 16, 0xFFFFFFFC);
    EXPECT_EQ(constructFailure(bytes), "Invalid engine address.");
}

TEST(ImageConstruct, ImportSlotAddressMustStayBelowFourGigabytes) {
    // Base + slot passes 2^32 - 1 for a module loaded at 0xFFFFE000 with its table at 0x2000.
    EXPECT_EQ(constructFailure(basic(0x2000, {{"a.dll", {"f"}}}, 0xFFFFE000).build(), 0xFFFFE000),
              "Invalid engine address.");
    const lkm::Image high = basic(0x2000, {{"a.dll", {"f"}}}, 0xFFFFD000).image();
    ASSERT_EQ(high.imports.size(), 1u);
    EXPECT_GE(high.imports.begin()->first, 0xFFFFF000u);
}

TEST(ImageConstruct, DescriptorWalkStopsAfter512Descriptors) {
    constexpr uint32_t directory = 0x1000, nameTable = 0x4000, dllName = 0x4100, tables = 0x5000;
    PeBuilder pe(0x8000);
    pe.section(".text", 0x7000, 0x1000, lkm::test::codeSection);
    pe.u32(nameTable, 0x4010).u32(nameTable + 4, 0).text(0x4012, "f").text(dllName, "d.dll");
    for (uint32_t i = 0; i < 512; ++i)
        pe.u32(directory + 20 * i, nameTable)
            .u32(directory + 20 * i + 12, dllName)
            .u32(directory + 20 * i + 16, tables + 8 * i);
    // At directory + 10240: a descriptor that would fail if it were read.
    pe.u32(directory + 10240, 0).u32(directory + 10240 + 12, 0xFFFFFFFF);
    Bytes bytes = pe.build();
    w32(bytes, lkm::test::importDirectoryField, directory);
    const lkm::Image image(bytes, base);
    EXPECT_EQ(image.imports.size(), 512u);
    EXPECT_EQ(image.imports.at(base + tables + 8 * 511), "d.dll!f");
}

TEST(ImageConstruct, NameTableWalkStopsAfter8192Entries) {
    constexpr uint32_t nameTable = 0x1000, hintName = 0x9800, dllName = 0x9900, addressTable = 0xA000;
    PeBuilder pe(0x14000);
    pe.section(".text", 0x13000, 0x1000, lkm::test::codeSection);
    pe.text(hintName + 2, "f").text(dllName, "d.dll");
    for (uint32_t i = 0; i < 8192; ++i) pe.u32(nameTable + 4 * i, hintName);
    pe.u32(nameTable + 4 * 8192, 0x7FFFFFF0); // entry 8193 would fail if it were read
    pe.u32(0x200, nameTable).u32(0x200 + 12, dllName).u32(0x200 + 16, addressTable);
    Bytes bytes = pe.build();
    w32(bytes, lkm::test::importDirectoryField, 0x200);
    const lkm::Image image(bytes, base);
    EXPECT_EQ(image.imports.size(), 8192u);
    EXPECT_EQ(image.imports.rbegin()->first, base + addressTable + 4 * 8191);
}

} // namespace

namespace {

// Random corruption of the headers, the section table and the import tables:
// every outcome is a constructed image or one of the construction sentences.
TEST(ImageConstruct, CorruptedImagesEndInAConstructionSentence) {
    const std::set<std::string> sentences = {"(none)",
                                             "Invalid image range.",
                                             "Not a PE image.",
                                             "The plugin requires a 32-bit x86 PE image.",
                                             "Unsupported PE header.",
                                             "Mapped image size mismatch.",
                                             "Invalid mapped section.",
                                             "No engine imports found.",
                                             "An import name table is required for engine recognition.",
                                             "Invalid image string.",
                                             "Unterminated image string.",
                                             "Invalid engine address."};
    const Bytes good =
        basic(0x200, {{"KERNEL32.dll", {"Sleep", "#3", "GetTickCount"}}, {"b.dll", {"g"}}}).build();
    const uint32_t values[] = {0,          1,      2,          0x70,       0x80,       0x200,     length - 4,
                               length - 1, length, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFC, 0xFFFFFFFF};
    std::mt19937 random(7);
    std::map<std::string, int> seen;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = good;
        for (int k = 1 + int(random() % 3); k > 0; --k) {
            const uint32_t at = uint32_t(random() % (0x300 - 3));
            w32(bytes, at, random() % 2 ? values[random() % std::size(values)] : uint32_t(random()));
        }
        const std::string message = constructFailure(bytes);
        ASSERT_EQ(sentences.count(message), 1u) << message;
        ++seen[message];
    }
    EXPECT_GE(seen.size(), 10u); // the corruptions reach most of the checks
}

} // namespace
