// CVar construction sites and step 7: the r_xres, r_yres and r_fov objects and
// the default focal parameter.
//   68 imm32; 6A 02; 68 default; 68 name; B9 object; E8 constructor
#include <new>
#include <string>
#include <vector>

#include "lkm/cvar_class.hpp"
#include "lkm/inspect.hpp"
#include "lkm/messages.hpp"
#include "lkm/signatures.hpp"
#include "recognition.hpp"

namespace lkm {

namespace {

// The one of the integer CVar construction `sites` that constructs `name` at `value`.
uint32_t constructionOf(const Image& image, const std::vector<uint32_t>& sites, const char* name,
                        unsigned value) {
    std::vector<uint32_t> candidates;
    for (uint32_t m : sites) {
        try {
            const std::string found = image.stringAt(
                image.offset(recognition::read32(image, m + signature::intCvarConstruction.name)));
            if (found == name &&
                recognition::read32(image, m + signature::intCvarConstruction.object) + cvar::floatField ==
                    value)
                candidates.push_back(m);
        } catch (const std::bad_alloc&) {
            throw; // memory ran out: no verdict on the candidate
        } catch (const std::exception&) {
            // a name outside the module or without a terminator: not this site
        }
    }
    return one(candidates, name);
}

} // namespace

uint32_t cvarConstructor(const Image& image, const char* name, unsigned value) {
    return constructionOf(image, image.find(signature::intCvarConstruction.text), name, value);
}

namespace recognition {

void findIntegerCvars(const Image& image, Layout& layout, Handover& handover) {
    // One search serves the three CVars.
    const std::vector<uint32_t>& sites = handover.matches[signature::intCvarConstruction];
    const uint32_t cx = constructionOf(image, sites, cvar::name::xres, layout.xresValue);
    const uint32_t cy = constructionOf(image, sites, cvar::name::yres, layout.yresValue);
    // The camera projection loads the r_fov value with its first instruction (A1 addr).
    const uint32_t cf =
        constructionOf(image, sites, cvar::name::fov,
                       read32(image, plus(handover.cameraSite, signature::cameraProjection.fovValue)));
    handover.xresSite = cx;
    constexpr uint32_t call = signature::intCvarConstruction.constructorCall;
    constexpr uint32_t object = signature::intCvarConstruction.object;
    const uint32_t constructor = image.branch(cx + call);
    require(constructor == image.branch(cy + call) && constructor == image.branch(cf + call),
            message::cvarConstructorsDisagree);

    layout.xresCvar = read32(image, cx + object);
    layout.yresCvar = read32(image, cy + object);
    layout.fovCvar = read32(image, cf + object);
    layout.defaultFocal = int32_t(read32(image, cf + signature::intCvarConstruction.defaultValue));
    require(layout.defaultFocal >= 1 && layout.defaultFocal <= 9999, message::invalidDefaultFocal);
    for (uint32_t cvarObject : {layout.xresCvar, layout.yresCvar, layout.fovCvar})
        require(image.writable(image.offset(cvarObject), cvar::objectLength), message::cvarOutsideData);
}

} // namespace recognition
} // namespace lkm
