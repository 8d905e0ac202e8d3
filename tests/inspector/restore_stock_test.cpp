// --restore-stock over the synthetic engine files: an earlier-patched file
// comes back as the stock file byte for byte, with its PE checksum recomputed;
// the input and existing files are never written; a run the file cannot hold
// is refused by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "command.hpp"
#include "engine_files.hpp"
#include "lkm/bytes.hpp"
#include "message_of.hpp"
#include "restore_stock.hpp"

#if defined(_WIN32)
#include <windows.h>
// CheckSumMappedFile: Windows' own checksum, to check ours against.
#include <imagehlp.h>
#endif

namespace {

using lkm::test::contents;
using lkm::test::scratch;
using lkm::test::written;

constexpr uint32_t checkSumField = lkm::test::peHeader + 0x58;

std::vector<uint8_t> withCheckSum(const lkm::test::EngineImage& engine, uint32_t checkSum) {
    std::vector<uint8_t> file = lkm::test::engineFile(engine);
    lkm::put<uint32_t>(file, checkSumField, checkSum);
    return file;
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string text = contents(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A path that does not exist yet, for the command to create.
std::string fresh(const std::string& name) {
    std::remove(scratch(name).c_str());
    return scratch(name);
}

TEST(InspectorRestore, EarlierPatchedFileComesBackStock) {
    for (const uint32_t checkSum : {0u, 0x00012345u}) {
        const std::vector<uint8_t> old = withCheckSum(lkm::test::patchedEngine(), checkSum);
        const std::string input = written("restore-old.exe", old), output = fresh("restore-out.exe");
        const bool json = checkSum != 0;
        std::vector<std::string> words = {input, "--restore-stock", output};
        if (json) words.push_back("--json");
        const lkm::inspector::Outcome outcome = lkm::inspector::runCommand(words);
        ASSERT_EQ(outcome.status, 0) << outcome.error;
        EXPECT_TRUE(bytesOf(input) == old) << "the input was written";
        std::vector<uint8_t> restored = bytesOf(output);
        ASSERT_EQ(restored.size(), old.size());
        const uint32_t stored = lkm::read<uint32_t>(restored, checkSumField);
        const std::string told = json ? "\"restoreStock\": {\"output\": \"" + output +
                                            "\", \"written\": true, \"checksum\": " + std::to_string(stored) +
                                            "}"
                                      : "\nWritten: " + output + " (PE checksum 0, left as it was)\n";
        EXPECT_NE(outcome.output.find(told), std::string::npos) << outcome.output;
        if (json) {
            EXPECT_EQ(stored, lkm::inspector::peChecksum(restored, checkSumField));
#if defined(_WIN32)
            DWORD header = 0, computed = 0;
            ASSERT_TRUE(CheckSumMappedFile(restored.data(), DWORD(restored.size()), &header, &computed));
            EXPECT_EQ(stored, computed) << "Windows computes another checksum";
#endif
            lkm::put<uint32_t>(restored, checkSumField, checkSum);
        }
        EXPECT_TRUE(restored == withCheckSum(lkm::test::stockEngine(), checkSum))
            << checkSum << ": not stock";
    }
}

TEST(InspectorRestore, WritesNothingItShouldNot) {
    lkm::test::EngineConfig sixthSetter;
    sixthSetter.setters.push_back({0xD00, 0x20});
    const std::string stock = written("restore-stock.exe", lkm::test::engineFile(lkm::test::stockEngine()));
    const std::string refused =
        written("restore-refused.exe", lkm::test::engineFile(lkm::test::makeEngineImage(sixthSetter)));
    const std::vector<uint8_t> old = lkm::test::engineFile(lkm::test::patchedEngine());
    const std::string input = written("restore-input.exe", old), inputAgain = scratch("./restore-input.exe");
    const std::string existing = written("restore-existing.exe", {'k', 'e', 'e', 'p'});
    const std::string output = fresh("restore-never.exe");
    const std::string exists = "already exists; lkm-inspect never replaces a file";
    const std::string loaders =
        "ASI loader names: none imported by the executable (the game may still load one later, through "
        "LoadLibrary)\n";
    EXPECT_EQ(lkm::test::shown(lkm::inspector::runCommand({stock, "--restore-stock", output})),
              lkm::test::Shown(0,
                               "File: " + stock + "\nVerdict: supported\n" + loaders +
                                   "Earlier patch: none (camera aspect 1.33333337, stock); nothing written\n",
                               ""));
    EXPECT_EQ(lkm::test::shown(lkm::inspector::runCommand({refused, "--restore-stock", output})),
              lkm::test::Shown(1,
                               "File: " + refused +
                                   "\nVerdict: not supported\nReason: Incomplete CVar setter family.\n" +
                                   loaders,
                               ""));
    const std::pair<std::string, std::string> refusals[] = {
        {existing, exists},
        {inputAgain, "is the executable being read; lkm-inspect never writes it"},
        {scratch("no-such-folder/out.exe"), "its folder does not exist"},
        {scratch("."), "a folder, not a file"},
    };
    for (const auto& [taken, why] : refusals)
        lkm::test::expectRefusal({input, "--restore-stock", taken},
                                 "lkm-inspect: " + taken + ": " + why + "\n",
                                 "{\n  \"file\": \"" + input + "\",\n  \"output\": \"" + taken +
                                     "\",\n  \"error\": \"" + why + "\",\n  \"errorKind\": \"output\"\n}\n");
    EXPECT_EQ(contents(output), "") << "a file was written";
    EXPECT_EQ(contents(existing), "keep");
    EXPECT_TRUE(bytesOf(input) == old) << "the input was written";
}

TEST(InspectorRestore, RefusesARunOutsideTheRawData) {
    // .text at 0x1000 holds 0x200 bytes from file offset 0x400; the rest of its 0x1000 is zero-filled.
    const lkm::MappedFile mapped{{}, 0x400000, {{".text", 0x1000, 0x1000, 0x400, 0x200, 0x60000020}}};
    const std::vector<uint8_t> file(0x600, 0xAA);
    const auto restore = [&](uint32_t offset) {
        lkm::inspector::Change run{0x400000 + offset, ".text", "", "", "camera aspect", std::nullopt};
        run.length = 4;
        const std::vector<lkm::ByteRun> stock = {{offset, std::vector<uint8_t>(4, 0x55)}};
        return lkm::inspector::restoreStock(file, mapped, stock, 0x400000, {run}, "o").stockFile;
    };
    const std::vector<uint8_t> restored = restore(0x11FC); // the last 4 bytes of the raw data
    EXPECT_EQ(std::vector<uint8_t>(restored.begin() + 0x5FB, restored.end()),
              std::vector<uint8_t>({0xAA, 0x55, 0x55, 0x55, 0x55}));
    for (const uint32_t offset : {0x11FEu, 0x1200u, 0x0FFEu}) {
        char expected[128];
        std::snprintf(expected, sizeof expected,
                      "the earlier patch's run at 0x%08X (camera aspect) lies outside the file's raw data; "
                      "nothing written",
                      0x400000 + offset);
        EXPECT_EQ(lkm::test::messageOf([&] { restore(offset); }), expected);
    }
}

TEST(InspectorRestore, PeChecksum) {
    struct Case {
        std::vector<uint8_t> file;
        uint64_t field;
        uint32_t checkSum;
    };
    const Case cases[] = {
        {{}, 0, 0},
        {{0x01}, 8, 0x0001 + 1},                                     // an odd last byte counts alone
        {{0xFF, 0xFF, 0xFF, 0xFF}, 8, 0xFFFF + 4},                   // 0xFFFF + 0xFFFF folds to 0xFFFF
        {{1, 2, 3, 4, 5, 6, 7, 8}, 2, 0x0201 + 0x0807 + 8},          // the field's 4 bytes count as zero
        {{1, 2, 3, 4, 5, 6, 7, 8}, 1, 0x0001 + 0x0600 + 0x0807 + 8}, // at an odd position too
    };
    for (const Case& c : cases)
        EXPECT_EQ(lkm::inspector::peChecksum(c.file, c.field), c.checkSum) << c.file.size();
}

} // namespace
