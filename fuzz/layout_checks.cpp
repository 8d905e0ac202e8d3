#include "layout_checks.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "check.hpp"
#include "lkm/byte_runs.hpp"
#include "lkm/plan_writes.hpp"
#include "lkm/stock_engine.hpp"
#include "whole_image_plan.hpp"

namespace lkm::fuzz {

namespace {

constexpr uint32_t conversionLength = lkm::stock::guiConversionLength;
// The CVar object's length and value field (+20) restated on purpose, as an independent check.
constexpr uint32_t cvarObjectLength = 112;

bool inside(const lkm::Image& image, uint64_t offset, uint64_t width) {
    return offset + width <= image.bytes.size();
}

bool inModule(const lkm::Image& image, uint32_t address) {
    return address >= image.base && address - image.base < image.bytes.size();
}

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The 4 little-endian bytes of `value` at `offset` of `plan`.
bool holds(const std::vector<uint8_t>& plan, uint32_t offset, uint32_t value) {
    return lkm::read<uint32_t>(plan, offset) == value;
}

// The write named `name` of `length` bytes that no later write cut; null when
// there is none (another place shared its bytes and won them).
const lkm::Write* whole(const std::vector<lkm::Write>& writes, const char* name, std::size_t length) {
    for (const lkm::Write& write : writes)
        if (write.name == name && write.bytes.size() == length) return &write;
    return nullptr;
}

// The writes `make` returns, or the violation of `property` if it throws.
template <class Make>
std::vector<lkm::Write> writesOrViolation(Make&& make, const char* property) {
    try {
        return make();
    } catch (const std::exception& error) {
        violated(std::string(property) + ", not " + describe(error), __FILE__, __LINE__);
    }
}

// Ascending, not overlapping, inside `bytes`, and each one's bytes are there.
void checkWritesHeld(const std::vector<lkm::Write>& writes, const std::vector<uint8_t>& bytes) {
    for (std::size_t i = 0; i < writes.size(); ++i) {
        const lkm::Write& write = writes[i];
        LKMFUZZ_CHECK(i == 0 || writes[i - 1].end() <= write.offset, "the writes ascend and do not overlap");
        LKMFUZZ_CHECK(write.end() <= bytes.size(), "every write lies inside the plan");
        LKMFUZZ_CHECK(std::equal(write.bytes.begin(), write.bytes.end(), bytes.begin() + write.offset),
                      "the plan holds every write");
    }
}

// `after` differs from `before` only inside `writes` (ascending, not overlapping).
void checkChangedOnlyByWrites(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                              const std::vector<lkm::Write>& writes) {
    constexpr std::size_t chunk = 4096;
    std::size_t next = 0; // the first write that does not end at or before i
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i % chunk == 0 && after.size() - i >= chunk && std::memcmp(&after[i], &before[i], chunk) == 0) {
            i += chunk - 1;
            continue;
        }
        if (after[i] == before[i]) continue;
        while (next < writes.size() && writes[next].end() <= i) ++next;
        LKMFUZZ_CHECK(next < writes.size() && writes[next].offset <= i,
                      "the plan differs from the normalised copy only where it writes");
    }
}

// Ascending, disjoint, non-empty runs inside the image.
void checkRuns(const lkm::Image& image, const std::vector<lkm::ByteRun>& runs, const char* what) {
    for (std::size_t i = 0; i < runs.size(); ++i) {
        LKMFUZZ_CHECK(!runs[i].bytes.empty() && inside(image, runs[i].offset, runs[i].bytes.size()),
                      std::string(what) + ": every run lies inside the image");
        LKMFUZZ_CHECK(i == 0 || runs[i - 1].end() <= runs[i].offset, std::string(what) + ": the runs ascend");
    }
}

} // namespace

void checkLayout(const lkm::Image& image, const lkm::Layout& l) {
    checkRuns(image, l.original, "original");
    checkRuns(image, l.normalized, "normalized");
    for (const lkm::ByteRun& run : l.original)
        LKMFUZZ_CHECK(image.bytes.slice(run.offset, uint32_t(run.bytes.size())) == run.bytes,
                      "the original runs hold the image's bytes");
    for (const lkm::ByteRun& run : l.normalized) {
        const std::vector<uint8_t> before = lkm::bytesIn(l.original, run.offset, uint32_t(run.bytes.size()));
        LKMFUZZ_CHECK(!before.empty(), "every normalised run lies inside an original run");
        for (std::size_t i = 0; i < before.size(); ++i)
            LKMFUZZ_CHECK(before[i] != run.bytes[i], "a normalised run holds only changed bytes");
    }

    // Every recognised place the plan may write: the places an earlier patch is undone at.
    const char* const placesInside = "every place the plan may write lies inside the image";
    const lkm::WriteTarget target = lkm::wholeImage(image);
    for (const lkm::Write& place :
         writesOrViolation([&] { return lkm::stockRestoringWrites(l, target); }, placesInside))
        LKMFUZZ_CHECK(inside(image, place.offset, place.bytes.size()), placesInside);
    LKMFUZZ_CHECK(inside(image, l.verticalInverse, conversionLength),
                  "the last conversion lies inside the image");

    LKMFUZZ_CHECK(l.horizontalForward < l.verticalForward && l.verticalForward < l.horizontalInverse &&
                      l.horizontalInverse < l.verticalInverse,
                  "the four conversions are in order");
    LKMFUZZ_CHECK(l.verticalForward - l.horizontalForward <= 127 &&
                      l.horizontalInverse - l.verticalForward <= 127 &&
                      l.verticalInverse - l.horizontalInverse <= 127,
                  "each conversion lies at most 127 bytes after the one before it");

    for (uint32_t address :
         {l.rootInitializer, l.xresValue, l.yresValue, l.fovCvar, l.xresCvar, l.yresCvar, l.fullscreenCvar})
        LKMFUZZ_CHECK(inModule(image, address), "every address lies inside the main module");
    for (uint32_t cvar : {l.fovCvar, l.xresCvar, l.yresCvar, l.fullscreenCvar})
        LKMFUZZ_CHECK(image.writable(cvar - image.base, cvarObjectLength),
                      "every CVar object lies inside one writable section");
    LKMFUZZ_CHECK(uint64_t(l.xresCvar) + 20 == l.xresValue && uint64_t(l.yresCvar) + 20 == l.yresValue,
                  "the conversions read the value fields of the r_xres and r_yres objects");

    LKMFUZZ_CHECK(std::fabs(l.aspect) <= std::numeric_limits<float>::max() && l.aspect > 0.0f,
                  "the aspect is finite and positive");
    LKMFUZZ_CHECK(l.defaultFocal >= 1 && l.defaultFocal <= 9999, "the default focal parameter is 1..9999");

    const std::vector<uint32_t>& refs = l.verticalReferences;
    LKMFUZZ_CHECK(refs.size() >= 2, "at least two vertical references");
    LKMFUZZ_CHECK(std::adjacent_find(refs.begin(), refs.end(), std::greater_equal<uint32_t>()) == refs.end(),
                  "the vertical references ascend");
    LKMFUZZ_CHECK(std::find(refs.begin(), refs.end(), uint64_t(l.verticalForward) + 12) != refs.end(),
                  "the vertical forward conversion's own operand is a vertical reference");
    for (uint32_t ref : refs)
        LKMFUZZ_CHECK(inside(image, ref, 4), "every vertical reference lies inside the image");

    LKMFUZZ_CHECK(l.setters.size() == 5, "exactly five setters");
    for (uint32_t setter : l.setters)
        LKMFUZZ_CHECK(setter < image.bytes.size(), "every setter lies inside the image");
}

void checkPlan(const lkm::Image& image, const lkm::Layout& l, int resolutionX, int resolutionY,
               bool keepUiAspect, const std::vector<lkm::Patch>& patches) {
    using namespace lkm::placeName;
    LKMFUZZ_CHECK(lkm::test::planDifferences(
                      patches, lkm::test::wholeImagePlan(image, l, resolutionX, resolutionY, keepUiAspect))
                      .empty(),
                  "the plan's patches are those of the whole-image plan");
    std::vector<lkm::ByteRun> replaced;
    for (const lkm::Patch& patch : patches) replaced.push_back({patch.offset, patch.replacement});
    const std::vector<uint8_t> plan = image.bytes.overlaid(replaced).all();
    const lkm::WriteTarget target = lkm::wholeImage(image);
    const lkm::PatchValues values = lkm::patchValuesForResolution(resolutionX, resolutionY);
    const std::vector<lkm::Write> writes = lkm::withoutOverlaps(
        writesOrViolation([&] { return lkm::patchingWrites(l, values, keepUiAspect, target); },
                          "a plan's writes fit the image"));
    checkWritesHeld(writes, plan);
    checkChangedOnlyByWrites(image.bytes.overlaid(l.normalized).all(), plan, writes);

    // Where no later write took a place's bytes, they hold what the place is for.
    if (const lkm::Write* aspect = whole(writes, cameraAspect, 4))
        LKMFUZZ_CHECK(holds(plan, aspect->offset, bitsOf(float(double(resolutionX) / double(resolutionY)))),
                      "the camera receives the screen aspect");
    if (!keepUiAspect) {
        LKMFUZZ_CHECK(std::all_of(writes.begin(), writes.end(),
                                  [](const lkm::Write& w) { return w.name == cameraAspect; }),
                      "without the proportional menu and HUD only the camera aspect is written");
        return;
    }

    const double scale = std::min(resolutionX / 1024.0, resolutionY / 768.0);
    const double width = resolutionX / scale, height = resolutionY / scale;
    const uint32_t base = image.base;
    const lkm::Write* vertical = whole(writes, verticalCentringTrampoline, 13);
    const lkm::Write* horizontal = whole(writes, horizontalCentringTrampoline, 13);
    const lkm::Write* call = whole(writes, rootGuiInitializerCall, 5);
    const lkm::Write* reciprocal = whole(writes, verticalReciprocalSpace, 4);

    // mov dword ptr [esp+8], vertical offset; jmp root GUI initializer: written last, always whole.
    LKMFUZZ_CHECK(vertical, "the vertical trampoline is written whole");
    const uint32_t v = vertical->offset;
    LKMFUZZ_CHECK(holds(plan, v, 0x082444C7) && holds(plan, v + 4, bitsOf(float((height - 768.0) * 0.5))) &&
                      plan[v + 8] == 0xE9 && holds(plan, v + 9, l.rootInitializer - (base + v + 13)),
                  "the vertical trampoline sets [esp+8] and jumps to the root GUI initializer");
    if (horizontal) {
        const uint32_t h = horizontal->offset;
        LKMFUZZ_CHECK(holds(plan, h, 0x042444C7) &&
                          holds(plan, h + 4, bitsOf(float((width - 1024.0) * 0.5))) && plan[h + 8] == 0xE9 &&
                          holds(plan, h + 9, v - (h + 13)),
                      "the horizontal trampoline sets [esp+4] and jumps to the vertical one");
        if (call)
            LKMFUZZ_CHECK(plan[call->offset] == 0xE8 && holds(plan, call->offset + 1, h - (call->offset + 5)),
                          "the root GUI constructor calls the horizontal trampoline");
    }
    if (!reciprocal) return;
    for (const lkm::Write& reference : writes)
        if (reference.name == verticalGuiReference && reference.bytes.size() == 4)
            LKMFUZZ_CHECK(holds(plan, reference.offset, base + reciprocal->offset),
                          "every vertical reference names the new reciprocal");
    LKMFUZZ_CHECK(holds(plan, reciprocal->offset, bitsOf(float(1.0 / height))),
                  "the reciprocal space holds 1 / virtual height");
}

} // namespace lkm::fuzz
