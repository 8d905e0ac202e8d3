// The structure-aware mutator of the inspect target (libFuzzer build only). It
// works on the edit list of inspect_input.hpp: it adds edits at and around the
// places the fixture recorded (call sites, conversions, constants, spaces, CVar
// sites and objects, setters, thunks, import tables), writes the values that
// recognition tests for (stock floats, NaN and infinities, addresses inside and
// just outside the module, branches to other places), copies engine shapes to
// other places so that they match twice, and mutates, moves and drops earlier
// edits. A fifth of the time it hands the whole input to libFuzzer's own
// mutator, which brings in the values recognition compared against.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine_image.hpp"
#include "inspect_input.hpp"

extern "C" std::size_t LLVMFuzzerMutate(uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using namespace lkm::fuzz::inspect_input;

constexpr std::size_t maxEdits = 12;

struct Rng {
    uint64_t state;
    uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 33);
    }
    uint32_t below(std::size_t n) { return n ? uint32_t(next() % n) : 0; }
    bool oneIn(uint32_t n) { return below(n) == 0; }
};

std::vector<uint32_t> placesOf(const Engine& engine) {
    const lkm::test::EnginePlaces& p = engine.image.places;
    std::vector<uint32_t> places = {p.cameraSite,
                                    p.decoyCameraSite,
                                    p.aspectOperand,
                                    p.perspectiveThunk,
                                    p.otherThunk,
                                    p.perspectiveSlot - engine.image.config.base,
                                    p.otherSlot - engine.image.config.base,
                                    p.sharedReference,
                                    p.rootConstructorSite,
                                    p.rootHeight,
                                    p.rootWidth,
                                    p.rootInitializerCall,
                                    p.initializerStub,
                                    p.initializerBody,
                                    p.horizontalForward,
                                    p.verticalForward,
                                    p.horizontalInverse,
                                    p.verticalInverse,
                                    p.distantForward,
                                    p.horizontalScale,
                                    p.verticalScale,
                                    p.horizontalReciprocal,
                                    p.verticalReciprocal,
                                    p.mouseMapping,
                                    p.mouseHorizontalScale,
                                    p.mouseVerticalScale,
                                    p.horizontalSpace,
                                    p.verticalSpace,
                                    p.reciprocalSpace,
                                    p.spareGui,
                                    p.spareCode,
                                    p.xresSite,
                                    p.yresSite,
                                    p.fovSite,
                                    p.fullscreenSite,
                                    p.vsyncSite,
                                    p.gammaSite,
                                    p.otherXresSite,
                                    p.longerNameSite,
                                    p.outsideNameSite,
                                    p.integerConstructor,
                                    p.booleanConstructor,
                                    p.xresObject,
                                    p.yresObject,
                                    p.fovObject,
                                    p.fullscreenObject,
                                    p.xresName,
                                    p.yresName,
                                    p.fovName,
                                    p.fullscreenName,
                                    p.integerSetter,
                                    p.booleanSetter,
                                    p.otherFramePrologue,
                                    p.distantPrologue,
                                    p.idata,
                                    p.idata + 0x14,
                                    p.rdata,
                                    p.dataEnd - 4,
                                    p.codeEnd - 16};
    places.insert(places.end(), p.verticalReferences.begin(), p.verticalReferences.end());
    places.insert(places.end(), p.setters.begin(), p.setters.end());
    places.erase(std::remove_if(places.begin(), places.end(),
                                [&](uint32_t at) { return at < headerPage || at >= p.size; }),
                 places.end());
    return places;
}

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<uint32_t> wordsOf(const Engine& engine, const std::vector<uint32_t>& places) {
    const uint32_t base = engine.image.config.base, size = engine.image.places.size;
    std::vector<uint32_t> words = {0,
                                   1,
                                   2,
                                   90,
                                   9999,
                                   10000,
                                   0xFFFFFFFF,
                                   0x80000000,
                                   0x7FFFFFFF,
                                   0xCCCCCCCC,
                                   base - 1,
                                   base,
                                   base + size - 1,
                                   base + size,
                                   base + size - 112,
                                   bitsOf(4.0f / 3.0f),
                                   bitsOf(16.0f / 9.0f),
                                   bitsOf(0.0f),
                                   bitsOf(-0.0f),
                                   bitsOf(-1.0f),
                                   bitsOf(1024.0f),
                                   bitsOf(768.0f),
                                   bitsOf(819.2f),
                                   bitsOf(1365.3334f),
                                   bitsOf(1.0f / 1024),
                                   bitsOf(1.0f / 768),
                                   bitsOf(1.0f / 819.2f),
                                   0x7F800000,
                                   0xFF800000,
                                   0x7FC00000,
                                   0x7F7FFFFF,
                                   0x00000001};
    for (uint32_t place : places) words.push_back(base + place);
    return words;
}

struct Context {
    const Engine& engine;
    std::vector<uint32_t> places;
    std::vector<uint32_t> words;
};

const Context& context(uint8_t variant) {
    static std::vector<Context> contexts = [] {
        std::vector<Context> all;
        for (uint8_t v = 0; v < variantCount; ++v) {
            const Engine& e = engine(v);
            std::vector<uint32_t> places = placesOf(e);
            std::vector<uint32_t> words = wordsOf(e, places);
            all.push_back({e, std::move(places), std::move(words)});
        }
        return all;
    }();
    return contexts[variant % variantCount];
}

void pushWord(std::vector<uint8_t>& out, uint32_t word) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(word >> (8 * i)));
}

// An image offset at or near one of the places, or anywhere after the headers.
uint32_t pickOffset(Rng& rng, const Context& c) {
    const uint32_t size = c.engine.image.places.size;
    if (rng.oneIn(10)) return headerPage + rng.below(size - headerPage);
    const int64_t at = int64_t(c.places[rng.below(c.places.size())]) + int64_t(rng.below(33)) - 8;
    return uint32_t(std::clamp<int64_t>(at, headerPage, size - 1));
}

// libFuzzer's mutator over a few bytes.
std::vector<uint8_t> mutated(std::vector<uint8_t> bytes) {
    const std::size_t size = bytes.size();
    bytes.resize(std::max<std::size_t>(2 * size, 16));
    bytes.resize(LLVMFuzzerMutate(bytes.data(), size, bytes.size()));
    if (bytes.empty()) bytes.push_back(0);
    return bytes;
}

Edit newEdit(Rng& rng, const Context& c) {
    const std::vector<uint8_t>& image = c.engine.bytes;
    const uint32_t base = c.engine.image.config.base;
    const uint32_t at = pickOffset(rng, c);
    std::vector<uint8_t> bytes;
    switch (rng.below(6)) {
    case 0: // a few random bytes
        for (uint32_t n = 1 + rng.below(8); n; --n) bytes.push_back(uint8_t(rng.next()));
        break;
    case 1: // a value recognition tests for
        pushWord(bytes, c.words[rng.below(c.words.size())]);
        break;
    case 2: { // one byte that ends, starts or changes an instruction
        const uint8_t special[] = {0xCC, 0xE8, 0xE9, 0xFF, 0x25, 0x00, 0x90, 0xC3, 0xEB, 0x68, 0x6A, 0x64};
        bytes.push_back(special[rng.below(sizeof special)]);
        break;
    }
    case 3: { // an engine shape copied from another place, so that it occurs twice
        const uint32_t from = pickOffset(rng, c);
        const uint32_t length = std::min<uint32_t>(1 + rng.below(72), uint32_t(image.size()) - from);
        bytes.assign(image.begin() + from, image.begin() + from + length);
        break;
    }
    case 4: { // a call or jump to another place, or just outside the module
        bytes.push_back(rng.oneIn(2) ? 0xE8 : 0xE9);
        uint32_t target = base + c.places[rng.below(c.places.size())];
        if (rng.oneIn(8)) target = rng.oneIn(2) ? base - 5 : base + uint32_t(image.size());
        pushWord(bytes, target - (base + at + 5));
        break;
    }
    default: { // the bytes already there, mutated
        const uint32_t length = std::min<uint32_t>(1 + rng.below(16), uint32_t(image.size()) - at);
        bytes = mutated(std::vector<uint8_t>(image.begin() + at, image.begin() + at + length));
        break;
    }
    }
    return {storedOffset(at), std::move(bytes)};
}

std::size_t store(const Input& input, uint8_t* data, std::size_t maxSize) {
    const std::vector<uint8_t> out = encode(input);
    if (out.size() > maxSize) return 0;
    std::memcpy(data, out.data(), out.size());
    return out.size();
}

} // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
    Rng rng{seed * 0x9E3779B97F4A7C15ull + 1};
    if (size == 0 || rng.oneIn(5)) return LLVMFuzzerMutate(data, size, maxSize);
    Input input = decode(data, size);
    const Context& c = context(input.variant);
    const uint32_t choice = rng.below(100);
    if (input.edits.empty() || (choice < 40 && input.edits.size() < maxEdits)) {
        input.edits.push_back(newEdit(rng, c));
    } else if (choice < 65) {
        Edit& edit = input.edits[rng.below(input.edits.size())];
        edit.bytes = mutated(edit.bytes);
    } else if (choice < 80) {
        Edit& edit = input.edits[rng.below(input.edits.size())];
        const uint32_t image = c.engine.image.places.size;
        const uint32_t at = place(edit.offset, image);
        edit.offset = rng.oneIn(2) ? storedOffset(pickOffset(rng, c))
                                   : storedOffset(uint32_t(std::clamp<int64_t>(
                                         int64_t(at) + int64_t(rng.below(17)) - 8, headerPage, image - 1)));
    } else if (choice < 95) {
        input.edits.erase(input.edits.begin() + rng.below(input.edits.size()));
    } else {
        input.variant = uint8_t(rng.below(variantCount));
    }
    const std::size_t stored = store(input, data, maxSize);
    return stored ? stored : LLVMFuzzerMutate(data, size, maxSize);
}

extern "C" std::size_t LLVMFuzzerCustomCrossOver(const uint8_t* data1, std::size_t size1,
                                                 const uint8_t* data2, std::size_t size2, uint8_t* out,
                                                 std::size_t maxOutSize, unsigned int seed) {
    Rng rng{seed * 0xD1B54A32D192ED03ull + 7};
    const Input first = decode(data1, size1), second = decode(data2, size2);
    Input mixed{first.variant, {}};
    const std::size_t keep = rng.below(first.edits.size() + 1);
    mixed.edits.assign(first.edits.begin(), first.edits.begin() + std::ptrdiff_t(keep));
    const std::size_t from = rng.below(second.edits.size() + 1);
    for (std::size_t i = from; i < second.edits.size() && mixed.edits.size() < maxEdits; ++i)
        mixed.edits.push_back(second.edits[i]);
    return store(mixed, out, maxOutSize);
}
