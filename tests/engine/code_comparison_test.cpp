// The executable file laid out page by page and relocated for the live load
// address, and its code compared with the code in memory: the runs that
// differ, the import address slots left out, the counts bounded, the files
// that cannot be compared.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "live_memory.hpp"
#include "lkm/code_comparison.hpp"
#include "lkm/file_pages.hpp"
#include "lkm/mapped_file.hpp"
#include "pe_builder.hpp"

namespace {

using lkm::test::highLow;
using lkm::test::PeBuilder;
using Refusal = lkm::CodeComparison::Refusal;

constexpr uint32_t base = 0x400000, imageSize = 0x5000;
constexpr uint32_t iatDirectory = 0x3F00; // data directory 12: 16 bytes in .text
// Fixups in every position a page can hold one: blocks out of page order, a
// second block for a page after another page's, fixups across both page ends.
const std::vector<lkm::test::RelocationBlock> fixups = {
    {0x3000, {highLow | 0x010}},
    {0x1000, {highLow | 0x010, 0x0000, highLow | 0xFFE}}, // 0x1FFE: 2 bytes in the next page; 0: padding
    {0x2000, {highLow | 0xFFF}},                          // 0x2FFF: 3 bytes in the next page
    {0x1000, {highLow | 0x800}},
};
const uint32_t fixupOffsets[] = {0x3010, 0x1010, 0x1FFE, 0x2FFF, 0x1800};

// .text (code-like bytes, then the import directory at 0x3800), .reloc.
PeBuilder game(const std::vector<lkm::test::RelocationBlock>& blocks = fixups) {
    PeBuilder pe(imageSize, base);
    pe.section(".text", 0x1000, 0x3000, lkm::test::codeSection)
        .section(".reloc", 0x4000, 0x1000, lkm::test::rdataSection);
    std::vector<uint8_t> code(0x2800);
    for (std::size_t i = 0; i < code.size(); ++i) code[i] = uint8_t(i * 7 + 1);
    pe.bytes(0x1000, code).imports(0x3800, {{"KERNEL32.dll", {"GetTickCount", "Sleep"}}});
    return pe.directory(12, iatDirectory, 16).relocations(0x4000, blocks);
}

// The image as the loader leaves it at `liveBase`, written by the test itself.
std::vector<uint8_t> loaded(const PeBuilder& pe, uint32_t liveBase) {
    std::vector<uint8_t> image = lkm::mapFile(pe.file()).image;
    for (uint32_t at : fixupOffsets) lkm::put(image, at, lkm::read<uint32_t>(image, at) + (liveBase - base));
    return image;
}

struct Failing : lkm::ByteSource {
    uint64_t length;
    explicit Failing(uint64_t size) : length(size) {}
    uint64_t size() const override { return length; }
    void read(uint64_t, uint8_t*, std::size_t) const override {
        throw lkm::FileError(lkm::FileError::Kind::unreadable, "the disk failed");
    }
};

TEST(FilePages, RelocateEveryPageAsTheLoaderDoes) {
    const PeBuilder pe = game();
    const std::vector<uint8_t> file = pe.file();
    const lkm::MemorySource source(file);
    for (const uint32_t liveBase : {base, base + 0x10000, 0u, 0xFFFF0000u}) {
        std::vector<uint8_t> expected = loaded(pe, liveBase);
        expected.resize(imageSize + lkm::pe::pageSize); // zeros past the image
        const lkm::FilePages pages(source, liveBase);
        std::vector<uint8_t> page(lkm::pe::pageSize);
        for (uint32_t at = 0; at < expected.size(); at += lkm::pe::pageSize) {
            pages.page(at, page.data());
            EXPECT_TRUE(std::equal(page.begin(), page.end(), expected.begin() + std::ptrdiff_t(at)))
                << "page " << std::hex << at << " at " << liveBase;
        }
    }
}

TEST(FilePages, RefuseRelocationsThatCannotBeApplied) {
    struct Case {
        const char* name;
        std::function<void(PeBuilder&)> change;
        const char* refusal;
    };
    const auto blocks = [](std::vector<lkm::test::RelocationBlock> b) {
        return [b](PeBuilder& pe) { pe.relocations(0x4000, b); };
    };
    const Case cases[] = {
        {"type 10", blocks({{0x1000, {0xA010}}}), "a base relocation has a type other than HIGHLOW"},
        {"fixup past the image", blocks({{0x4000, {highLow | 0xFFE}}}),
         "a base relocation lies past the end of the image"},
        {"block shorter than its header", [](PeBuilder& pe) { pe.u32(0x4004, 4); },
         "a base relocation block runs past the directory"},
        {"block past the directory", [](PeBuilder& pe) { pe.u32(0x4004, 0x100); },
         "a base relocation block runs past the directory"},
        {"directory past the image", [](PeBuilder& pe) { pe.directory(5, 0x4F00, 0x200); },
         "the base relocations lie past the end of the image"},
    };
    for (const Case& c : cases) {
        PeBuilder pe = game();
        c.change(pe);
        const std::vector<uint8_t> file = pe.file();
        const lkm::MemorySource source(file);
        EXPECT_NO_THROW(lkm::FilePages(source, base)) << c.name << ": nothing to relocate at ImageBase";
        try {
            lkm::FilePages(source, base + 0x10000);
            ADD_FAILURE() << c.name << ": relocated";
        } catch (const lkm::FileError& error) {
            EXPECT_EQ(error.kind, lkm::FileError::Kind::relocations) << c.name;
            EXPECT_EQ(std::string(error.what()), c.refusal) << c.name;
        }
    }
}

using Pairs = std::vector<std::pair<uint32_t, uint32_t>>; // offset, length

Pairs pairs(const std::vector<lkm::Run>& runs) {
    Pairs out;
    for (const lkm::Run& r : runs) out.emplace_back(r.offset, r.length);
    return out;
}

TEST(CodeComparison, FindsTheRunsThatDifferOutsideTheImportSlots) {
    const PeBuilder pe = game();
    const uint32_t slot = pe.slot("KERNEL32.dll", "Sleep") - base;
    struct Case {
        const char* name;
        uint32_t liveBase;
        std::vector<lkm::Run> changed; // bytes inverted in memory
        Pairs runs;
    };
    const Case cases[] = {
        {"the same", base, {}, {}},
        {"the same, relocated", 0x10000000, {}, {}},
        {"import slots written", base, {{slot - 4, 8}, {iatDirectory, 16}}, {}},
        {"three runs, one across a page end",
         0x10000000,
         {{0x1100, 5}, {0x1FFE, 4}, {0x3000, 1}},
         {{0x1100, 5}, {0x1FFE, 4}, {0x3000, 1}}},
        {"a run cut by the import slots", base, {{slot - 6, 12}}, {{slot - 6, 2}, {slot + 4, 2}}},
    };
    const std::vector<uint8_t> file = pe.file();
    for (const Case& c : cases) {
        std::vector<uint8_t> live = loaded(pe, c.liveBase);
        for (const lkm::Run& r : c.changed)
            for (uint32_t i = r.offset; i < r.offset + r.length; ++i) live[i] ^= 0xFF;
        lkm::test::LiveMemory memory;
        memory.map(c.liveBase, live);
        const lkm::CodeComparison result = lkm::compareCode(lkm::MemorySource(file), memory, c.liveBase);
        EXPECT_EQ(result.refusal, Refusal::none) << c.name;
        EXPECT_EQ(pairs(result.runs), c.runs) << c.name;
        EXPECT_EQ(result.runCount, c.runs.size()) << c.name;
        EXPECT_EQ(result.codeBytes, 0x3000u) << c.name;
    }
}

TEST(CodeComparison, CountsEveryRunKeepsTheFirstAndReadsUnreadablePagesAsDiffering) {
    const PeBuilder pe = game();
    const std::vector<uint8_t> file = pe.file();
    std::vector<uint8_t> live = loaded(pe, base);
    for (uint32_t i = 0; i < 100; ++i) live[0x1000 + 16 * i] ^= 0xFF;
    lkm::test::LiveMemory memory;
    memory.map(base, live);
    lkm::CodeComparison result = lkm::compareCode(lkm::MemorySource(file), memory, base);
    ASSERT_EQ(result.runs.size(), lkm::keptRuns);
    EXPECT_EQ(pairs(result.runs).back(), (std::pair<uint32_t, uint32_t>{0x1000 + 16 * 64, 1}));
    EXPECT_EQ(result.runCount, 100u);
    EXPECT_EQ(result.differingBytes, 100u);

    // Page 0x2000 unreadable, the rest as loaded.
    live = loaded(pe, base);
    lkm::test::LiveMemory holed;
    holed.map(base, {live.begin(), live.begin() + 0x2000})
        .map(base + 0x3000, {live.begin() + 0x3000, live.end()});
    result = lkm::compareCode(lkm::MemorySource(file), holed, base);
    EXPECT_EQ(pairs(result.runs), (Pairs{{0x2000, 0x1000}}));
}

TEST(CodeComparison, RefusesWhatItCannotCompare) {
    const PeBuilder pe = game();
    const std::vector<uint8_t> file = pe.file();
    const PeBuilder badRelocations = game({{0x1000, {0xA010}}});
    std::vector<uint8_t> otherMachine = file;
    lkm::put<uint32_t>(otherMachine, lkm::test::peHeader + 4, 0x8664);
    struct Case {
        const char* name;
        std::shared_ptr<const lkm::ByteSource> file;
        std::function<void(std::vector<uint8_t>&)> change; // of the memory
        Refusal refusal;
    };
    const std::vector<uint8_t> relocating = badRelocations.file();
    const auto bytes = [](const std::vector<uint8_t>& b) { return std::make_shared<lkm::MemorySource>(b); };
    const Case cases[] = {
        {"larger than 1 GiB, not read",
         std::make_shared<Failing>(lkm::largestComparedFile + 1),
         {},
         Refusal::tooLarge},
        {"unreadable", std::make_shared<Failing>(file.size()), {}, Refusal::unreadable},
        {"another machine", bytes(otherMachine), {}, Refusal::otherExecutable},
        {"SizeOfImage in memory", bytes(file),
         [](std::vector<uint8_t>& m) { lkm::put<uint32_t>(m, lkm::test::sizeOfImageField, 0x6000); },
         Refusal::otherExecutable},
        {"a section in memory", bytes(file),
         [](std::vector<uint8_t>& m) { m[lkm::test::sectionTable + 1] = 'T'; }, Refusal::otherExecutable},
        {"relocations", bytes(relocating), {}, Refusal::relocations},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> live = loaded(pe, 0x10000000);
        if (c.change) c.change(live);
        lkm::test::LiveMemory memory;
        memory.map(0x10000000, live);
        const lkm::CodeComparison result = lkm::compareCode(*c.file, memory, 0x10000000);
        EXPECT_EQ(result.refusal, c.refusal) << c.name;
        EXPECT_EQ(result.runCount, 0u) << c.name;
    }
}

} // namespace
