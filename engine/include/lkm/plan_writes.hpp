// The patch plan described once, as named writes into the image. Two lists:
// the writes that take an image, patched earlier or not, back to the engine's
// stock content at every recognised place (image -> Layout::normalized), and
// the writes of the patch itself (normalized -> the plan of lkm::build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lkm/diff.hpp"
#include "lkm/layout.hpp"
#include "lkm/place_names.hpp"

namespace lkm {

// What the bytes of a write hold, so that a change can be shown as values.
enum class WriteContent { code, floatValue, address };

// One named change: `bytes` at image offset `offset`.
struct Write {
    std::string name;           // what it is: "camera aspect", "root GUI width", ...
    uint32_t offset = 0;        // image offset of the first byte
    std::vector<uint8_t> bytes; // the new content, lowest address first
    WriteContent content = WriteContent::code;

    uint64_t end() const { return uint64_t(offset) + bytes.size(); }
};

// The module the writes are for.
struct WriteTarget {
    uint32_t base = 0;           // load address: image offset o is game address base + o
    std::size_t imageLength = 0; // an offset at or past it has no game address
    std::size_t bytesLength = 0; // every write ends at or before it

    // base + offset; "Invalid engine address." past the image or past 32 bits.
    uint32_t address(uint32_t offset) const;
};

struct Image;
// The image itself: its base and length, every write inside it.
WriteTarget wholeImage(const Image& image);

// The values a patch writes, each already rounded to a float.
struct PatchValues {
    float aspect = 0.0f;               // camera aspect
    float virtualWidth = 0.0f;         // GUI canvas width
    float virtualHeight = 0.0f;        // GUI canvas height
    float horizontalReciprocal = 0.0f; // 1 / virtual width
    float verticalReciprocal = 0.0f;   // 1 / virtual height
    float horizontalCentring = 0.0f;   // x offset of the 1024 x 768 interface in the canvas
    float verticalCentring = 0.0f;     // y offset of the 1024 x 768 interface in the canvas
};

// The values for a screen of resolutionX x resolutionY pixels: the stock
// 1024 x 768 interface scaled to fit, centred in a canvas of the screen's shape.
// Every value is worked out in double precision and rounded to float once.
PatchValues patchValuesForResolution(int resolutionX, int resolutionY);

// image -> normalized, in the order they take effect: camera aspect 4/3, GUI
// scales 1024 and 768, reciprocals 1/1024 and 1/768, every vertical GUI
// reference back at the stock reciprocal, the three patch spaces 15 bytes CC,
// the root GUI initializer call unpatched. Throws the engine's sentences.
std::vector<Write> stockRestoringWrites(const Layout& layout, const WriteTarget& target);

// normalized -> plan, in the order they take effect: the camera aspect and,
// with keepUiAspect, the GUI canvas, the moved vertical reciprocal, the
// redirected references and call, and the two centring trampolines. Throws the
// sentences of lkm::build, in the order it checks them.
std::vector<Write> patchingWrites(const Layout& layout, const PatchValues& values, bool keepUiAspect,
                                  const WriteTarget& target);

// The same change as applying `inOrder` one write after the other: writes
// that do not overlap, ascending by offset. Where two writes share bytes the
// later one wins; an earlier write keeps its name on the pieces left of it.
std::vector<Write> withoutOverlaps(const std::vector<Write>& inOrder);

// Where the writes write: the offset and length of each, in the same order.
std::vector<Run> rangesOf(const std::vector<Write>& writes);

// Copies every write into `bytes` ("Invalid patch range." for one that does not fit).
void applyWrites(std::vector<uint8_t>& bytes, const std::vector<Write>& writes);

} // namespace lkm
