// A synthetic game executable that carries every engine shape recognition
// looks for, at realistic places between code-like filler: the camera
// projection call, the root GUI constructor with its initializer stub, the four
// GUI conversion functions with their patch spaces, the mouse mapping, the CVar
// construction sites, the CVar setter family, the imports and their thunks, and
// decoys that recognition has to pass over.
//
// EngineConfig holds the knobs; makeEngineImage lays the image out and records
// where everything went in EnginePlaces, so tests assert exact layout values.
// The PeBuilder stays reachable for byte-level mutations after the build. The
// engine's code is written here from its disassembly, not from the engine's
// signatures and CVar constants, on purpose: an independent check of them.
//
// Image map (offsets; .text starts at 0x1000, the data sections follow it):
//   .text   camera cluster, CVar cluster, GUI cluster, thunks at the end
//   .rdata  GUI constants and CVar names
//   .data   CVar objects (112 bytes each) and the data the filler code touches
//   .idata  import descriptors, name tables, address tables
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "lkm/layout.hpp"
#include "pe_builder.hpp"

namespace lkm::test {

// Bit patterns of the engine's stock constants.
inline constexpr uint32_t stockAspectBits = 0x3FAAAAAB;           // 4/3
inline constexpr uint32_t stockWidthBits = 0x44800000;            // 1024.0
inline constexpr uint32_t stockHeightBits = 0x44400000;           // 768.0
inline constexpr uint32_t stockWidthReciprocalBits = 0x3A800000;  // 1/1024
inline constexpr uint32_t stockHeightReciprocalBits = 0x3AAAAAAB; // nearest float to 1/768

float floatFromBits(uint32_t bits);
uint32_t bitsOfFloat(float value);

// How an instruction addresses the vertical reciprocal.
enum class ReferenceForm {
    fmul,  // D8 0D addr        fmul dword ptr [addr]
    movss, // F3 0F 10 05 addr  movss xmm0, [addr]
    mulss, // F3 0F 59 0D addr  mulss xmm1, [addr]
};

struct ReferenceSpec {
    uint32_t distance; // operand offset less horizontalForward
    ReferenceForm form;
};

struct SetterSpec {
    uint32_t distance; // function offset less the start of the CVar cluster
    uint32_t frame;    // 0x20, 0x60 or 0xA0 for a family member; anything else is a decoy
};

struct EngineConfig {
    uint32_t base = 0x00400000;
    std::string perspectiveImport = "?PerspectiveToAngles@VisRenderer_cl@@QBEXMMAAM0@Z"; // in LarkRender.dll
    uint32_t codeSize = 0x20000;         // .text at 0x1000; a multiple of 0x1000
    uint32_t seed = 0x5EED1234;          // of the filler code
    std::vector<ImportSpec> moreImports; // after LarkRender.dll and KERNEL32.dll

    // Cluster starts, as offsets from the start of .text.
    uint32_t cameraCluster = 0x1000;
    uint32_t cvarCluster = 0x4000;
    uint32_t guiCluster = 0x9000;

    // GUI conversion geometry: distances between the function starts.
    uint32_t verticalForwardGap = 0x20;
    uint32_t horizontalInverseGap = 0x20;
    uint32_t verticalInverseGap = 0x20;
    int32_t bodyDistance = 0x2C00; // initializer body less verticalInverse
    // Extra references to the vertical reciprocal in the GUI code (the vertical
    // forward conversion's own operand is always there).
    std::vector<ReferenceSpec> references = {
        {0x200, ReferenceForm::fmul}, {0x600, ReferenceForm::mulss}, {0xA00, ReferenceForm::movss}};

    // Values found in the image.
    float aspect = floatFromBits(stockAspectBits);
    float horizontalScale = floatFromBits(stockWidthBits);
    float verticalScale = floatFromBits(stockHeightBits);
    float horizontalReciprocal = floatFromBits(stockWidthReciprocalBits);
    float verticalReciprocal = floatFromBits(stockHeightReciprocalBits);
    float mouseHorizontalScale = floatFromBits(stockWidthBits);
    float mouseVerticalScale = floatFromBits(stockHeightBits);
    float rootWidth = floatFromBits(stockWidthBits);
    float rootHeight = floatFromBits(stockHeightBits);
    uint32_t xresDefault = 1024;
    uint32_t yresDefault = 768;
    uint32_t focalDefault = 90;
    uint8_t fullscreenDefault = 1;

    // CVar objects, as offsets from the start of .data (0x1000 bytes long).
    uint32_t xresObject = 0x100;
    uint32_t yresObject = 0x170;
    uint32_t fovObject = 0x1E0;
    uint32_t fullscreenObject = 0x250;

    // The setter family and the prologues around it.
    std::vector<SetterSpec> setters = {
        {0x800, 0x20}, {0x900, 0x60}, {0xA00, 0x20}, {0xB00, 0x60}, {0xC00, 0xA0}};
    uint32_t integerSetter = 1;          // index into setters: called by the integer CVar constructor
    uint32_t booleanSetter = 3;          // index into setters: called by the boolean CVar constructor
    uint32_t otherFramePrologue = 0x600; // from the CVar cluster: a prologue with a 40h frame
    int32_t distantPrologue = 0x1800;    // from the integer setter: a 20h-frame function outside the family
};

// The same engine inside a large code section: the clusters spread over it,
// everything between them code-like filler. For benchmarks and big-image tests.
EngineConfig largeEngineConfig(uint32_t codeSize);

// Where every place went; offsets index the image bytes, addresses are game addresses.
struct EnginePlaces {
    uint32_t code = 0, codeEnd = 0, rdata = 0, data = 0, dataEnd = 0, idata = 0, size = 0;

    // Camera projection
    uint32_t cameraSite = 0, decoyCameraSite = 0; // the decoy calls another import
    uint32_t aspectOperand = 0;
    uint32_t perspectiveThunk = 0, otherThunk = 0; // FF 25 slot
    uint32_t perspectiveSlot = 0, otherSlot = 0;   // addresses of the import address table slots
    uint32_t sharedReference = 0;                  // a reference to the stock 1/768 outside the GUI code

    // Root GUI
    uint32_t rootConstructorSite = 0, rootHeight = 0, rootWidth = 0, rootInitializerCall = 0;
    uint32_t initializerStub = 0, initializerBody = 0;

    // GUI conversions and constants
    uint32_t horizontalForward = 0, verticalForward = 0, horizontalInverse = 0, verticalInverse = 0;
    uint32_t distantForward = 0; // another forward conversion, 128 or more bytes after horizontalForward
    uint32_t horizontalScale = 0, verticalScale = 0, horizontalReciprocal = 0, verticalReciprocal = 0;
    uint32_t mouseMapping = 0, mouseHorizontalScale = 0, mouseVerticalScale = 0;
    std::vector<uint32_t> verticalReferences; // ascending, all inside the scanned range
    uint32_t horizontalSpace = 0, verticalSpace = 0, reciprocalSpace = 0; // the 15-byte CC runs

    // Free runs of CC for tests to drop shapes into.
    uint32_t spareGui = 0;  // 0x100 bytes inside the vertical reference scan
    uint32_t spareCode = 0; // 0x1000 bytes outside every search window

    // CVars
    uint32_t xresSite = 0, yresSite = 0, fovSite = 0, fullscreenSite = 0, vsyncSite = 0, gammaSite = 0;
    uint32_t otherXresSite = 0;   // "r_xres" with another object
    uint32_t longerNameSite = 0;  // "r_xres2" with the r_xres object
    uint32_t outsideNameSite = 0; // name pointer outside the module
    uint32_t integerConstructor = 0, booleanConstructor = 0;
    uint32_t integerSetterCall = 0, booleanSetterCall = 0; // the E8 in each constructor
    uint32_t xresObject = 0, yresObject = 0, fovObject = 0, fullscreenObject = 0; // offsets
    uint32_t xresName = 0, yresName = 0, fovName = 0, fullscreenName = 0;         // offsets
    std::vector<uint32_t> setters;                                                // ascending
    uint32_t integerSetter = 0, booleanSetter = 0;
    uint32_t otherFramePrologue = 0, distantPrologue = 0;
};

struct EngineImage {
    // What an earlier on-disk patch for a virtual GUI canvas of width x height
    // leaves: the camera aspect and the GUI floats changed, the vertical
    // reciprocal moved into the reciprocal space with every GUI reference
    // redirected to it, both centring trampolines, the root call sent to the first.
    struct EarlierPatch {
        float aspect = 16.0f / 9.0f;
        float width = 1024.0f * (16.0f / 9.0f) / (4.0f / 3.0f); // 1920 x 1080: 1365.33
        float height = 768.0f;
    };

    EngineConfig config;
    EnginePlaces places;
    PeBuilder pe;
    bool earlierPatch = false;
    EarlierPatch patch;         // meaningful when earlierPatch is set
    std::vector<uint8_t> stock; // the bytes before the earlier patch, when earlierPatch is set

    std::vector<uint8_t> bytes() const { return pe.build(); }
    lkm::Image image() const { return pe.image(); }
    uint32_t address(uint32_t offset) const { return config.base + offset; }

    // What lkm::inspect must return. `normalized` is the current bytes for a
    // stock image and the bytes before the patch for an earlier-patched one.
    lkm::Layout expectedLayout() const;

    // Copies `length` bytes from one offset to another (a second match of a shape).
    void copy(uint32_t from, uint32_t length, uint32_t to);
    // Sends the root GUI initializer call through trampolines at the given
    // offsets, in order: C7 44 24 disp imm32; opcode rel32 to the next hop, the
    // last hop reaching the initializer stub.
    struct Hop {
        uint32_t offset;
        uint8_t displacement; // 04 or 08
        uint8_t opcode = 0xE9;
    };
    void routeRootCall(const std::vector<Hop>& hops);
    // Writes an instruction that reads `target` at `operand` (the prefix bytes go before it).
    void reference(uint32_t operand, const std::string& prefixHex, uint32_t target);

    // The same image as an earlier on-disk patch left it.
    EngineImage earlierPatched(const EarlierPatch& patch) const;
    EngineImage earlierPatched() const { return earlierPatched(EarlierPatch{}); }
};

EngineImage makeEngineImage(const EngineConfig& config = EngineConfig{});
// The engine shapes embedded in caller-supplied code: `code` (config.codeSize
// bytes) becomes .text, and the shapes overwrite it at their places; nothing
// else of it changes. For benchmarks over their own code-like filler.
EngineImage makeEngineImage(const EngineConfig& config, const std::vector<uint8_t>& code);

// The image as an executable file: the image bytes with every section's
// PointerToRawData set to its address, so mapping the file gives the image back.
std::vector<uint8_t> engineFile(const EngineImage& engine);

// The names of the members in which two layouts differ, comma-separated; empty when they agree.
std::string layoutDifferences(const lkm::Layout& actual, const lkm::Layout& expected);

// The image with every recognised place back to stock, whole: the image with
// the layout's normalised runs over it.
std::vector<uint8_t> normalizedBytes(const lkm::Image& image, const lkm::Layout& layout);

// The message with which lkm::inspect refuses the image, or "" when it succeeds.
std::string inspectFailure(const lkm::Image& image);

// Fills [begin, end) of `pe` with code-like filler: functions with frames,
// moves, pushes, calls, x87 and SSE arithmetic, some with exception prologues
// of non-setter frame sizes, padded with CC. Absolute operands point into
// [dataBegin, dataEnd) and calls into [codeBegin, codeEnd).
struct FillerRange {
    uint32_t codeBegin, codeEnd, dataBegin, dataEnd;
};
void fillCode(PeBuilder& pe, uint32_t begin, uint32_t end, uint32_t seed, const FillerRange& range);

} // namespace lkm::test
