// The image's bytes read in place: unreadable ranges read as zeros and are
// never touched, runs laid over them read as theirs, and each way of reading
// (a byte, a direct pointer, a copy, the search) agrees with a plain vector
// that holds the same bytes.
#include "lkm/image_bytes.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine_image.hpp"
#include "lkm/byte_runs.hpp"
#include "lkm/inspect.hpp"
#include "message_of.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

// What the view must read: `data` with zeros in `holes` and each run over that.
Bytes expectedBytes(Bytes data, const std::vector<lkm::Run>& holes, const std::vector<lkm::ByteRun>& runs) {
    for (const lkm::Run& hole : holes)
        std::fill_n(data.begin() + std::ptrdiff_t(hole.offset), hole.length, 0);
    for (const lkm::ByteRun& run : runs)
        std::copy(run.bytes.begin(), run.bytes.end(), data.begin() + std::ptrdiff_t(run.offset));
    return data;
}

// Every byte, every window's direct pointer, and copies across every boundary.
void expectReads(const lkm::ImageBytes& view, const Bytes& expected,
                 const std::vector<lkm::Run>& exceptions) {
    ASSERT_EQ(view.size(), expected.size());
    EXPECT_EQ(view.all(), expected);
    for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(view[i], expected[i]) << i;
    for (uint32_t from = 0; from < expected.size(); from += 3) {
        for (uint32_t length : {0u, 1u, 5u, 17u}) {
            if (from + length > expected.size()) continue;
            EXPECT_EQ(view.slice(from, length), Bytes(expected.begin() + std::ptrdiff_t(from),
                                                      expected.begin() + std::ptrdiff_t(from + length)));
            bool crosses = false;
            for (const lkm::Run& e : exceptions)
                crosses |= length != 0 && from < e.offset + e.length && e.offset < from + length;
            EXPECT_EQ(view.direct(from, length) != nullptr, !crosses) << from << "+" << length;
        }
    }
}

TEST(ImageBytes, UnreadableRangesReadAsZerosAndRunsOverThemReadAsTheirs) {
    std::mt19937 engine(77);
    const auto random = [&] { return uint32_t(engine()); };
    for (int round = 0; round < 40; ++round) {
        Bytes data(64 + random() % 64);
        for (uint8_t& b : data) b = uint8_t(1 + random() % 255);
        std::vector<lkm::Run> holes;
        for (uint32_t at = random() % 8; at + 6 < data.size(); at += 8 + random() % 24)
            holes.push_back({at, 1 + uint32_t(random() % 6)});
        std::vector<lkm::ByteRun> runs;
        for (uint32_t at = random() % 12; at + 6 < data.size(); at += 6 + random() % 30)
            runs.push_back({at, Bytes(1 + random() % 5, uint8_t(0xE0 + round % 16))});

        const lkm::ImageBytes view = lkm::ImageBytes::inPlace(data.data(), data.size(), holes);
        SCOPED_TRACE(round);
        expectReads(view, expectedBytes(data, holes, {}), holes);
        std::vector<lkm::Run> both = holes;
        for (const lkm::ByteRun& run : runs) both.push_back({run.offset, uint32_t(run.bytes.size())});
        expectReads(view.overlaid(runs), expectedBytes(data, holes, runs), lkm::mergedRanges(both));
    }
}

TEST(ImageBytes, CopiesOwnTheirBytesAndViewsStayViews) {
    const Bytes data = {1, 2, 3, 4, 5, 6};
    lkm::ImageBytes owned(data);
    const lkm::ImageBytes copy = owned;
    const lkm::ImageBytes moved = lkm::ImageBytes(owned);
    owned = lkm::ImageBytes(Bytes(6, 9));
    EXPECT_EQ(copy.all(), data);
    EXPECT_EQ(moved.all(), data);
    const lkm::ImageBytes view = lkm::ImageBytes::inPlace(data.data(), data.size(), {{2, 2}});
    const lkm::ImageBytes viewCopy = view;
    EXPECT_EQ(viewCopy.direct(0, 2), data.data());
    EXPECT_EQ(viewCopy.all(), (Bytes{1, 2, 0, 0, 5, 6}));
    EXPECT_THROW(viewCopy.at(6), std::out_of_range);
    EXPECT_EQ(lkm::test::messageOf([&] { viewCopy.slice(5, 2); }), "Invalid image range.");
}

// The engine image read in place, with unreadable pages in its code and
// garbage in them: recognition and the search see what an image with zeros
// there sees.
TEST(ImageBytes, ImageReadInPlaceIsTheImageWithZerosInItsHoles) {
    const lkm::test::EngineImage engine = lkm::test::makeEngineImage();
    Bytes garbled = engine.bytes(), zeroed = engine.bytes();
    const uint32_t spare = engine.places.spareCode;
    const std::vector<lkm::Run> holes = {{spare, 0x400}, {spare + 0x800, 0x200}};
    for (const lkm::Run& hole : holes)
        for (uint32_t i = 0; i < hole.length; ++i) {
            garbled[hole.offset + i] = 0xE8; // a call opcode everywhere, were it read
            zeroed[hole.offset + i] = 0;
        }
    const lkm::Image inPlace(lkm::ImageBytes::inPlace(garbled.data(), garbled.size(), holes),
                             engine.config.base);
    const lkm::Image plain(zeroed, engine.config.base);
    for (const char* signature : {"E8", "00 00 00 00", "64 A1 00 00 00 00 6A FF"})
        EXPECT_EQ(inPlace.find(signature), plain.find(signature)) << signature;
    EXPECT_EQ(lkm::test::layoutDifferences(lkm::inspect(inPlace), lkm::inspect(plain)), "");
}

} // namespace
