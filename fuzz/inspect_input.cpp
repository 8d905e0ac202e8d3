#include "inspect_input.hpp"

#include <algorithm>
#include <array>
#include <memory>

namespace lkm::fuzz::inspect_input {

Input decode(const uint8_t* data, std::size_t size) {
    Input input;
    if (size == 0) return input;
    input.variant = data[0] % variantCount;
    std::size_t at = 1;
    while (size - at >= 5) {
        const std::size_t length = data[at];
        const uint32_t offset = uint32_t(data[at + 1]) | uint32_t(data[at + 2]) << 8 |
                                uint32_t(data[at + 3]) << 16 | uint32_t(data[at + 4]) << 24;
        at += 5;
        const std::size_t taken = std::min(length, size - at);
        input.edits.push_back({offset, std::vector<uint8_t>(data + at, data + at + taken)});
        at += taken;
    }
    return input;
}

std::vector<uint8_t> encode(const Input& input) {
    std::vector<uint8_t> out{input.variant};
    for (const Edit& edit : input.edits) {
        const std::size_t length = std::min<std::size_t>(edit.bytes.size(), 255);
        out.push_back(uint8_t(length));
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(edit.offset >> (8 * i)));
        out.insert(out.end(), edit.bytes.begin(), edit.bytes.begin() + std::ptrdiff_t(length));
    }
    return out;
}

namespace {

std::unique_ptr<Engine> make(uint8_t variant) {
    using Patch = lkm::test::EngineImage::EarlierPatch;
    const lkm::test::EngineImage stockImage = lkm::test::makeEngineImage();
    // aspect, virtual canvas width and height an earlier patch for that screen shape leaves
    const std::array<Patch, variantCount> patches{{
        {},
        {16.0f / 9.0f, 1365.3334f, 768.0f},
        {16.0f / 10.0f, 1228.8f, 768.0f},
        {5.0f / 4.0f, 1024.0f, 819.2f},
        {21.0f / 9.0f, 1792.0f, 768.0f},
    }};
    lkm::test::EngineImage image =
        variant == stock ? stockImage : stockImage.earlierPatched(patches[variant]);
    std::vector<uint8_t> bytes = image.bytes();
    lkm::Layout expected = image.expectedLayout();
    return std::unique_ptr<Engine>(new Engine{std::move(image), std::move(bytes), std::move(expected)});
}

} // namespace

const Engine& engine(uint8_t variant) {
    static std::array<std::unique_ptr<Engine>, variantCount> engines;
    std::unique_ptr<Engine>& slot = engines[variant % variantCount];
    if (!slot) slot = make(variant % variantCount);
    return *slot;
}

void apply(const Input& input, std::vector<uint8_t>& bytes) {
    const uint32_t size = uint32_t(bytes.size());
    for (const Edit& edit : input.edits) {
        const uint32_t at = place(edit.offset, size);
        const std::size_t count = std::min<std::size_t>(edit.bytes.size(), size - at);
        std::copy(edit.bytes.begin(), edit.bytes.begin() + std::ptrdiff_t(count), bytes.begin() + at);
    }
}

} // namespace lkm::fuzz::inspect_input
