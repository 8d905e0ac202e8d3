// The engine's file mapping (lkm::mapFile) on arbitrary file bytes. The
// outcome must equal that of a plain restatement of the loader's rules, read
// byte by byte at 64-bit positions: the same refusal (a FileError of the same
// kind and sentence, nothing else), or the same base, section records and
// image. The image is compared byte for byte up to 16 MiB of SizeOfImage;
// above that only its length is. The PE limits are restated on purpose, as an
// independent check of the engine's constants.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bodies.hpp"
#include "check.hpp"
#include "lkm/mapped_file.hpp"

namespace lkm::fuzz {

namespace {

using Kind = lkm::FileError::Kind;

constexpr uint64_t comparedImageSize = 16u << 20;

struct Outcome {
    Kind kind = Kind::unreadable; // unused when the file maps
    std::string refusal;          // "" when the file maps
    uint32_t imageSize = 0;
    lkm::MappedFile mapped{{}, 0, {}}; // its image only when compared
};

struct File {
    const uint8_t* data;
    uint64_t size;
    bool has(uint64_t at, uint64_t width) const { return at + width <= size; } // at < 2^33: no wrap
    uint32_t le(uint64_t at, unsigned width) const {
        uint32_t value = 0;
        for (unsigned i = 0; i < width; ++i) value |= uint32_t(data[at + i]) << (8 * i);
        return value;
    }
};

Outcome refused(Kind kind, const std::string& sentence) {
    Outcome outcome;
    outcome.kind = kind;
    outcome.refusal = sentence;
    return outcome;
}

Outcome truncated(const char* part) {
    return refused(Kind::truncated,
                   std::string("truncated file: ") + part + " lies past the end of the file");
}

Outcome restated(const File& f, bool compareImage) {
    if (f.size == 0) return refused(Kind::notPe, "not a PE file: the file is empty");
    if (!f.has(0, 2) || f.le(0, 2) != 0x5A4D) return refused(Kind::notPe, "not a PE file: no MZ header");
    if (!f.has(0x3C, 4)) return truncated("the DOS header");
    const uint64_t pe = f.le(0x3C, 4);
    if (!f.has(pe, 4)) return truncated("the PE header");
    if (f.le(pe, 4) != 0x4550) return refused(Kind::notPe, "not a PE file: no PE signature");
    if (!f.has(pe + 4, 2)) return truncated("the PE header");
    if (f.le(pe + 4, 2) != 0x014C)
        return refused(Kind::unsupported, "not a 32-bit x86 executable: wrong machine type");
    if (!f.has(pe + 6, 0x10)) return truncated("the PE header"); // section count .. optional header size
    if (!f.has(pe + 0x18, 2)) return truncated("the optional header");
    if (f.le(pe + 0x18, 2) != 0x010B)
        return refused(Kind::unsupported, "not a 32-bit x86 executable: the optional header is not PE32");
    if (!f.has(pe + 0x18, 0x40)) return truncated("the optional header"); // .. SizeOfHeaders
    const uint32_t count = f.le(pe + 6, 2), sizeOfImage = f.le(pe + 0x50, 4);
    if (sizeOfImage < 0x1000 || sizeOfImage > 0x0FFFFFFF)
        return refused(Kind::unsupported, "unsupported image size");
    if (count == 0 || count > 96) return refused(Kind::unsupported, "unsupported number of sections");

    Outcome outcome;
    outcome.imageSize = sizeOfImage;
    outcome.mapped.base = f.le(pe + 0x34, 4);
    std::vector<uint8_t>& image = outcome.mapped.image;
    if (compareImage) {
        image.assign(sizeOfImage, 0);
        const uint64_t headers = std::min<uint64_t>({f.le(pe + 0x54, 4), sizeOfImage, f.size});
        std::copy(f.data, f.data + headers, image.begin());
    }
    const uint64_t table = pe + 0x18 + f.le(pe + 0x14, 2);
    for (uint64_t entry = table; entry < table + 40 * count; entry += 40) {
        if (!f.has(entry, 40)) return truncated("the section table");
        const std::string name(reinterpret_cast<const char*>(f.data + entry),
                               size_t(std::find(f.data + entry, f.data + entry + 8, 0) - (f.data + entry)));
        const uint32_t virtualSize = f.le(entry + 8, 4), rva = f.le(entry + 12, 4);
        const uint32_t rawSize = f.le(entry + 16, 4), rawOffset = f.le(entry + 20, 4);
        const uint32_t characteristics = f.le(entry + 36, 4);
        const uint32_t size = std::max(virtualSize, rawSize);
        if (uint64_t(rva) + size > sizeOfImage)
            return refused(Kind::inconsistent, "section " + name + " lies past the end of the image");
        const uint32_t copied = virtualSize == 0 ? rawSize : std::min(virtualSize, rawSize);
        if (copied != 0 && uint64_t(rawOffset) + copied > f.size)
            return refused(Kind::truncated,
                           "truncated file: section " + name + " lies past the end of the file");
        if (compareImage) std::copy(f.data + rawOffset, f.data + rawOffset + copied, image.begin() + rva);
        outcome.mapped.sections.push_back({name, rva, size, rawOffset, copied, characteristics});
    }
    return outcome;
}

bool sameSections(const std::vector<lkm::SectionName>& a, const std::vector<lkm::SectionName>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.name == y.name && x.rva == y.rva && x.size == y.size && x.rawOffset == y.rawOffset &&
               x.rawCopied == y.rawCopied && x.characteristics == y.characteristics;
    });
}

} // namespace

int mapping(const uint8_t* data, std::size_t size) {
    const std::vector<uint8_t> file(data, data + size);
    lkm::MappedFile mapped{{}, 0, {}};
    try {
        mapped = lkm::mapFile(file);
    } catch (const lkm::FileError& error) {
        const Outcome expected = restated({data, size}, false);
        LKMFUZZ_CHECK(error.what() == expected.refusal && error.kind == expected.kind,
                      "mapFile refuses with the rules' sentence \"" + expected.refusal + "\", not \"" +
                          error.what() + "\"");
        return 0;
    } catch (const std::exception& error) {
        violated("mapFile throws only FileError, not " + describe(error), __FILE__, __LINE__);
    }
    const Outcome expected = restated({data, size}, mapped.image.size() <= comparedImageSize);
    LKMFUZZ_CHECK(expected.refusal.empty(), "mapFile maps only what the rules map, not: " + expected.refusal);
    LKMFUZZ_CHECK(mapped.image.size() == expected.imageSize, "the image is SizeOfImage bytes long");
    LKMFUZZ_CHECK(mapped.base == expected.mapped.base, "the base is the header's ImageBase");
    LKMFUZZ_CHECK(sameSections(mapped.sections, expected.mapped.sections),
                  "every section record is the table's entry");
    if (mapped.image.size() <= comparedImageSize)
        LKMFUZZ_CHECK(
            mapped.image == expected.mapped.image,
            "the image holds the headers and each section's raw data at its address, zero elsewhere");
    return 0;
}

} // namespace lkm::fuzz
