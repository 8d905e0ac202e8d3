// lkm::inspect over the whole synthetic engine: a stock image, the same image
// as an earlier on-disk patch left it, the engine inside a large code section,
// and corrupted bytes at every recognised place.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

TEST(InspectStock, FindsEveryPlaceOfTheStockEngine) {
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = lkm::inspect(engine.image());
    EXPECT_EQ("", layoutDifferences(layout, engine.expectedLayout()));
    // Spot checks against numbers worked out by hand from the fixture's map.
    EXPECT_EQ(0xA400u, layout.horizontalForward);
    EXPECT_EQ(0xA420u, layout.verticalForward);
    EXPECT_EQ(0x21030u, layout.verticalReciprocal);
    EXPECT_EQ(0x00422100u, layout.xresCvar);
    EXPECT_EQ(0x00422114u, layout.xresValue);
    EXPECT_EQ(90, layout.defaultFocal);
    EXPECT_EQ(4.0f / 3.0f, layout.aspect);
    EXPECT_EQ((std::vector<uint32_t>{0xA42C, 0xA600, 0xAA00, 0xAE00}), layout.verticalReferences);
    EXPECT_EQ((std::vector<uint32_t>{0x5800, 0x5900, 0x5A00, 0x5B00, 0x5C00}), layout.setters);
}

TEST(InspectStock, StockImageNormalizesToItself) {
    const EngineImage engine = makeEngineImage();
    EXPECT_TRUE(lkm::inspect(engine.image()).normalized.empty());
}

TEST(InspectStock, SharedReciprocalOutsideTheGuiCodeIsNotAReference) {
    const EngineImage engine = makeEngineImage();
    const lkm::Layout layout = lkm::inspect(engine.image());
    ASSERT_EQ(engine.address(engine.places.verticalReciprocal),
              lkm::read<uint32_t>(engine.bytes(), engine.places.sharedReference));
    for (uint32_t reference : layout.verticalReferences) EXPECT_NE(engine.places.sharedReference, reference);
}

struct EarlierCase {
    const char* name;
    EngineImage::EarlierPatch patch;
};

class InspectEarlierPatch : public testing::TestWithParam<EarlierCase> {};

TEST_P(InspectEarlierPatch, NormalizesToTheStockBytesAndLayout) {
    const EngineImage stock = makeEngineImage();
    const EngineImage patched = stock.earlierPatched(GetParam().patch);
    ASSERT_NE(stock.bytes(), patched.bytes());
    const lkm::Image image = patched.image();
    const lkm::Layout layout = lkm::inspect(image);
    EXPECT_EQ(stock.bytes(), normalizedBytes(image, layout));
    // The same places as in the stock image; the bytes found there are the patch's.
    lkm::Layout expected = lkm::inspect(stock.image());
    expected.aspect = GetParam().patch.aspect;
    expected.original = layout.original;
    expected.normalized = layout.normalized;
    EXPECT_EQ("", layoutDifferences(layout, expected));
    EXPECT_EQ("", layoutDifferences(layout, patched.expectedLayout()));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, InspectEarlierPatch,
                         testing::Values(EarlierCase{"wide1920x1080", {16.0f / 9.0f, 1365.3334f, 768.0f}},
                                         EarlierCase{"tall1280x1024", {1.25f, 1024.0f, 819.2f}},
                                         EarlierCase{"stockCanvas", {4.0f / 3.0f, 1024.0f, 768.0f}},
                                         EarlierCase{"ultrawide", {64.0f / 27.0f, 1820.4445f, 768.0f}}),
                         [](const testing::TestParamInfo<EarlierCase>& test) { return test.param.name; });

TEST(InspectStock, EngineInsideALargeCodeSection) {
    const EngineImage engine = makeEngineImage(largeEngineConfig(4u << 20));
    EXPECT_EQ("", layoutDifferences(lkm::inspect(engine.image()), engine.expectedLayout()));
    const EngineImage patched = engine.earlierPatched();
    const lkm::Image image = patched.image();
    EXPECT_EQ(engine.bytes(), normalizedBytes(image, lkm::inspect(image)));
}

TEST(InspectStock, EngineEmbeddedInCallerCode) {
    const EngineConfig config = largeEngineConfig(1u << 20);
    std::vector<uint8_t> code(config.codeSize);
    uint32_t state = 0x2545F491;
    for (uint8_t& byte : code) {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        byte = uint8_t(state);
    }
    const EngineImage engine = makeEngineImage(config, code);
    const std::vector<uint8_t> bytes = engine.bytes();
    // The caller's bytes stay wherever no shape lies, e.g. at the start of .text.
    EXPECT_TRUE(std::equal(code.begin(), code.begin() + 0x1000,
                           bytes.begin() + static_cast<std::ptrdiff_t>(engine.places.code)));
    EXPECT_EQ("", layoutDifferences(lkm::inspect(engine.image()), engine.expectedLayout()));
}

// Every byte of every recognised shape, set to 00 and to FF in turn: recognition
// returns a layout or throws a standard exception, and never reads outside the
// image (the sanitizer build runs this too).
TEST(InspectStock, CorruptedShapesFailCleanly) {
    const EngineImage stock = makeEngineImage();
    const EnginePlaces& p = stock.places;
    const std::vector<std::pair<uint32_t, uint32_t>> shapes = {{p.cameraSite, 47},
                                                               {p.rootConstructorSite, 47},
                                                               {p.initializerStub, 8},
                                                               {p.horizontalForward, 0x80},
                                                               {p.mouseMapping, 65},
                                                               {p.xresSite, 27},
                                                               {p.fovSite, 27},
                                                               {p.fullscreenSite, 24},
                                                               {p.integerConstructor, 0x40},
                                                               {p.booleanConstructor, 0x40},
                                                               {p.integerSetter, 60},
                                                               {p.booleanSetter, 60},
                                                               {p.perspectiveThunk, 6}};
    int failures = 0, runs = 0;
    for (const auto& [start, length] : shapes) {
        for (uint32_t i = 0; i < length; i += 3) {
            for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF)}) {
                EngineImage engine = stock;
                engine.pe.bytes(start + i, {value});
                ++runs;
                if (!inspectFailure(engine.image()).empty()) ++failures;
            }
        }
    }
    // Most single-byte changes of a recognised shape must be refused.
    EXPECT_GT(failures, runs / 2);
}
