// Step 9: the r_fullscreen object, built by the boolean CVar constructor, and
// the boolean setter that constructor calls.
//   boolean setter: a family member with frame 60h and at +53
//   53 8A 5C 24 78      push ebx; mov bl, byte ptr [esp+78h]
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "lkm/cvar_class.hpp"
#include "lkm/messages.hpp"
#include "recognition.hpp"

namespace lkm::recognition {

void findFullscreenCvar(const Image& image, Layout& layout, const Handover& handover) {
    const ImageBytes& bytes = image.bytes;
    constexpr signature::BoolCvarConstruction site = signature::boolCvarConstruction;
    std::vector<uint32_t> candidates;
    for (uint32_t m : handover.matches[site]) {
        try {
            const std::string name = image.stringAt(image.offset(read32(image, m + site.name)));
            const uint8_t fallback = bytes.at(m + site.defaultValue);
            if (name == cvar::name::fullscreen && fallback <= 1) candidates.push_back(m);
        } catch (const std::bad_alloc&) {
            throw; // memory ran out: no verdict on the candidate
        } catch (const std::exception&) {
            // a name outside the module or without a terminator: not this site
        }
    }
    const uint32_t fm = one(candidates, "fullscreen CVar constructor");
    layout.fullscreenCvar = read32(image, fm + site.object);
    require(image.writable(image.offset(layout.fullscreenCvar), cvar::objectLength),
            message::fullscreenCvarOutsideData);

    const uint32_t b = image.offset(image.branch(fm + site.constructorCall)); // the boolean CVar constructor
    const std::vector<uint32_t>& setters = layout.setters;
    one(setterCalls(image, b,
                    [&](uint32_t t) {
                        return std::find(setters.begin(), setters.end(), t) != setters.end() &&
                               isFrame(bytes, t, cvar::frame60) &&
                               bytesAre(bytes, uint64_t(t) + 53, {0x53, 0x8A, 0x5C, 0x24, 0x78});
                    }),
        "boolean fullscreen setter");
}

} // namespace lkm::recognition
