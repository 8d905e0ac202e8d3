// old_patch: writes a copy of the stand-in game's executable as an old on-disk
// widescreen patch left it, so that the plug-in can be tried on such a game.
// The places are taken from the executable's symbols (the output of nm), not
// searched for; each must hold what the plug-in's restoring writes put there
// (a stock executable), and what goes there is the plug-in's own list of patch
// writes. The copy gets, for a target of W x H pixels:
//   - the camera aspect W/H in the projection site's push imm32;
//   - the GUI canvas vw x vh (the 1024 x 768 canvas scaled to the screen) in the
//     inverse conversions' scales, the mouse scales and the root GUI pushes, and
//     1/vw as the horizontal reciprocal;
//   - 1/vh in the 15 int3 bytes after the horizontal inverse conversion (a float,
//     then 11 CC), with every reference of the GUI code to the stock 1/768
//     pointed at it;
//   - C7 44 24 04 imm32 E9 rel32 CC CC after the horizontal forward conversion
//     and C7 44 24 08 imm32 E9 rel32 CC CC after the vertical one: they set the
//     initializer's x and y arguments to the centring offsets; the root GUI
//     constructor calls the first, which jumps to the second, which jumps to the
//     initializer stub.
//
//   old_patch NM STOCK.exe PATCHED.exe [WIDTHxHEIGHT]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lkm/bytes.hpp"
#include "lkm/pe_headers.hpp"
#include "lkm/plan.hpp"
#include "lkm/plan_writes.hpp"

namespace lkm::game {

namespace {

using Bytes = std::vector<uint8_t>;

struct Section {
    uint32_t rva, virtualSize, rawSize, rawOffset;
};

struct Pe {
    uint32_t base = 0;
    std::vector<Section> sections;
};

// `n` bytes of the file from `offset` on, or "The executable is truncated.".
uint32_t inBytes(const Bytes& bytes, size_t offset, size_t n) {
    if (offset > UINT32_MAX || n > UINT32_MAX ||
        !lkm::detail::fits(bytes.size(), uint32_t(offset), uint32_t(n)))
        throw std::runtime_error("The executable is truncated.");
    return uint32_t(offset);
}

// A header field that lies inside the file.
template <class T>
T inFile(const std::optional<T>& field) {
    if (!field) throw std::runtime_error("The executable is truncated.");
    return *field;
}

Pe parsePe(const Bytes& bytes) {
    const lkm::PeHeaders headers(bytes);
    if (inFile(headers.dosMagic()) != lkm::pe::dosMagic) throw std::runtime_error("Not a PE executable.");
    if (inFile(headers.signature()) != lkm::pe::signature ||
        inFile(headers.machine()) != lkm::pe::machineI386)
        throw std::runtime_error("Not a 32-bit x86 PE executable.");
    Pe pe;
    pe.base = inFile(headers.imageBase());
    const uint16_t count = inFile(headers.sectionCount());
    for (uint32_t i = 0; i < count; ++i) {
        const lkm::SectionHeader s = inFile(headers.section(i));
        pe.sections.push_back({s.rva, s.virtualSize, s.rawSize, s.rawOffset});
    }
    return pe;
}

// File offset of an address that lies in a section's raw data, room for n bytes.
size_t fileOffset(const Pe& pe, uint32_t address, uint32_t n) {
    if (address < pe.base) throw std::runtime_error("A symbol lies outside the executable.");
    const uint32_t rva = address - pe.base;
    for (const Section& s : pe.sections) {
        if (rva >= s.rva && rva - s.rva < s.rawSize && s.rawSize - (rva - s.rva) >= n)
            return size_t(s.rawOffset) + (rva - s.rva);
    }
    throw std::runtime_error("A symbol lies outside the executable's file data.");
}

std::map<std::string, uint32_t> readSymbols(const std::string& nm, const std::string& exe) {
    const std::string command = "'" + nm + "' '" + exe + "'";
    if (nm.find('\'') != std::string::npos || exe.find('\'') != std::string::npos)
        throw std::runtime_error("Paths with quotes are not supported.");
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("Cannot run nm.");
    std::map<std::string, uint32_t> symbols;
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) {
        unsigned address = 0;
        char type = 0;
        char name[900];
        if (std::sscanf(line, "%x %c %899s", &address, &type, name) == 3) symbols[name] = address;
    }
    if (pclose(pipe) != 0) throw std::runtime_error("nm failed on the executable.");
    return symbols;
}

struct Target {
    int width = 1920, height = 1080;
};

Target parseTarget(const std::string& text) {
    Target t;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &t.width, &t.height, &tail) != 2 ||
        !lkm::supportedResolution(t.width, t.height))
        throw std::runtime_error(
            "The resolution must be WIDTHxHEIGHT within " + std::to_string(lkm::minResolutionX) + "x" +
            std::to_string(lkm::minResolutionY) + " to " + std::to_string(lkm::maxResolutionX) + "x" +
            std::to_string(lkm::maxResolutionY) + ".");
    return t;
}

class Patcher {
public:
    Patcher(Bytes& bytes, const Pe& pe, const std::map<std::string, uint32_t>& symbols)
        : bytes_(bytes), pe_(pe), symbols_(symbols) {}

    uint32_t symbol(const std::string& name) const {
        auto found = symbols_.find(name);
        if (found == symbols_.end()) throw std::runtime_error("Missing symbol " + name + ".");
        return found->second;
    }
    // File offset of `n` bytes at `address`, in a section's raw data and in the file.
    uint32_t place(uint32_t address, size_t n) const {
        return inBytes(bytes_, fileOffset(pe_, address, uint32_t(n)), n);
    }
    // True when the file already holds `write`'s bytes at its place.
    bool holds(const lkm::Write& write) const {
        const size_t o = place(pe_.base + write.offset, write.bytes.size());
        return std::equal(write.bytes.begin(), write.bytes.end(), bytes_.begin() + std::ptrdiff_t(o));
    }
    // Image offset of a symbol's address.
    uint32_t offset(uint32_t address) const {
        if (address < pe_.base) throw std::runtime_error("A symbol lies outside the executable.");
        return address - pe_.base;
    }
    void write(const lkm::Write& write) {
        const size_t o = place(pe_.base + write.offset, write.bytes.size());
        std::copy(write.bytes.begin(), write.bytes.end(), bytes_.begin() + std::ptrdiff_t(o));
    }

private:
    Bytes& bytes_;
    const Pe& pe_;
    const std::map<std::string, uint32_t>& symbols_;
};

void patch(Bytes& bytes, const std::map<std::string, uint32_t>& symbols, Target target) {
    const Pe pe = parsePe(bytes);
    Patcher p(bytes, pe, symbols);
    lkm::Layout layout;
    layout.aspectOperand = p.offset(p.symbol("_camera_aspect_operand"));
    layout.horizontalForward = p.offset(p.symbol("_gui_units_to_pixels_x"));
    layout.verticalForward = p.offset(p.symbol("_gui_units_to_pixels_y"));
    layout.horizontalInverse = p.offset(p.symbol("_gui_pixels_to_units_x"));
    layout.horizontalScale = p.offset(p.symbol("_gui_scale_x"));
    layout.verticalScale = p.offset(p.symbol("_gui_scale_y"));
    layout.horizontalReciprocal = p.offset(p.symbol("_gui_inv_scale_x"));
    layout.verticalReciprocal = p.offset(p.symbol("_gui_inv_scale_y"));
    layout.mouseHorizontalScale = p.offset(p.symbol("_gui_mouse_scale_x"));
    layout.mouseVerticalScale = p.offset(p.symbol("_gui_mouse_scale_y"));
    layout.rootWidth = p.offset(p.symbol("_gui_root_width_operand"));
    layout.rootHeight = p.offset(p.symbol("_gui_root_height_operand"));
    layout.rootInitializerCall = p.offset(p.symbol("_gui_root_init_call"));
    layout.rootInitializer = p.symbol("_GuiRoot_Initialize");
    for (const auto& [name, address] : symbols)
        if (name.rfind("_gui_vref_", 0) == 0) layout.verticalReferences.push_back(p.offset(address));
    if (layout.verticalReferences.size() < 2)
        throw std::runtime_error("Missing vertical GUI reference symbols.");

    // The file's sections bound every write (fileOffset), the target nothing more.
    const uint32_t unbounded = std::numeric_limits<uint32_t>::max();
    const lkm::WriteTarget writeTarget{pe.base, unbounded, unbounded};
    // Only a stock executable is patched: every place holds what the plug-in would restore there.
    for (const lkm::Write& place : lkm::stockRestoringWrites(layout, writeTarget))
        if (!p.holds(place))
            throw std::runtime_error("Not a stock executable: the " + place.name + " differs.");

    // The plug-in's own patch for the target screen, at the symbols' places.
    const lkm::PatchValues values = lkm::patchValuesForResolution(target.width, target.height);
    for (const lkm::Write& write :
         lkm::withoutOverlaps(lkm::patchingWrites(layout, values, true, writeTarget)))
        p.write(write);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("Cannot read " + path + ".");
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) throw std::runtime_error("Cannot write " + path + ".");
}

// The command line above: the patched copy written.
int run(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: old_patch NM STOCK.exe PATCHED.exe [WIDTHxHEIGHT]\n");
        return 2;
    }
    try {
        const std::string input = argv[2], output = argv[3];
        if (input == output)
            throw std::runtime_error("The patched copy must not replace the stock executable.");
        const Target target = argc == 5 ? parseTarget(argv[4]) : Target{};
        Bytes bytes = readFile(input);
        patch(bytes, readSymbols(argv[1], input), target);
        writeFile(output, bytes);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "old_patch: %s\n", error.what());
        return 1;
    }
    return 0;
}

} // namespace

} // namespace lkm::game

int main(int argc, char** argv) {
    return lkm::game::run(argc, argv);
}
