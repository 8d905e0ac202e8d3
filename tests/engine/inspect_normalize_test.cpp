// Step 6: the normalised copy puts every recognised place back to stock, for
// partial earlier patches as well as for the complete one.
#include <gtest/gtest.h>

#include <functional>

#include "engine_image.hpp"
#include "lkm/inspect.hpp"

using namespace lkm::test;

namespace {

// Offsets at which two equally long byte vectors differ.
std::vector<uint32_t> differences(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i]) out.push_back(i);
    return out;
}

struct PartialCase {
    const char* name;
    std::function<void(EngineImage&)> patch;
};

} // namespace

class InspectNormalizePartial : public testing::TestWithParam<PartialCase> {};

TEST_P(InspectNormalizePartial, RestoresTheStockBytes) {
    const EngineImage stock = makeEngineImage();
    EngineImage engine = stock;
    GetParam().patch(engine);
    ASSERT_NE(stock.bytes(), engine.bytes());
    const lkm::Image image = engine.image();
    const lkm::Layout layout = lkm::inspect(image);
    EXPECT_EQ(std::vector<uint32_t>{}, differences(stock.bytes(), normalizedBytes(image, layout)));
}

INSTANTIATE_TEST_SUITE_P(
    Patches, InspectNormalizePartial,
    testing::Values(
        PartialCase{"aspectOnly", [](EngineImage& e) { e.pe.f32(e.places.aspectOperand, 2.3703704f); }},
        PartialCase{
            "rootSizeOnly",
            [](EngineImage& e) { e.pe.f32(e.places.rootWidth, 1280.0f).f32(e.places.rootHeight, 800.0f); }},
        PartialCase{"consistentHorizontalScales",
                    [](EngineImage& e) {
                        const EnginePlaces& p = e.places;
                        e.pe.f32(p.horizontalScale, 1280.0f).f32(p.horizontalReciprocal, 1.0f / 1280);
                        e.pe.f32(p.mouseHorizontalScale, 1280.0f);
                    }},
        PartialCase{"verticalScaleWithReciprocalInPlace",
                    [](EngineImage& e) {
                        const EnginePlaces& p = e.places;
                        e.pe.f32(p.verticalScale, 960.0f).f32(p.verticalReciprocal, 1.0f / 960);
                        e.pe.f32(p.mouseVerticalScale, 960.0f);
                    }},
        PartialCase{"trampolinesOnly",
                    [](EngineImage& e) {
                        const EnginePlaces& p = e.places;
                        e.routeRootCall({{p.horizontalSpace, 0x04}, {p.verticalSpace, 0x08}});
                    }}),
    [](const testing::TestParamInfo<PartialCase>& test) { return test.param.name; });

TEST(InspectNormalize, EarlierPatchChangesExactlyThePlacesNormalizationRestores) {
    const EngineImage stock = makeEngineImage();
    const EngineImage patched = stock.earlierPatched();
    const EnginePlaces& p = stock.places;
    // Every changed byte lies in a place the layout names.
    std::vector<std::pair<uint32_t, uint32_t>> places = {{p.aspectOperand, 4},
                                                         {p.horizontalScale, 4},
                                                         {p.verticalScale, 4},
                                                         {p.horizontalReciprocal, 4},
                                                         {p.mouseHorizontalScale, 4},
                                                         {p.mouseVerticalScale, 4},
                                                         {p.rootWidth, 4},
                                                         {p.rootHeight, 4},
                                                         {p.rootInitializerCall, 5},
                                                         {p.horizontalSpace, 15},
                                                         {p.verticalSpace, 15},
                                                         {p.reciprocalSpace, 15}};
    for (uint32_t reference : p.verticalReferences) places.push_back({reference, 4});
    for (uint32_t at : differences(stock.bytes(), patched.bytes())) {
        bool named = false;
        for (const auto& [start, length] : places) named = named || (at >= start && at - start < length);
        EXPECT_TRUE(named) << std::hex << at;
    }
    const lkm::Image image = patched.image();
    EXPECT_EQ(stock.bytes(), normalizedBytes(image, lkm::inspect(image)));
}

TEST(InspectNormalize, ReciprocalSharedWithOtherCodeStaysStock) {
    const EngineImage patched = makeEngineImage().earlierPatched();
    const lkm::Image image = patched.image();
    const lkm::Layout layout = lkm::inspect(image);
    const std::vector<uint8_t> normalized = normalizedBytes(image, layout);
    const EnginePlaces& p = patched.places;
    EXPECT_EQ(patched.address(p.verticalReciprocal), lkm::read<uint32_t>(normalized, p.sharedReference));
    for (uint32_t reference : layout.verticalReferences)
        EXPECT_EQ(patched.address(p.verticalReciprocal), lkm::read<uint32_t>(normalized, reference));
    EXPECT_EQ(stockHeightReciprocalBits, lkm::read<uint32_t>(normalized, p.verticalReciprocal));
}
