// Writes the seed corpus of every fuzz target from the test fixtures:
//   fuzz_seeds <corpus folder>
// image/    small mapped images laid out with the PE builder, load address first
// inspect/  the synthetic engine, stock and as four earlier patches left it, and
//           edits that make recognition refuse at its different steps
// find/     the engine's own signatures and texts at the edges of the token rules
// option/   INI values at the edges of the option rules (option_input.hpp)
// Every file the fuzzers found worth keeping is committed beside these seeds
// under a name that says what it pins.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
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
    using namespace lkmtest;
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
    lkm::put<uint32_t>(noImports, lkmtest::importDirectoryField, 0);
    write("image", "no-imports", withBase(0x00400000, noImports));
    // a string that runs into the image end without a terminator
    Bytes tail = smallImage(0x00400000);
    std::fill(tail.end() - 16, tail.end(), uint8_t('A'));
    write("image", "unterminated-tail", withBase(0x00400000, tail));
    // an ordinal first, then a name whose slot lies past 2^32 - 1
    lkmtest::PeBuilder pe(0x600, 0x00400000);
    pe.section(".text", 0x200, 0x100, lkmtest::codeSection)
        .section(".idata", 0x400, 0x200, lkmtest::dataSection);
    pe.imports(0x400, {{"KERNEL32.dll", {"#1", "Sleep"}}});
    pe.u32(0x400 + 16, 0xFFFFFFFC);
    write("image", "slot-past-top", withBase(0x00400000, pe.build()));
}

void inspectSeeds() {
    using namespace lkmfuzz::inspect_input;
    const char* variants[] = {"stock", "earlier-16x9", "earlier-16x10", "earlier-5x4", "earlier-21x9"};
    for (uint8_t v = 0; v < variantCount; ++v) write("inspect", variants[v], encode({v, {}}));

    const Engine& stockEngine = engine(stock);
    const lkmtest::EnginePlaces& p = stockEngine.image.places;
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

void findSeeds() {
    using namespace lkm::signature;
    writeText("find", "camera", cameraProjection);
    writeText("find", "root-gui", rootGuiConstructor);
    writeText("find", "forward", forwardConversion);
    writeText("find", "mouse", mouseMapping);
    writeText("find", "exception-prologue", exceptionPrologue);
    writeText("find", "overlapping", "AB AB");
    writeText("find", "wildcards", "?? ??");
    writeText("find", "call", "E8 ?? ?? ?? ?? 8B");
    writeText("find", "white-space", "\te8\n8b \r\v24\f  ");
    writeText("find", "strtol-forms", "0x8B -1 +44 0Xcc 00000000ff");
    writeText("find", "above-a-byte", "E8 100");
    writeText("find", "not-hex", "E8 GG");
    writeText("find", "one-question-mark", "?");
    writeText("find", "beyond-int", "E8 FFFFFFFFF");
    writeText("find", "empty", "");
    writeText("find", "blanks", "   ");
    write("find", "zero-byte-in-token", Bytes{'E', '8', 0, 'G'});
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
    optionSeeds();
    return 0;
}
