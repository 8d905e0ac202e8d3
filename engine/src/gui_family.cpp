// Step 3: the four GUI conversion functions, the constants they multiply by,
// the current vertical reciprocal and the scale consistency test.
//   forward  D9 05 value D8 4C 24 04 D8 0D multiplier C3   fld [value]; fmul [esp+4]; fmul [multiplier]; ret
//   inverse  D9 44 24 04 D8 35 value D8 0D multiplier C3   fld [esp+4]; fdiv [value]; fmul [multiplier]; ret
#include <algorithm>
#include <vector>

#include "lkm/messages.hpp"
#include "lkm/place_names.hpp"
#include "lkm/stock_engine.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

namespace {

constexpr uint32_t window = 127;       // each conversion at most this far after the one before
constexpr uint32_t bodyWindow = 65535; // the initializer body at most this far after the last

struct Conversion {
    uint32_t at;    // offset of the function
    uint32_t value; // address of the CVar value it reads
};

// The distinct matches of a conversion signature, ascending, with their value operands.
std::vector<Conversion> conversions(const Image& image, std::vector<uint32_t> found, uint32_t valueOperand) {
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    std::vector<Conversion> out;
    out.reserve(found.size());
    for (uint32_t at : found) out.push_back({at, read32(image, at + valueOperand)});
    return out;
}

// Calls visit for every conversion c with from < c.at <= from + 127.
template <class Visit>
void after(const std::vector<Conversion>& list, uint32_t from, Visit&& visit) {
    auto it = std::upper_bound(list.begin(), list.end(), from,
                               [](uint32_t offset, const Conversion& c) { return offset < c.at; });
    for (; it != list.end() && it->at - from <= window; ++it) visit(*it);
}

// The one conversion after `from` that reads `value`; false for none or several.
bool single(const std::vector<Conversion>& list, uint32_t from, uint32_t value, uint32_t& found) {
    int count = 0;
    after(list, from, [&](const Conversion& c) {
        if (c.value != value) return;
        ++count;
        found = c.at;
    });
    return count == 1;
}

std::vector<uint32_t> offsetsAfter(const std::vector<Conversion>& list, uint32_t from,
                                   const uint32_t* value) {
    std::vector<uint32_t> out;
    after(list, from, [&](const Conversion& c) {
        if (!value || c.value == *value) out.push_back(c.at);
    });
    return out;
}

// The stock 1/768 at 4-byte steps from the start of every section that is not executable.
std::vector<uint32_t> stockReciprocals(const Image& image) {
    std::vector<uint32_t> found;
    for (const Section& s : image.sections) {
        if (s.characteristics & sectionExecute) continue;
        const uint64_t end = uint64_t(s.rva) + s.size;
        for (uint64_t p = s.rva; p + 4 <= end; p += 4)
            if (read<uint32_t>(image.bytes, uint32_t(p)) == stock::guiHeightReciprocalBits)
                found.push_back(uint32_t(p));
    }
    return found;
}

void requireConsistentScales(const Image& image, const Layout& layout, uint32_t currentReciprocal) {
    const float hs = floatAt(image, layout.horizontalScale);
    const float vs = floatAt(image, layout.verticalScale);
    const float hr = floatAt(image, layout.horizontalReciprocal);
    const float vr = floatAt(image, currentReciprocal);
    const char* const inconsistent = message::inconsistentGuiScales;
    require(finite(hs) && hs > 0.0f, inconsistent);
    require(finite(vs) && vs > 0.0f, inconsistent);
    require(near(double(hs) * hr - 1.0, 0.001), inconsistent);
    require(near(double(vs) * vr - 1.0, 0.001), inconsistent);
}

} // namespace

void findGuiFamily(const Image& image, Layout& layout, Handover& handover) {
    constexpr signature::ForwardConversion forwardSite = signature::forwardConversion;
    constexpr signature::InverseConversion inverseSite = signature::inverseConversion;
    const std::vector<Conversion> forward =
        conversions(image, handover.matches[forwardSite], forwardSite.value);
    const std::vector<Conversion> inverse =
        conversions(image, handover.matches[inverseSite], inverseSite.value);
    const uint32_t body = handover.initializerBody;

    // Horizontal forward f, vertical forward g, then exactly one horizontal
    // inverse a reading f's value and one vertical inverse b reading g's, each
    // within 127 bytes of the one before, b before the initializer body.
    std::vector<uint32_t> candidates;
    for (const Conversion& f : forward) {
        after(forward, f.at, [&](const Conversion& g) {
            uint32_t a = 0, b = 0;
            if (!single(inverse, g.at, f.value, a) || !single(inverse, a, g.value, b)) return;
            if (b < body && body - b <= bodyWindow) candidates.push_back(f.at);
        });
    }
    layout.horizontalForward = one(candidates, "GUI coordinate family");
    layout.verticalForward =
        one(offsetsAfter(forward, layout.horizontalForward, nullptr), placeName::verticalForwardConversion);
    layout.xresValue = read32(image, layout.horizontalForward + forwardSite.value);
    layout.yresValue = read32(image, layout.verticalForward + forwardSite.value);
    layout.horizontalInverse = one(offsetsAfter(inverse, layout.verticalForward, &layout.xresValue),
                                   placeName::horizontalInverseConversion);
    layout.verticalInverse = one(offsetsAfter(inverse, layout.horizontalInverse, &layout.yresValue),
                                 placeName::verticalInverseConversion);

    layout.horizontalScale = image.offset(read32(image, layout.horizontalInverse + inverseSite.multiplier));
    layout.verticalScale = image.offset(read32(image, layout.verticalInverse + inverseSite.multiplier));
    layout.horizontalReciprocal =
        image.offset(read32(image, layout.horizontalForward + forwardSite.multiplier));

    handover.currentReciprocal = read32(image, layout.verticalForward + forwardSite.multiplier);
    handover.currentReciprocalOffset = image.offset(handover.currentReciprocal);
    if (handover.currentReciprocalOffset == stock::patchSpaceAfter(layout.horizontalInverse)) {
        // An earlier patch moved the reciprocal behind the horizontal inverse
        // conversion; the stock constant is still in the data.
        layout.verticalReciprocal = one(stockReciprocals(image), "original vertical reciprocal");
    } else {
        layout.verticalReciprocal = handover.currentReciprocalOffset;
    }
    requireConsistentScales(image, layout, handover.currentReciprocalOffset);
}

} // namespace lkm::recognition
