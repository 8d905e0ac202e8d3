// What the plug-in reads of the game's file on disk: the notices for places
// normalisation changed (on disk or in memory, and no read at all for a stock
// game), the check of setters chained behind another mod's hook, and a stop
// explained with the places named as recognition names them in the file.
#include "game_file_checks.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine_image.hpp"
#include "live_memory.hpp"
#include "lkm/file_error.hpp"
#include "lkm/inspect.hpp"
#include "lkm/mapped_file.hpp"
#include "message_of.hpp"
#include "stop_explanation.hpp"

namespace {

using lkm::test::EngineImage;
using Lines = std::vector<std::string>;

constexpr uint32_t hookModule = 0x10000000; // HookMod.asi's code
const std::string onDisk = lkm::plugin::notice::earlierPatchOnDisk;
const std::string inMemory = lkm::plugin::notice::changedInMemory;

// Opens `file` (or fails to, for none), counting the opens.
struct Opener {
    const std::vector<uint8_t>* file;
    int opens = 0;
    lkm::plugin::OpenGameFile open() {
        return [this]() -> std::unique_ptr<lkm::ByteSource> {
            ++opens;
            if (!file) throw lkm::FileError(lkm::FileError::Kind::unreadable, "access denied");
            return std::make_unique<lkm::MemorySource>(*file);
        };
    }
};

class Process : public lkm::plugin::ProcessView {
public:
    lkm::test::LiveMemory memory;
    bool read(uint32_t address, uint8_t* out, std::size_t length) const override {
        return memory.read(address, out, length);
    }
    lkm::plugin::ModuleAt moduleAt(uint32_t address) const override {
        if (address - hookModule < 0x10000) return {"C:\\Games\\Larkmere\\HookMod.asi", false};
        return {std::nullopt, false};
    }
};

EngineImage aspectPoked(EngineImage engine, float aspect) {
    engine.pe.f32(engine.places.aspectOperand, aspect);
    return engine;
}

EngineImage setterHooked(EngineImage engine, uint32_t setter) {
    engine.pe.branch(setter, 0xE9, hookModule + 0x100).bytes(setter + 5, {0x90});
    return engine;
}

TEST(EarlierPatchNotices, AdviceOnDiskOnlyWhereTheFileCarriesItAndNoReadForAStockGame) {
    const EngineImage stock = lkm::test::makeEngineImage();
    const EngineImage old = stock.earlierPatched();
    const std::vector<uint8_t> stockFile = lkm::test::engineFile(stock), oldFile = lkm::test::engineFile(old);
    struct Case {
        const char* name;
        EngineImage memory;
        const std::vector<uint8_t>* file;
        Lines lines;
        int opens;
    };
    const Case cases[] = {
        {"stock, nothing to check", stock, &stockFile, {}, 0},
        {"an earlier patch on disk", old, &oldFile, {onDisk}, 1},
        {"another aspect poked into a stock game",
         aspectPoked(stock, 16.0f / 9.0f),
         &stockFile,
         {inMemory},
         1},
        {"a poke over an earlier patch", aspectPoked(old, 2.0f), &oldFile, {inMemory}, 1},
        {"an earlier patch, the file unreadable", old, nullptr, {onDisk}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const lkm::Image image = c.memory.image();
        Opener opener{c.file};
        EXPECT_EQ(lkm::plugin::earlierPatchNotices(lkm::inspect(image), image.base, opener.open()), c.lines);
        EXPECT_EQ(opener.opens, c.opens);
    }
}

TEST(ChainedHooks, TheFileMustHoldTheEnginesOwnEntryAndEachChainNamesItsModule) {
    const EngineImage stock = lkm::test::makeEngineImage();
    const uint32_t setter = stock.places.setters[3];
    const EngineImage hooked = setterHooked(stock, setter);
    const std::vector<uint8_t> stockFile = lkm::test::engineFile(stock),
                               hookedFile = lkm::test::engineFile(hooked);
    const lkm::Image image = hooked.image();
    const lkm::Layout layout = lkm::inspect(image, lkm::searchSignatures(image), {true});

    Opener plain{&stockFile}, patchedOnDisk{&hookedFile}, unreadable{nullptr}, untouched{&stockFile};
    EXPECT_EQ(lkm::test::messageOf(
                  [&] { lkm::plugin::requireStockEntriesOnDisk(layout, image.base, plain.open()); }),
              "(none)");
    for (Opener* refusing : {&patchedOnDisk, &unreadable})
        EXPECT_EQ(lkm::test::messageOf(
                      [&] { lkm::plugin::requireStockEntriesOnDisk(layout, image.base, refusing->open()); }),
                  "Unsupported CVar hook instruction.");
    const lkm::Image stockImage = stock.image();
    lkm::plugin::requireStockEntriesOnDisk(lkm::inspect(stockImage), stockImage.base, untouched.open());
    EXPECT_EQ(untouched.opens, 0) << "no chained setter, no read";

    // By now the setter's entry leads into the plug-in: the mod is the one its jump led into.
    const Process process;
    EXPECT_EQ(lkm::plugin::chainedHookLines(layout, process),
              Lines{"CVar setter 3 runs behind the hook of HookMod.asi."});
}

// Without ChainHooks the hooked setter stops recognition; the explanation
// names it as recognition finds it in the file, and the module it jumps into.
TEST(StopExplanation, NamesThePlacesAsTheExecutableOnDiskHasThem) {
    const EngineImage stock = lkm::test::makeEngineImage();
    const EngineImage hooked = setterHooked(stock, stock.places.setters[1]);
    const std::vector<uint8_t> file = lkm::test::engineFile(stock);
    // Loaded as the loader maps the file: its headers verbatim.
    const lkm::Image image(lkm::mapFile(lkm::test::engineFile(hooked)).image, hooked.config.base);
    ASSERT_NE(lkm::test::inspectFailure(image), "");
    Process process;
    process.memory.map(image.base, image.bytes.all());
    Opener opener{&file};
    const lkm::plugin::StopContext context{"C:\\Games\\Larkmere\\Larkmere.exe",
                                           "C:\\Games\\Larkmere\\Larkmere.WidescreenFix.asi",
                                           image.base,
                                           {}};
    const Lines lines = lkm::plugin::explainStop(opener.open(), context, process, &image);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "CVar setter 1 jumps into HookMod.asi.");
}

} // namespace
