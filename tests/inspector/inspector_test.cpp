// The offline inspector over synthetic executables: file mapping and its
// refusals, the verdict, the earlier-patch report, the patch list against the
// plan, the golden text and JSON output, and the command's exit status.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "engine_files.hpp"
#include "files.hpp"
#include "lkm/diff.hpp"
#include "lkm/inspect.hpp"
#include "lkm/mapped_file.hpp"
#include "lkm/plan.hpp"
#include "pe_builder.hpp"
#include "report.hpp"
#include "whole_image_plan.hpp"

namespace {

using lkm::test::contents;
using lkm::test::EngineImage;
using lkm::test::patchedEngine;
using lkm::test::scratch;
using lkm::test::stockEngine;
using lkm::test::written;

lkm::inspector::Report inspect(const std::string& path, int width = 0, int height = 0, bool keepUi = true) {
    lkm::inspector::Options options;
    options.path = path;
    if (width) options.resolution = std::make_pair(width, height);
    options.keepUi = keepUi;
    return lkm::inspector::inspectSource(*lkm::inspector::openFile(path), options);
}

void put16(std::vector<uint8_t>& file, uint32_t offset, uint16_t value) {
    file[offset] = uint8_t(value);
    file[offset + 1] = uint8_t(value >> 8);
}

TEST(InspectorMapping, MapsTheFileBackToTheImage) {
    const std::vector<uint8_t> file = lkm::test::engineFile(stockEngine());
    const lkm::MappedFile mapped = lkm::mapFile(file);
    EXPECT_EQ(mapped.base, stockEngine().config.base);
    // The file holds every section at its own address, so the mapping is the file itself.
    EXPECT_TRUE(mapped.image == file) << "the mapping moved or lost bytes";
    const std::vector<uint8_t> image = stockEngine().bytes();
    EXPECT_TRUE(std::equal(mapped.image.begin() + 0x1000, mapped.image.end(), image.begin() + 0x1000));
    ASSERT_FALSE(mapped.sections.empty());
    EXPECT_EQ(mapped.sections[0].name, ".text");
    EXPECT_EQ(lkm::sectionOf(mapped, stockEngine().places.aspectOperand), ".text");
    EXPECT_EQ(lkm::fileRangeOf(mapped, stockEngine().places.aspectOperand, 1),
              stockEngine().places.aspectOperand);
}

TEST(InspectorMapping, RefusesMalformedFiles) {
    const std::vector<uint8_t> good = lkm::test::engineFile(stockEngine());
    const uint32_t pe = lkm::test::peHeader;
    const uint32_t text = lkm::test::sectionTable; // first section-table entry: .text at 0x1000
    using Kind = lkm::FileError::Kind;
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        Kind kind;
        const char* message;
    };
    auto edited = [&](auto edit) {
        std::vector<uint8_t> file = good;
        edit(file);
        return file;
    };
    const Case cases[] = {
        {"empty", {}, Kind::notPe, "not a PE file: the file is empty"},
        {"one byte", {'M'}, Kind::notPe, "not a PE file: no MZ header"},
        {"no MZ", edited([](auto& f) { f[0] = 'X'; }), Kind::notPe, "not a PE file: no MZ header"},
        {"DOS header cut off", std::vector<uint8_t>(good.begin(), good.begin() + 0x3C), Kind::truncated,
         "truncated file: the DOS header lies past the end of the file"},
        {"e_lfanew past the end", edited([](auto& f) { f[0x3C] = 0xF0, f[0x3D] = f[0x3E] = f[0x3F] = 0xFF; }),
         Kind::truncated, "truncated file: the PE header lies past the end of the file"},
        {"no PE signature", edited([&](auto& f) { f[pe] = 'Q'; }), Kind::notPe,
         "not a PE file: no PE signature"},
        {"x64 machine", edited([&](auto& f) { put16(f, pe + 4, 0x8664); }), Kind::unsupported,
         "not a 32-bit x86 executable: wrong machine type"},
        {"PE32+ optional header", edited([&](auto& f) { put16(f, pe + 0x18, 0x020B); }), Kind::unsupported,
         "not a 32-bit x86 executable: the optional header is not PE32"},
        {"no sections", edited([&](auto& f) { put16(f, pe + 6, 0); }), Kind::unsupported,
         "unsupported number of sections"},
        {"section table cut off", std::vector<uint8_t>(good.begin(), good.begin() + text + 20),
         Kind::truncated, "truncated file: the section table lies past the end of the file"},
        {"section past the end of the file", std::vector<uint8_t>(good.begin(), good.begin() + 0x1800),
         Kind::truncated, "truncated file: section .text lies past the end of the file"},
        {"section past the end of the image",
         edited([&](auto& f) { f[text + 12] = 0, f[text + 13] = 0, f[text + 14] = 0, f[text + 15] = 0x10; }),
         Kind::inconsistent, "section .text lies past the end of the image"},
    };
    for (const Case& c : cases) {
        try {
            lkm::mapFile(c.file);
            ADD_FAILURE() << c.name << ": mapped";
        } catch (const lkm::FileError& error) {
            EXPECT_STREQ(error.what(), c.message) << c.name;
            EXPECT_EQ(error.kind, c.kind) << c.name;
        }
    }
}

// The bounds check of a section-table entry once read its 40 bytes as one
// number, shifting past 32 bits (UBSan in the asan tree). A section table that
// ends exactly at the end of the file maps every entry as stored.
TEST(InspectorMapping, SectionTableBoundsCheckDoesNotReadTheEntryAsOneNumber) {
    lkm::test::PeBuilder pe(0x3000, 0x10000000);
    pe.section(".text", 0x1000, 0x800, lkm::test::codeSection, 0)
        .section("12345678", 0x2000, 0x1000, lkm::test::dataSection, 0x10); // a name of all 8 characters
    std::vector<uint8_t> file = pe.build();
    file.resize(lkm::test::sectionTable + 2 * 40);
    file[lkm::test::sectionTable + 40 + 20] = 0x3C; // the second section's raw data starts at e_lfanew

    const lkm::MappedFile mapped = lkm::mapFile(file);
    EXPECT_EQ(mapped.base, 0x10000000u);
    ASSERT_EQ(mapped.sections.size(), 2u);
    const lkm::SectionName& text = mapped.sections[0];
    const lkm::SectionName& data = mapped.sections[1];
    EXPECT_EQ(std::make_tuple(text.name, text.rva, text.size, text.rawOffset, text.rawCopied),
              std::make_tuple(std::string(".text"), 0x1000u, 0x800u, 0u, 0u));
    EXPECT_EQ(std::make_tuple(data.name, data.rva, data.size, data.rawOffset, data.rawCopied),
              std::make_tuple(std::string("12345678"), 0x2000u, 0x1000u, 0x3Cu, 0x10u));
    std::vector<uint8_t> image(0x3000, 0);
    std::copy(file.begin(), file.end(), image.begin());
    std::copy(file.begin() + 0x3C, file.begin() + 0x4C, image.begin() + 0x2000);
    EXPECT_TRUE(mapped.image == image);

    file.pop_back();
    try {
        lkm::mapFile(file);
        ADD_FAILURE() << "a section table one byte short mapped";
    } catch (const lkm::FileError& error) {
        EXPECT_STREQ(error.what(), "truncated file: the section table lies past the end of the file");
    }
}

TEST(InspectorReport, StockExecutable) {
    const lkm::inspector::Report report = inspect(written("stock.exe", lkm::test::engineFile(stockEngine())));
    ASSERT_TRUE(report.supported) << report.failure;
    EXPECT_FALSE(report.earlierPatch);
    EXPECT_TRUE(report.normalization.empty());
    EXPECT_FLOAT_EQ(report.aspect, 4.0f / 3.0f);
    ASSERT_EQ(report.setters.size(), 5u);
    EXPECT_EQ(report.setters[0].address, stockEngine().address(stockEngine().places.setters[0]));
    ASSERT_EQ(report.cvars.size(), 4u);
    // The CVar name and value field (+20) restated on purpose, as an independent check.
    EXPECT_EQ(report.cvars[0].name, "r_xres");
    EXPECT_EQ(report.cvars[0].valueField, stockEngine().address(stockEngine().places.xresObject) + 20);
    EXPECT_EQ(report.defaultFocal, 90);
    EXPECT_FALSE(report.planned);
}

// The listed patches are exactly the runs the plug-in commits: the plan against the image.
TEST(InspectorReport, PatchListIsThePlanAgainstTheImage) {
    for (const EngineImage* engine : {&stockEngine(), &patchedEngine()}) {
        for (bool keepUi : {true, false}) {
            const lkm::inspector::Report report =
                inspect(written("plan.exe", lkm::test::engineFile(*engine)), 1920, 1080, keepUi);
            ASSERT_TRUE(report.supported) << report.failure;
            const lkm::Image image = engine->image();
            const std::vector<lkm::Patch> plan =
                lkm::test::wholeImagePlan(image, lkm::inspect(image), 1920, 1080, keepUi);
            ASSERT_EQ(report.patches.size(), plan.size());
            for (std::size_t i = 0; i < plan.size(); ++i) {
                EXPECT_EQ(report.patches[i].address, image.base + plan[i].offset);
                EXPECT_EQ(report.patches[i].after.size(), plan[i].replacement.size() * 3 - 1);
                EXPECT_NE(report.patches[i].what, "unrecognised bytes") << report.patches[i].address;
            }
            ASSERT_EQ(report.redirections.size(), 5u);
            for (const lkm::inspector::Change& jump : report.redirections) {
                EXPECT_EQ(jump.before, "64 A1 00 00 00 00");
                EXPECT_EQ(jump.after, "E9 ?? ?? ?? ?? 90");
            }
        }
    }
}

TEST(InspectorReport, EarlierPatchIsReportedWithItsStockBytes) {
    const lkm::inspector::Report report = inspect(written("old.exe", lkm::test::engineFile(patchedEngine())));
    ASSERT_TRUE(report.supported) << report.failure;
    EXPECT_TRUE(report.earlierPatch);
    EXPECT_FLOAT_EQ(report.aspect, 16.0f / 9.0f);
    ASSERT_FALSE(report.normalization.empty());
    // Every changed run goes back to what the stock executable holds there.
    const std::vector<uint8_t> stock = stockEngine().bytes();
    const std::vector<uint8_t> old = patchedEngine().bytes();
    const std::vector<lkm::Run> runs = lkm::differingRuns(old, stock);
    ASSERT_EQ(report.normalization.size(), runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(report.normalization[i].address, stockEngine().config.base + runs[i].offset);
        ASSERT_TRUE(report.normalization[i].fileOffset.has_value());
        EXPECT_EQ(*report.normalization[i].fileOffset, runs[i].offset);
    }
    EXPECT_EQ(report.normalization.front().what, "camera aspect: 1.77777779 -> 1.33333337");
}

// Patched elsewhere but not at the camera aspect: the plug-in logs no notice, the inspector says both.
TEST(InspectorReport, FourThirdsEarlierPatchShowsTheStockCameraAspect) {
    const lkm::test::EngineImage old = stockEngine().earlierPatched({4.0f / 3.0f, 1024.0f, 819.2f});
    const lkm::inspector::Report report = inspect(written("old43.exe", lkm::test::engineFile(old)));
    ASSERT_TRUE(report.supported) << report.failure;
    EXPECT_TRUE(report.earlierPatch);
    EXPECT_FALSE(report.cameraAspectChanged);
    const std::string text = lkm::inspector::renderText(report);
    EXPECT_NE(text.find("\nEarlier patch: yes (camera aspect 1.33333337, stock); the plug-in works from"),
              std::string::npos)
        << text;
    EXPECT_NE(
        lkm::inspector::renderJson(report).find("\"earlierPatch\": true,\n  \"cameraAspectChanged\": false"),
        std::string::npos);
}

// The loader names come with every verdict, an unrecognised executable's too.
TEST(InspectorReport, RecognitionFailureIsTheVerdict) {
    lkm::test::EngineConfig config;
    config.setters.push_back({0xD00, 0x20}); // a sixth setter-shaped function
    config.moreImports = {{"DINPUT8.dll", {"#1"}}, {"winmm", {"timeGetTime"}}};
    const lkm::inspector::Report report =
        inspect(written("refused.exe", lkm::test::engineFile(lkm::test::makeEngineImage(config))));
    EXPECT_FALSE(report.supported);
    EXPECT_EQ(report.failure, "Incomplete CVar setter family.");
    EXPECT_EQ(
        lkm::inspector::renderText(report),
        "File: " + report.file +
            "\nVerdict: not supported\nReason: Incomplete CVar setter family.\nASI loader names: winmm, "
            "dinput8 (imported by the executable; the game may load more later, through LoadLibrary)\n");
    EXPECT_NE(lkm::inspector::renderJson(report).find("\"failure\": \"Incomplete CVar setter family.\",\n  "
                                                      "\"loaderNames\": [\"winmm\", \"dinput8\"]\n}"),
              std::string::npos);
}

// Golden output: refresh with LKM_UPDATE_GOLDEN=1 after an intended change.
void expectGolden(const std::string& name, const std::string& actual) {
    const std::string path = std::string(LKM_INSPECTOR_GOLDEN) + "/" + name;
    if (std::getenv("LKM_UPDATE_GOLDEN")) {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path << " (run with LKM_UPDATE_GOLDEN=1)";
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(actual, expected.str()) << "output differs from " << path;
}

TEST(InspectorOutput, MatchesGoldenFiles) {
    // The earlier-patched executable also imports two loader names.
    lkm::test::EngineConfig config;
    config.moreImports = {{"d3d9.dll", {"Direct3DCreate9"}}, {"DSOUND", {"#1"}}};
    const EngineImage old = lkm::test::makeEngineImage(config).earlierPatched();
    struct Case {
        const char* golden;
        const EngineImage* engine;
        bool keepUi;
        bool json;
    };
    const Case cases[] = {
        {"stock-1920x1080.txt", &stockEngine(), true, false},
        {"stock-1920x1080.json", &stockEngine(), true, true},
        {"old-1920x1080-keep-ui-0.txt", &old, false, false},
        {"old-1920x1080-keep-ui-0.json", &old, false, true},
    };
    for (const Case& c : cases) {
        lkm::inspector::Report report =
            inspect(written("golden.exe", lkm::test::engineFile(*c.engine)), 1920, 1080, c.keepUi);
        report.file = "GAME.exe"; // the scratch folder differs between trees
        expectGolden(c.golden,
                     c.json ? lkm::inspector::renderJson(report) : lkm::inspector::renderText(report));
    }
}

const auto run = lkm::test::runInspector;

TEST(InspectorCommand, ExitStatusTellsTheVerdict) {
    const std::string stock = written("cli-stock.exe", lkm::test::engineFile(stockEngine()));
    lkm::test::EngineConfig refusedConfig;
    refusedConfig.setters.push_back({0xD00, 0x20});
    const std::string refused =
        written("cli-refused.exe", lkm::test::engineFile(lkm::test::makeEngineImage(refusedConfig)));
    std::vector<uint8_t> cut = lkm::test::engineFile(stockEngine());
    cut.resize(0x1800);
    const std::string truncated = written("cli-truncated.exe", cut);

    EXPECT_EQ(run("\"" + stock + "\""), 0);
    EXPECT_NE(contents(scratch("out.txt")).find("Verdict: supported\n"), std::string::npos);
    EXPECT_EQ(run("\"" + stock + "\" --resolution 2560x1080 --keep-ui 1 --json"), 0);
    EXPECT_NE(contents(scratch("out.txt")).find("\"resolutionX\": 2560"), std::string::npos);
    EXPECT_EQ(run("\"" + refused + "\""), 1);
    EXPECT_NE(contents(scratch("out.txt")).find("Reason: Incomplete CVar setter family."), std::string::npos);
    EXPECT_EQ(run("\"" + truncated + "\""), 2);
    EXPECT_EQ(contents(scratch("err.txt")),
              "lkm-inspect: " + truncated +
                  ": truncated file: section .text lies past the end of the file\n");
    EXPECT_EQ(run("\"" + truncated + "\" --json"), 2); // the refusal on standard output
    EXPECT_EQ(contents(scratch("out.txt")).rfind("{\n  \"file\": \"" + truncated + "\",", 0), 0u);
    EXPECT_EQ(contents(scratch("err.txt")), "");
    EXPECT_EQ(run("\"" + stock + "\" --resolution 319x768"), 2);
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(contents(scratch("out.txt")).rfind("usage: lkm-inspect GAME.exe", 0), 0u);
    EXPECT_EQ(run(""), 2);
}

} // namespace
