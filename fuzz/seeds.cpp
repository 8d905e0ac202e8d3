// Writes the seed corpus of every fuzz target from the test fixtures:
//   fuzz_seeds <corpus folder>
// image/    small mapped images laid out with the PE builder, load address first
// inspect/  the synthetic engine, stock and as four earlier patches left it, and
//           edits that make recognition refuse at its different steps
// find/     the engine's own signatures at the edges of the small image's sections
// mapping/  small executable files and edits that reach each refusal of the mapping
// option/   INI values at the edges of the option rules (option_input.hpp)
// Every file the fuzzers found worth keeping is committed beside these seeds
// under a name that says what it pins.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine_image.hpp"
#include "inspect_input.hpp"
#include "lkm/signatures.hpp"
#include "pe_builder.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

std::string folder;

void write(const std::string& target, const std::string& name, const Bytes& bytes) {
    const std::string path = folder + "/" + target + "/seed-" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

void writeText(const std::string& target, const std::string& name, const std::string& text) {
    write(target, name, Bytes(text.begin(), text.end()));
}

Bytes withBase(uint32_t base, const Bytes& image) {
    Bytes out;
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(base >> (8 * i)));
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

Bytes smallImage(uint32_t base) {
    using namespace lkm::test;
    PeBuilder pe(0x600, base);
    pe.section(".text", 0x200, 0x100, codeSection)
        .section(".data", 0x300, 0x80, dataSection, 0x100)
        .section(".idata", 0x400, 0x200, dataSection);
    pe.imports(0x400, {{"LarkRender.dll", {"?PerspectiveToAngles@VisRenderer_cl@@QBEXMMAAM0@Z", "#12"}},
                       {"KERNEL32.dll", {"Sleep"}}});
    pe.hex(0x200, "E8 FB FF FF FF E9 00 00 00 00 FF 25 00 00 00 00 C3");
    pe.text(0x300, "r_xres");
    return pe.build();
}

void imageSeeds() {
    write("image", "small", withBase(0x00400000, smallImage(0x00400000)));
    // base + size reaches 2^32: the last slot addresses are the highest there are
    write("image", "near-top", withBase(0xFFFFFA00, smallImage(0xFFFFFA00)));
    Bytes noImports = smallImage(0x00400000);
    lkm::put<uint32_t>(noImports, lkm::test::importDirectoryField, 0);
    write("image", "no-imports", withBase(0x00400000, noImports));
    // a string that runs into the image end without a terminator
    Bytes tail = smallImage(0x00400000);
    std::fill(tail.end() - 16, tail.end(), uint8_t('A'));
    write("image", "unterminated-tail", withBase(0x00400000, tail));
    // an ordinal first, then a name whose slot lies past 2^32 - 1
    lkm::test::PeBuilder pe(0x600, 0x00400000);
    pe.section(".text", 0x200, 0x100, lkm::test::codeSection)
        .section(".idata", 0x400, 0x200, lkm::test::dataSection);
    pe.imports(0x400, {{"KERNEL32.dll", {"#1", "Sleep"}}});
    pe.u32(0x400 + 16, 0xFFFFFFFC);
    write("image", "slot-past-top", withBase(0x00400000, pe.build()));
}

void inspectSeeds() {
    using namespace lkm::fuzz::inspect_input;
    const char* variants[] = {"stock", "earlier-16x9", "earlier-16x10", "earlier-5x4", "earlier-21x9"};
    for (uint8_t v = 0; v < variantCount; ++v) write("inspect", variants[v], encode({v, {}}));

    const Engine& stockEngine = engine(stock);
    const lkm::test::EnginePlaces& p = stockEngine.image.places;
    const Bytes& bytes = stockEngine.bytes;
    auto word = [](uint32_t value) {
        return Bytes{uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    };
    auto copyOf = [&](uint32_t from, uint32_t length) {
        return Bytes(bytes.begin() + from, bytes.begin() + from + length);
    };
    auto edit = [&](const char* name, uint8_t variant, std::vector<Edit> edits) {
        for (Edit& e : edits) e.offset = storedOffset(e.offset);
        write("inspect", name, encode({variant, std::move(edits)}));
    };
    // the copy's call at +27 re-aimed at the perspective thunk: two true sites
    const uint32_t base = stockEngine.image.config.base;
    edit("camera-site-twice", stock,
         {{p.spareCode, copyOf(p.cameraSite, 43)},
          {p.spareCode + 27, {0xE8}},
          {p.spareCode + 28, word(p.perspectiveThunk - (p.spareCode + 32))}});
    edit("camera-site-copied", stock, {{p.spareCode, copyOf(p.cameraSite, 43)}});
    edit("aspect-nan", stock, {{p.aspectOperand, word(0x7FC00000)}});
    edit("aspect-16x9-earlier-16x10", wide16x10, {{p.aspectOperand, word(0x3FE38E39)}});
    edit("horizontal-space-occupied", stock, {{p.horizontalSpace + 3, {0x90}}});
    edit("reciprocal-space-occupied", wide16x9, {{p.reciprocalSpace + 6, {0x00}}});
    edit("focal-default-zero", stock, {{p.fovSite + 8, word(0)}});
    edit("xres-object-outside-data", stock, {{p.xresSite + 18, word(base + p.idata + 0xF90)}});
    edit("setter-body-changed", stock, {{p.setters[2] + 7, {0xC3}}});
    edit("root-call-to-decoy", stock, {{p.rootInitializerCall + 1, word(0x100)}});
    edit("perspective-slot-to-other", stock, {{p.perspectiveThunk + 2, word(p.otherSlot)}});
    edit("vertical-reference-removed", wide16x9,
         {{p.verticalReferences[1] - 2, {0x90, 0x90, 0x90, 0x90, 0x90, 0x90}}});
    edit("mouse-scale-disagrees", stock, {{p.mouseVerticalScale, word(0x44500000)}});
    edit("import-table-cut", stock, {{p.idata, Bytes(20, 0)}});
}

// find: input byte i lands at image offset 0x1000 + i (find_body.cpp). Each
// signature on int3 filler at the start of .text, inside .inner (twice when
// it fits), across the end of .text, in .data and at the image end.
void findSeeds() {
    using namespace lkm::signature;
    const std::pair<const char*, const char*> signatures[] = {{"camera", cameraProjection.text},
                                                              {"root-gui", rootGuiConstructor.text},
                                                              {"forward", forwardConversion.text},
                                                              {"inverse", inverseConversion.text},
                                                              {"mouse", mouseMapping.text},
                                                              {"int-cvar", intCvarConstruction.text},
                                                              {"bool-cvar", boolCvarConstruction.text},
                                                              {"exception-prologue", exceptionPrologue.text}};
    for (const auto& [name, signature] : signatures) {
        Bytes pattern; // wildcards as 00
        std::istringstream words(signature);
        for (std::string word; words >> word;)
            pattern.push_back(word == "??" ? 0 : uint8_t(std::stoi(word, nullptr, 16)));
        const uint32_t n = uint32_t(pattern.size());
        Bytes input(0x1000, 0xCC);
        for (uint32_t at : {0x0u, 0x80u, 0x300u - n / 2, 0x480u, 0x1000u - n})
            std::copy(pattern.begin(), pattern.end(), input.begin() + at);
        write("find", name, input);
    }
}

// mapping: a small file with its headers in 0x200 bytes and each section's raw
// data after them, and edits that reach each of the mapping's refusals.
Bytes smallFile() {
    using namespace lkm::test;
    PeBuilder pe(0x3000);
    pe.section(".text", 0x1000, 0x180, codeSection, 0x200)   // raw larger than virtual: 0x180 mapped
        .section(".data", 0x2000, 0x800, dataSection, 0x100) // virtual larger: zeros after the raw data
        .section(".bss", 0x2800, 0, dataSection, 0x80);      // VirtualSize 0: the raw size is mapped
    Bytes file = pe.build();
    file.resize(0x200);
    lkm::put<uint32_t>(file, peHeader + 0x54, 0x200); // SizeOfHeaders
    uint32_t raw = 0x200;
    for (uint32_t i = 0; i < 3; ++i) {
        lkm::put<uint32_t>(file, sectionTable + 40 * i + 20, raw);
        const uint32_t size = lkm::read<uint32_t>(file, sectionTable + 40 * i + 16);
        for (uint32_t k = 0; k < size; ++k) file.push_back(uint8_t(i * 0x40 + k));
        raw += size;
    }
    return file;
}

void mappingSeeds() {
    using namespace lkm::test;
    const Bytes small = smallFile();
    write("mapping", "small", small);
    auto edited = [&](const char* name, uint32_t offset, uint32_t value) {
        Bytes file = small;
        lkm::put<uint32_t>(file, offset, value);
        write("mapping", name, file);
    };
    const uint32_t bss = sectionTable + 80;
    edited("overlapping-sections", bss + 12, 0x1040);
    edited("headers-beyond-the-file", peHeader + 0x54, 0x1000);
    edited("lfanew-past-the-end", 0x3C, 0xFFFFFFF0);
    edited("pe32-plus", optionalHeader, 0x020B);
    edited("image-size-4095", sizeOfImageField, 0xFFF);
    edited("section-past-the-image", bss + 12, 0x2F90);
    edited("raw-data-past-the-file", bss + 20, uint32_t(small.size()) - 0x7F);
    edited("no-sections", peHeader + 4, 0x014C); // section count 0 in the upper half
    Bytes cut = small;                           // no raw data before the cut entry
    lkm::put<uint32_t>(cut, sectionTable + 16, 0);
    lkm::put<uint32_t>(cut, sectionTable + 56, 0);
    cut.resize(bss + 39);
    write("mapping", "section-table-cut", cut);
}

void optionSeeds() {
    // byte 0 = 0: the profile call's own result; = 1: the count in byte 1
    auto value = [](const char* name, const std::string& text) { writeText("option", name, '\0' + text); };
    value("plain", "1920");
    value("blanks-around", "  1920 \t ");
    value("plus", "+75");
    value("minus-one", "-1");
    value("missing", "<missing>");
    value("empty", "");
    value("unit", "1920px");
    value("hex", "0x780");
    value("eleven-nines", "99999999999");
    value("smallest-int", "-2147483648");
    value("largest-int-plus-one", "2147483648");
    value("126-characters", std::string(122, '0') + "1920");
    value("127-characters", std::string(123, '0') + "1920");
    value("vertical-tab-before", "\v\f\r\n42");
    writeText("option", "count-beyond-value", std::string("\x01\xC8") + "1920");
    // FFh and a 16-bit unit: an ideographic space, then an Arabic-Indic digit one
    write("option", "unicode-space-before", Bytes{0, 0xFF, 0x00, 0x30, '5'});
    write("option", "arabic-indic-digit", Bytes{0, 0xFF, 0x61, 0x06});
    write("option", "fullwidth-digits", Bytes{0, 0xFF, 0x11, 0xFF, 0xFF, 0x19, 0xFF});
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    folder = argv[1];
    imageSeeds();
    inspectSeeds();
    findSeeds();
    mappingSeeds();
    optionSeeds();
    return 0;
}
