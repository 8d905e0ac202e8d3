// --restore-stock over the synthetic engine files: an earlier-patched file
// comes back as the stock file byte for byte, with its PE checksum recomputed;
// the input and existing files are never written; a run the file cannot hold
// is refused by name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command.hpp"
#include "engine_files.hpp"
#include "fixture.hpp"
#include "lkm/bytes.hpp"
#include "restore_stock.hpp"

#if defined(_WIN32)
#include <windows.h>
// Windows' own checksum, to check ours against.
#include <imagehlp.h>
#endif

namespace {

using lkmtest::contents;
using lkmtest::scratch;
using lkmtest::written;

constexpr uint32_t checkSumField = lkmtest::peHeader + 0x58;

std::vector<uint8_t> withCheckSum(std::vector<uint8_t> file, uint32_t checkSum) {
    lkm::put<uint32_t>(file, checkSumField, checkSum);
    return file;
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string text = contents(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A path that does not exist yet, for the command to create.
std::string fresh(const std::string& name) {
    const std::string path = scratch(name);
    std::remove(path.c_str());
    return path;
}

TEST(InspectorRestore, EarlierPatchedFileComesBackStock) {
    for (const uint32_t checkSum : {0u, 0x00012345u}) {
        const std::vector<uint8_t> old =
            withCheckSum(lkmtest::engineFile(lkmtest::patchedEngine()), checkSum);
        const std::vector<uint8_t> stock =
            withCheckSum(lkmtest::engineFile(lkmtest::stockEngine()), checkSum);
        const std::string input = written("restore-old.exe", old);
        const std::string output = fresh("restore-out.exe");
        const lkmtool::Outcome outcome = lkmtool::runCommand({input, "--restore-stock", output});
        ASSERT_EQ(outcome.status, 0) << outcome.error;
        EXPECT_EQ(outcome.output.rfind("File: " + input +
                                           "\nVerdict: supported\nEarlier patch: yes (camera aspect "
                                           "1.77777779); ",
                                       0),
                  0u);
        EXPECT_TRUE(bytesOf(input) == old) << "the input was written";
        std::vector<uint8_t> restored = bytesOf(output);
        ASSERT_EQ(restored.size(), stock.size());
        const uint32_t stored = lkm::read<uint32_t>(restored, checkSumField);
        if (checkSum == 0) {
            EXPECT_NE(outcome.output.find("\nWritten: " + output + " (PE checksum 0, left as it was)\n"),
                      std::string::npos);
        } else {
            EXPECT_EQ(stored, lkmtool::peChecksum(restored, checkSumField));
            EXPECT_NE(stored, checkSum);
#if defined(_WIN32)
            DWORD header = 0, computed = 0;
            ASSERT_TRUE(CheckSumMappedFile(restored.data(), DWORD(restored.size()), &header, &computed));
            EXPECT_EQ(stored, computed) << "Windows computes another checksum";
#endif
            lkm::put<uint32_t>(restored, checkSumField, checkSum);
        }
        EXPECT_TRUE(restored == stock) << "checksum " << checkSum << ": not the stock file";
    }
}

TEST(InspectorRestore, JsonTellsWhatWasWritten) {
    const std::string input = written("restore-json.exe", lkmtest::engineFile(lkmtest::patchedEngine()));
    const std::string output = fresh("restore-json-out.exe");
    const lkmtool::Outcome outcome = lkmtool::runCommand({input, "--restore-stock", output, "--json"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.output.find("\"restoreStock\": {\"output\": \"" + output +
                                  "\", \"written\": true, \"checksum\": null},\n  \"normalization\": [\n"),
              std::string::npos)
        << outcome.output;
}

TEST(InspectorRestore, WritesNothingItShouldNot) {
    lkmtest::EngineConfig sixthSetter;
    sixthSetter.setters.push_back({0xD00, 0x20});
    const std::string stock = written("restore-stock.exe", lkmtest::engineFile(lkmtest::stockEngine()));
    const std::string refused =
        written("restore-refused.exe", lkmtest::engineFile(lkmtest::makeEngineImage(sixthSetter)));
    const std::vector<uint8_t> old = lkmtest::engineFile(lkmtest::patchedEngine());
    const std::string input = written("restore-input.exe", old);
    const std::string existing = written("restore-existing.exe", {'k', 'e', 'e', 'p'});
    const std::string output = fresh("restore-never.exe");
    const std::string inputAgain = scratch("./restore-input.exe");
    struct Case {
        std::vector<std::string> words;
        int status;
        std::string output, error;
    };
    const Case cases[] = {
        {{stock, "--restore-stock", output},
         0,
         "File: " + stock +
             "\nVerdict: supported\nEarlier patch: none (camera aspect 1.33333337, stock); nothing written\n",
         ""},
        {{refused, "--restore-stock", output},
         1,
         "File: " + refused + "\nVerdict: not supported\nReason: Incomplete CVar setter family.\n",
         ""},
        {{input, "--restore-stock", existing},
         2,
         "",
         "lkm-inspect: " + existing + ": already exists; lkm-inspect never replaces a file\n"},
        {{input, "--restore-stock", inputAgain},
         2,
         "",
         "lkm-inspect: " + inputAgain + ": is the executable being read; lkm-inspect never writes it\n"},
        {{input, "--restore-stock", existing, "--json"},
         2,
         "{\n  \"file\": \"" + input + "\",\n  \"output\": \"" + existing +
             "\",\n  \"error\": \"already exists; lkm-inspect never replaces a file\"\n}\n",
         ""},
    };
    for (const Case& c : cases) {
        const lkmtool::Outcome outcome = lkmtool::runCommand(c.words);
        EXPECT_EQ(outcome.status, c.status) << c.words[2];
        EXPECT_EQ(outcome.output, c.output);
        EXPECT_EQ(outcome.error, c.error);
    }
    EXPECT_EQ(contents(output), "") << "a file was written";
    EXPECT_EQ(contents(existing), "keep");
    EXPECT_TRUE(bytesOf(input) == old) << "the input was written";
}

TEST(InspectorRestore, RefusesARunOutsideTheRawData) {
    // .text at 0x1000 holds 0x200 bytes from file offset 0x400, the rest of its 0x1000 is zero-filled.
    const lkmtool::MappedFile mapped{
        std::vector<uint8_t>(0x2000, 0), 0x400000, {{".text", 0x1000, 0x1000, 0x400, 0x200}}};
    const std::vector<uint8_t> file(0x600, 0xAA);
    const std::vector<uint8_t> stock(0x2000, 0x55);
    auto run = [](uint32_t offset, uint32_t length) {
        lkmtool::Change change{0x400000 + offset, ".text", "", "", "camera aspect", std::nullopt};
        change.length = length;
        return change;
    };
    const lkmtool::Restoration restored =
        lkmtool::restoreStock(file, mapped, stock, 0x400000, {run(0x11FC, 4)}, "o");
    EXPECT_EQ(restored.stockFile[0x5FB], 0xAA);
    EXPECT_EQ(restored.stockFile[0x5FC], 0x55);
    EXPECT_EQ(restored.stockFile[0x5FF], 0x55);
    for (const uint32_t offset : {0x11FEu, 0x1200u, 0x0FFEu, 0x100u}) {
        try {
            lkmtool::restoreStock(file, mapped, stock, 0x400000, {run(offset, 4)}, "o");
            ADD_FAILURE() << offset << ": restored";
        } catch (const lkmtool::RestoreError& error) {
            char expected[128];
            std::snprintf(
                expected, sizeof expected,
                "the earlier patch's run at 0x%08X (camera aspect) lies outside the file's raw data; "
                "nothing written",
                0x400000 + offset);
            EXPECT_STREQ(error.what(), expected);
        }
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
    for (const Case& c : cases) EXPECT_EQ(lkmtool::peChecksum(c.file, c.field), c.checkSum) << c.file.size();
}

} // namespace
