// The lines that explain a stop: places named and traced through the jump
// forms (a trampoline followed once), grouped by module and bounded, what to do
// for modules beside the plug-in or elsewhere, and the one-line verdicts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "live_memory.hpp"
#include "lkm/file_error.hpp"
#include "stop_explanation.hpp"

namespace {

using lkm::plugin::ModuleAt;
using Refusal = lkm::CodeComparison::Refusal;

constexpr uint32_t gameBase = 0x400000;
constexpr char gamePath[] = "C:\\Games\\Larkmere\\Larkmere.exe";
constexpr char scriptsPlugin[] = "C:\\Games\\Larkmere\\scripts\\Larkmere.WidescreenFix.asi";

struct Module {
    uint32_t begin, end;
    std::string path; // "" for executable memory of no module
};

class FakeProcess : public lkm::plugin::ProcessView {
public:
    lkm::test::LiveMemory memory;
    std::vector<Module> modules = {
        {gameBase, gameBase + 0x100000, gamePath},
        {0x10000000, 0x10100000, "C:\\Games\\Larkmere\\scripts\\HookMod.asi"},
        {0x20000000, 0x20100000, "c:/games/larkmere/SCRIPTS/Other.asi"}, // spelt otherwise, the same folder
        {0x30000000, 0x30100000, "C:\\Tools\\Trainer.dll"},
        {0x50000000, 0x50001000, ""}, // a trampoline
    };
    bool read(uint32_t address, uint8_t* out, std::size_t length) const override {
        return memory.read(address, out, length);
    }
    ModuleAt moduleAt(uint32_t address) const override {
        for (const Module& m : modules)
            if (address >= m.begin && address < m.end)
                return m.path.empty() ? ModuleAt{std::nullopt, true} : ModuleAt{m.path, false};
        return {std::nullopt, false};
    }
    // E9 rel32 at the game offset, to `target`.
    void jump(uint32_t offset, uint32_t target) {
        const uint32_t rel = target - (gameBase + offset + 5);
        memory.map(gameBase + offset,
                   {0xE9, uint8_t(rel), uint8_t(rel >> 8), uint8_t(rel >> 16), uint8_t(rel >> 24)});
    }
};

lkm::plugin::StopContext context(const char* pluginPath = scriptsPlugin) {
    return {gamePath, pluginPath, gameBase, [](uint32_t offset) -> std::optional<std::string> {
                if (offset == 0x1000) return "CVar setter 2";
                if (offset == 0x2000) return "main camera projection";
                return std::nullopt;
            }};
}

lkm::CodeComparison compared(const std::vector<uint32_t>& offsets, uint64_t bytes = 0) {
    lkm::CodeComparison c;
    for (uint32_t offset : offsets) c.runs.push_back({offset, 5});
    c.runCount = uint32_t(offsets.size());
    c.differingBytes = bytes != 0 ? bytes : 5 * offsets.size();
    c.codeBytes = 0x100000;
    return c;
}

const std::string closeTool =
    "To start the plug-in, close the program that changed the game's code in memory (a "
    "trainer or memory tool), or start it after the game has started.";

TEST(StopExplanation, NamesThePlacesWhereTheyLeadAndWhatToDo) {
    FakeProcess p;
    p.jump(0x1000, 0x10000100);                                            // HookMod.asi
    p.memory.map(gameBase + 0x2000, {0x68, 0x00, 0x01, 0x00, 0x30, 0xC3}); // push/ret into Trainer.dll
    p.jump(0x3000, 0x50000000);                                            // a trampoline:
    p.memory.map(0x50000000, {0xFF, 0x25, 0x00, 0x08, 0x00, 0x50});        //   jmp [0x50000800]
    p.memory.map(0x50000800, {0x00, 0x01, 0x00, 0x10});                    //   into HookMod.asi
    p.jump(0x4000, 0x20000000);                                            // Other.asi
    p.jump(0x5000, 0x60000000);                                            // nowhere
    p.jump(0x6000, gameBase + 0x9000);                                     // the game itself
    struct Case {
        const char* name;
        std::vector<uint32_t> runs;
        std::vector<std::string> lines;
        const char* plugin = scriptsPlugin;
    };
    const Case cases[] = {
        {"a setter hooked beside the plug-in",
         {0x1000},
         {"CVar setter 2 jumps into HookMod.asi.",
          "To start the plug-in, remove HookMod.asi, or let it load after this plug-in: give its file name a "
          "place "
          "after Larkmere.WidescreenFix.asi in alphabetical order, or set ChainHooks=1 in the INI to run the "
          "plug-in behind its hook."}},
        {"grouped by module, through a trampoline, one elsewhere",
         {0x2000, 0x3000, 0x4000, 0x4100, 0x4200},
         {"main camera projection jumps into Trainer.dll.", "Larkmere.exe+0x3000 jumps into HookMod.asi.",
          "Larkmere.exe+0x4000 jumps into Other.asi.",
          "Larkmere.exe+0x4100 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x4200 differs from Larkmere.exe on disk.",
          "To start the plug-in, remove Trainer.dll, HookMod.asi and Other.asi, or let them load after this "
          "plug-in: put them into the plug-in's folder (scripts\\) with a file name after "
          "Larkmere.WidescreenFix.asi in alphabetical order."}},
        {"the plug-in in the game's folder",
         {0x2000},
         {"main camera projection jumps into Trainer.dll.",
          "To start the plug-in, remove Trainer.dll, or let it load after this plug-in: put it into the "
          "plug-in's "
          "folder (the game's folder) with a file name after Larkmere.WidescreenFix.asi in alphabetical "
          "order."},
         "C:\\Games\\Larkmere\\Larkmere.WidescreenFix.asi"},
        {"nowhere and into the game",
         {0x1A2B3, 0x5000, 0x6000},
         {"Larkmere.exe+0x5000 jumps into memory of no module.",
          "Larkmere.exe+0x6000 jumps into Larkmere.exe.",
          "Larkmere.exe+0x1A2B3 differs from Larkmere.exe on disk.", closeTool}},
        {"more than 8",
         {0x1100, 0x1200, 0x1300, 0x1400, 0x1500, 0x1600, 0x1700, 0x1800, 0x1900, 0x4000},
         {"Larkmere.exe+0x4000 jumps into Other.asi.",
          "Larkmere.exe+0x1100 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x1200 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x1300 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x1400 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x1500 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x1600 differs from Larkmere.exe on disk.",
          "Larkmere.exe+0x1700 differs from Larkmere.exe on disk.", "2 more places differ.",
          "To start the plug-in, remove Other.asi, or let it load after this plug-in: give its file name a "
          "place "
          "after Larkmere.WidescreenFix.asi in alphabetical order."}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lkm::plugin::explanationLines(compared(c.runs), context(c.plugin), p), c.lines) << c.name;
}

TEST(StopExplanation, SaysInOneLineWhenThePlacesCannotBeTold) {
    const std::string cannot = "Cannot compare the game's code with Larkmere.exe on disk: ";
    const std::string throughout =
        "The game's code in memory differs from Larkmere.exe on disk at more than 64 "
        "places or in more than 1% of its code: the executable is packed or changed "
        "throughout.";
    std::vector<uint32_t> many;
    for (uint32_t i = 0; i < 65; ++i) many.push_back(0x1000 + 16 * i);
    const auto refused = [](Refusal r) {
        lkm::CodeComparison c;
        c.refusal = r;
        return c;
    };
    const std::pair<lkm::CodeComparison, std::string> cases[] = {
        {compared({}),
         "The game's code in memory is the same as Larkmere.exe on disk: this version of the game is one the "
         "plug-in does not recognise, and no other mod changed it."},
        {compared(many), throughout},
        {compared({0x1000}, 0x100000 / 100 + 1), throughout},
        {refused(Refusal::unreadable), cannot + "the file cannot be read."},
        {refused(Refusal::notPe), cannot + "it is not a PE file."},
        {refused(Refusal::tooLarge), cannot + "it is larger than 1 GiB."},
        {refused(Refusal::relocations), cannot + "its relocations cannot be applied."},
        {refused(Refusal::otherExecutable), cannot + "it is not the executable the game runs."},
    };
    const FakeProcess p;
    for (const auto& [comparison, line] : cases)
        EXPECT_EQ(lkm::plugin::explanationLines(comparison, context(), p), std::vector<std::string>{line});
    // 1% is not more than 1%.
    EXPECT_EQ(lkm::plugin::explanationLines(compared({0x1100}, 0x100000 / 100), context(), p).size(), 2u);
}

TEST(StopExplanation, OpensAndComparesTheGameFile) {
    const FakeProcess p;
    const std::vector<uint8_t> text = {'M', 'Z'};
    const auto open = [&] { return std::make_unique<lkm::MemorySource>(text); };
    const auto unopened = []() -> std::unique_ptr<lkm::ByteSource> {
        throw lkm::FileError(lkm::FileError::Kind::unreadable, "access denied");
    };
    const std::string cannot = "Cannot compare the game's code with Larkmere.exe on disk: ";
    EXPECT_EQ(lkm::plugin::explainStop(open, context(), p),
              std::vector<std::string>{cannot + "it is not a PE file."});
    EXPECT_EQ(lkm::plugin::explainStop(unopened, context(), p),
              std::vector<std::string>{cannot + "the file cannot be read."});
}

} // namespace
