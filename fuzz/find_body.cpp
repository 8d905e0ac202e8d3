// Image::find with each of the engine's own signatures over a small image whose
// code the input supplies. The image's sections cover the awkward cases:
// adjacent executable sections, one nested in another, one of 3 bytes, one of
// 0, one whose raw size exceeds its virtual size, one ending at the image end,
// and data without the execute flag that holds the same kind of bytes. Input
// byte i lands at image offset 0x1000 + i (the import tables at 0x1800..0x1C00
// excepted); the rest keeps a fill from a small alphabet. The result must equal
// that of testing every position of every executable section in turn.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "bodies.hpp"
#include "check.hpp"
#include "lkm/image.hpp"
#include "lkm/signatures.hpp"
#include "pe_builder.hpp"

namespace lkm::fuzz {

namespace {

constexpr uint32_t base = 0x00400000;
constexpr uint32_t inputStart = 0x1000;
constexpr uint32_t importsStart = 0x1800, importsEnd = 0x1C00;

const std::vector<uint8_t>& smallImage() {
    static const std::vector<uint8_t> image = [] {
        using namespace lkm::test;
        PeBuilder pe(0x2000, base);
        pe.section(".text", 0x1000, 0x300, codeSection)
            .section(".text2", 0x1300, 0x100, codeSection) // starts where .text ends
            .section(".data", 0x1400, 0x200, dataSection)
            .section(".inner", 0x1080, 0x40, codeSection) // inside .text: its matches come twice
            .section(".tiny", 0x1600, 3, codeSection)
            .section(".empty", 0x1610, 0, codeSection)
            .section(".raw", 0x1620, 0x10, codeSection, 0x40) // size 0x40
            .section(".idata", 0x1800, 0x400, dataSection)
            .section(".end", 0x1F00, 0x100, codeSection); // ends at the image end
        pe.imports(0x1800, {{"K.dll", {"f"}}});
        // Bytes from a small alphabet, so that short patterns match here and
        // there, with runs in which overlapping matches pile up.
        const uint8_t alphabet[] = {0x00, 0x8B, 0xE8, 0xFF, 0xCC, 0x24, 0x44, 0xAB};
        uint32_t state = 0x2545F491;
        auto fill = [&](uint32_t begin, uint32_t end) {
            for (uint32_t p = begin; p < end; ++p) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                pe.bytes(p, {alphabet[state % 8]});
            }
        };
        fill(0x1000, 0x1600);
        fill(0x1600, 0x1660);
        fill(0x1F00, 0x2000);
        pe.fill(0x1100, 0x20, 0xAB).fill(0x12F8, 0x10, 0xCC).fill(0x1480, 0x10, 0xAB);
        return pe.build();
    }();
    return image;
}

// "??" a wildcard (-1), every other token a hexadecimal byte: the parser restated on purpose.
std::vector<int> pattern(const char* signature) {
    std::istringstream words(signature);
    std::vector<int> bytes;
    for (std::string word; words >> word;) bytes.push_back(word == "??" ? -1 : std::stoi(word, nullptr, 16));
    return bytes;
}

bool matchesAt(const lkm::Image& image, const std::vector<int>& pattern, uint64_t p) {
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] >= 0 && pattern[i] != image.bytes[p + i]) return false;
    return true;
}

std::vector<uint32_t> scan(const lkm::Image& image, const std::vector<int>& pattern) {
    std::vector<uint32_t> found;
    const uint64_t n = pattern.size();
    for (const lkm::Section& s : image.sections) {
        if (!(s.characteristics & lkm::sectionExecute) || s.size < n) continue;
        for (uint64_t p = s.rva; p + n <= uint64_t(s.rva) + s.size; ++p)
            if (matchesAt(image, pattern, p)) found.push_back(uint32_t(p));
    }
    return found;
}

} // namespace

int find(const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> bytes = smallImage();
    for (std::size_t i = 0; i < size && inputStart + i < bytes.size(); ++i)
        if (inputStart + i < importsStart || inputStart + i >= importsEnd) bytes[inputStart + i] = data[i];
    const lkm::Image image(std::move(bytes), base);

    for (const lkm::signature::Listed& signature : lkm::signature::all)
        LKMFUZZ_CHECK(image.find(signature.text) == scan(image, pattern(signature.text)),
                      std::string("find reports what the plain scan reports, in order, for ") +
                          signature.text);
    return 0;
}

} // namespace lkm::fuzz
