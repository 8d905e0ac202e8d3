// lkm::Image on arbitrary bytes. The first 4 bytes of the input are the load
// address (little-endian), the rest is the mapped image. Construction either
// refuses with one of the engine's sentences or yields an image whose section
// list and import map keep their invariants; the bounded accessors are then
// probed at the edges of the image and of every section and import slot, and
// compared with plain restatements of their rules. The loader names are read
// from every input, built or refused.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bodies.hpp"
#include "check.hpp"
#include "lkm/image.hpp"
#include "lkm/loader_names.hpp"

namespace lkm::fuzz {

namespace {

constexpr uint32_t maxSections = 96;

// The sentence a call raises, or "" when it returns; anything but a refusal is a finding.
template <class F>
std::string outcome(F&& call) {
    try {
        call();
    } catch (const std::exception& error) {
        LKMFUZZ_CHECK(isRefusal(error),
                      "an accessor throws only the engine's sentences, not " + describe(error));
        return error.what();
    }
    return "";
}

std::string expectedString(const std::vector<uint8_t>& bytes, uint32_t offset, std::string& text) {
    if (offset >= bytes.size()) return "Invalid image string.";
    for (uint64_t p = offset; p < bytes.size() && p < uint64_t(offset) + 512; ++p) {
        if (bytes[p] == 0) {
            text.assign(bytes.begin() + offset, bytes.begin() + std::ptrdiff_t(p));
            return "";
        }
    }
    return "Unterminated image string.";
}

bool expectedWritable(const lkm::Image& image, uint32_t offset, uint32_t length) {
    for (const lkm::Section& s : image.sections)
        if ((s.characteristics & lkm::sectionWrite) && s.rva <= offset &&
            uint64_t(offset) + length <= uint64_t(s.rva) + s.size)
            return true;
    return false;
}

void probeOffset(const lkm::Image& image, const std::vector<uint8_t>& bytes, uint32_t offset) {
    const uint64_t size = image.bytes.size();
    const uint32_t base = image.base;

    uint32_t address = 0;
    const bool addressable = offset < size && uint64_t(base) + offset <= UINT32_MAX;
    LKMFUZZ_CHECK(outcome([&] { address = image.address(offset); }) ==
                      (addressable ? "" : "Invalid engine address."),
                  "Image::address refuses exactly the offsets outside the image or past 2^32");
    if (addressable) LKMFUZZ_CHECK(address == base + offset, "Image::address adds the base");

    // The same number taken as an address.
    uint32_t back = 0;
    const bool inside = offset >= base && offset - base < size;
    LKMFUZZ_CHECK(outcome([&] { back = image.offset(offset); }) ==
                      (inside ? "" : "Engine pointer is outside the main module."),
                  "Image::offset refuses exactly the addresses outside the module");
    if (inside) LKMFUZZ_CHECK(back == offset - base, "Image::offset subtracts the base");

    std::string text, expectedText;
    const std::string stringError = expectedString(bytes, offset, expectedText);
    LKMFUZZ_CHECK(outcome([&] { text = image.stringAt(offset); }) == stringError,
                  "Image::stringAt follows the string rule");
    if (stringError.empty())
        LKMFUZZ_CHECK(text == expectedText, "Image::stringAt returns the bytes before the zero");

    std::string branchError;
    if (offset >= size || (image.bytes[offset] != 0xE8 && image.bytes[offset] != 0xE9))
        branchError = "Expected an x86 branch.";
    else if (!addressable)
        branchError = "Invalid engine address.";
    else if (size - offset < 5)
        branchError = "Invalid image range.";
    uint32_t target = 0;
    LKMFUZZ_CHECK(outcome([&] { target = image.branch(offset); }) == branchError,
                  "Image::branch refuses exactly what its rule refuses");
    if (branchError.empty())
        LKMFUZZ_CHECK(target == uint32_t(base + offset + 5 + lkm::read<uint32_t>(image.bytes, offset + 1)),
                      "Image::branch adds the displacement to the end of the instruction");

    for (uint32_t length : {0u, 1u, 4u, 112u, 0xFFFFFFFFu})
        LKMFUZZ_CHECK(image.writable(offset, length) == expectedWritable(image, offset, length),
                      "Image::writable finds the range inside one writable section");
}

void checkImage(const lkm::Image& image, uint32_t headerSections) {
    const uint64_t size = image.bytes.size();
    LKMFUZZ_CHECK(image.sections.size() == headerSections, "one section record per section-table entry");
    LKMFUZZ_CHECK(headerSections >= 1 && headerSections <= maxSections, "1 to 96 sections");
    for (const lkm::Section& s : image.sections)
        LKMFUZZ_CHECK(s.rva <= size && uint64_t(s.rva) + s.size <= size,
                      "every section lies inside the bytes");
    for (const auto& [key, text] : image.imports) {
        LKMFUZZ_CHECK(key >= image.base && key - image.base < size, "every import key is base + s, s < size");
        LKMFUZZ_CHECK(text.find('!') != std::string::npos, "every import text is DLL!function");
    }

    std::vector<uint32_t> probes = {0,
                                    1,
                                    0x3C,
                                    uint32_t(size - 1),
                                    uint32_t(size),
                                    uint32_t(size - 4),
                                    uint32_t(size + 1),
                                    0xFFFFFFFF,
                                    image.base,
                                    uint32_t(image.base + size)};
    for (const lkm::Section& s : image.sections) {
        probes.insert(probes.end(), {s.rva, s.rva + s.size, s.rva + s.size - 1, s.rva + s.size - 5});
        if (s.rva + 4ull <= size) probes.push_back(lkm::read<uint32_t>(image.bytes, s.rva));
    }
    for (const auto& entry : image.imports)
        probes.insert(probes.end(), {entry.first, entry.first - image.base});
    if (probes.size() > 256) probes.resize(256);
    const std::vector<uint8_t> bytes = image.bytes.all();
    for (uint32_t probe : probes) probeOffset(image, bytes, probe);
}

// The outcome of building an image: the refusal, or its sections and imports.
template <class Build>
std::string built(Build&& build, std::optional<lkm::Image>& image) {
    try {
        image.emplace(build());
    } catch (const std::exception& error) {
        LKMFUZZ_CHECK(isRefusal(error),
                      "construction throws only the engine's sentences, not " + describe(error));
        return error.what();
    }
    std::string shape;
    for (const lkm::Section& s : image->sections)
        shape += std::to_string(s.rva) + "+" + std::to_string(s.size) + "/" +
                 std::to_string(s.characteristics) + " ";
    for (const auto& [key, text] : image->imports) shape += std::to_string(key) + "=" + text + " ";
    return shape;
}

// The loader names of any bytes: no failure, names of lkm::loaderNames in its order, each once.
std::vector<std::string> checkedLoaderNames(const lkm::ImageBytes& bytes) {
    std::vector<std::string> names;
    LKMFUZZ_CHECK(outcome([&] { names = lkm::importedLoaderNames(bytes); }).empty(),
                  "the loader names never fail");
    std::size_t next = 0;
    for (const std::string& name : names) {
        while (next < lkm::loaderNames.size() && name != lkm::loaderNames[next]) ++next;
        LKMFUZZ_CHECK(next++ < lkm::loaderNames.size(), "loader names in the list's order, each once");
    }
    return names;
}

// Unreadable ranges drawn from the input's last bytes: up to four, each inside the image.
std::vector<lkm::Run> unreadableRanges(const std::vector<uint8_t>& bytes) {
    std::vector<lkm::Run> ranges;
    const std::size_t size = bytes.size();
    if (size < 16) return ranges;
    uint32_t at = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        const uint8_t* draw = bytes.data() + size - 2 * (k + 1);
        at += uint32_t(draw[0]) * 97 % uint32_t(size);
        const uint32_t length = std::min<uint32_t>(uint32_t(draw[1]) * 31,
                                                   uint32_t(size) - std::min<uint32_t>(at, uint32_t(size)));
        if (at >= size || length == 0) break;
        ranges.push_back({at, length});
        at += length + 1;
    }
    return ranges;
}

} // namespace

int image(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const uint32_t base =
        uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    std::vector<uint8_t> bytes(data + 4, data + size);
    std::optional<lkm::Image> owned;
    checkedLoaderNames(lkm::ImageBytes(bytes));
    if (!built([&] { return lkm::Image(bytes, base); }, owned).empty() && !owned) return 0;
    LKMFUZZ_CHECK(owned->bytes.all() == bytes && owned->base == base, "the image keeps its bytes and base");
    // Construction succeeded, so the header fields it read are inside the bytes.
    const uint32_t e = lkm::read<uint32_t>(bytes, 0x3C);
    checkImage(*owned, lkm::read<uint16_t>(bytes, e + 6));

    // Read in place with unreadable ranges, which hold other bytes and must
    // never be read: the same as owning the bytes with zeros there.
    const std::vector<lkm::Run> holes = unreadableRanges(bytes);
    std::vector<uint8_t> zeroed = bytes, garbled = bytes;
    for (const lkm::Run& hole : holes)
        for (uint32_t i = hole.offset; i < hole.offset + hole.length; ++i) zeroed[i] = 0, garbled[i] = 0xA5;
    std::optional<lkm::Image> expected, inPlace;
    const std::string shape = built([&] { return lkm::Image(zeroed, base); }, expected);
    LKMFUZZ_CHECK(
        built(
            [&] { return lkm::Image(lkm::ImageBytes::inPlace(garbled.data(), garbled.size(), holes), base); },
            inPlace) == shape,
        "an image read in place builds as the image with its unreadable ranges zero");
    LKMFUZZ_CHECK(checkedLoaderNames(lkm::ImageBytes::inPlace(garbled.data(), garbled.size(), holes)) ==
                      checkedLoaderNames(lkm::ImageBytes(zeroed)),
                  "the loader names read unreadable ranges as zeros");
    if (inPlace) {
        LKMFUZZ_CHECK(inPlace->bytes.all() == zeroed, "unreadable ranges read as zeros");
        LKMFUZZ_CHECK(inPlace->find("00 ?? 00") == expected->find("00 ?? 00") &&
                          inPlace->find("A5") == expected->find("A5"),
                      "the search reads unreadable ranges as zeros");
    }
    return 0;
}

} // namespace lkm::fuzz
