#include "report.hpp"

#include <algorithm>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <utility>

#include "hex_text.hpp"
#include "lkm/byte_runs.hpp"
#include "lkm/cvar_class.hpp"
#include "lkm/earlier_patch.hpp"
#include "lkm/image.hpp"
#include "lkm/inspect.hpp"
#include "lkm/loader_names.hpp"
#include "lkm/machine_code.hpp"
#include "lkm/mapped_file.hpp"
#include "lkm/plan.hpp"
#include "lkm/plan_writes.hpp"
#include "lkm/recognised_places.hpp"
#include "restore_stock.hpp"

namespace lkm::inspector {

namespace {

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char byte[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[i]);
        out += byte;
    }
    return out;
}

// The recognised places a run of `length` bytes at `offset` touches, by name;
// a run within one 4-byte value also shows it, before and after. `known` is
// every place the plan may write: the places an earlier patch is undone at.
std::string describe(const std::vector<lkm::Write>& known, uint32_t offset, uint32_t length,
                     const lkm::ImageBytes& before, const lkm::ImageBytes& after) {
    std::string what;
    const lkm::Write* only = nullptr;
    int overlapping = 0;
    for (const lkm::Write& place : known) {
        const bool overlaps = offset < place.end() && place.offset < offset + uint64_t(length);
        if (!overlaps) continue;
        only = &place;
        ++overlapping;
        if (what.find(place.name) == std::string::npos) what += (what.empty() ? "" : ", ") + place.name;
    }
    if (what.empty()) return "unrecognised bytes";
    if (overlapping == 1 && only->content != lkm::WriteContent::code) {
        // A 4-byte value: show it whole, before and after.
        const auto show = [&](const lkm::ImageBytes& bytes) {
            if (only->content != lkm::WriteContent::floatValue)
                return hexWord(lkm::read<uint32_t>(bytes, only->offset));
            char text[32];
            std::snprintf(text, sizeof text, "%.9g", double(lkm::read<float>(bytes, only->offset)));
            return std::string(text);
        };
        what += ": " + show(before) + " -> " + show(after);
    }
    return what;
}

// The changes `runs` make to the image, each with the image's bytes before it
// and the bytes of the run after it.
std::vector<Change> changes(const MappedFile& mapped, const lkm::Image& image,
                            const std::vector<lkm::ByteRun>& runs, const std::vector<lkm::Write>& known) {
    const lkm::ImageBytes after = image.bytes.overlaid(runs);
    std::vector<Change> out;
    for (const lkm::ByteRun& run : runs) {
        const uint32_t length = uint32_t(run.bytes.size());
        Change change{image.base + run.offset,
                      sectionOf(mapped, run.offset),
                      hex(image.bytes.slice(run.offset, length)),
                      hex(run.bytes),
                      describe(known, run.offset, length, image.bytes, after),
                      std::nullopt};
        change.fileOffset = fileRangeOf(mapped, run.offset, 1);
        change.length = length;
        out.push_back(change);
    }
    return out;
}

// "CVar setter <k>".
std::string setterName(std::size_t k) {
    return std::string(lkm::placeName::cvarSetter) + " " + std::to_string(k);
}

// The redirection of the setter at `setter`; its rel32 reaches the plug-in's
// setter replacement, whose address only the running process knows.
std::string redirectionText(uint32_t setter) {
    const std::vector<uint8_t> code = lkm::redirectionBytes(setter, 0);
    const uint32_t afterTarget = lkm::redirectionTargetOffset + 4;
    const auto from = code.begin();
    return hex({from, from + lkm::redirectionTargetOffset}) + " ?? ?? ?? ?? " +
           hex({from + afterTarget, code.end()});
}

Place offsetPlace(const MappedFile& mapped, const lkm::Image& image, const char* name, uint32_t offset,
                  bool holdsFloat) {
    Place place{name, image.base + offset, sectionOf(mapped, offset), std::nullopt, std::nullopt};
    if (holdsFloat) place.value = lkm::read<float>(image.bytes, offset);
    return place;
}

Place addressPlace(const MappedFile& mapped, const lkm::Image& image, const char* name, uint32_t address) {
    return {name, address, sectionOf(mapped, image.offset(address)), std::nullopt, std::nullopt};
}

void describeLayout(Report& report, const MappedFile& mapped, const lkm::Image& image, const lkm::Layout& l) {
    for (const lkm::RecognisedPlace& place : lkm::recognisedPlaces(l)) {
        if (place.kind == lkm::RecognisedPlace::addressInGame)
            report.places.push_back(addressPlace(mapped, image, place.name, place.at));
        else
            report.places.push_back(offsetPlace(mapped, image, place.name, place.at,
                                                place.kind == lkm::RecognisedPlace::floatValue));
    }

    namespace cvarName = lkm::cvar::name;
    report.cvars.push_back(addressPlace(mapped, image, cvarName::xres, l.xresCvar));
    report.cvars.push_back(addressPlace(mapped, image, cvarName::yres, l.yresCvar));
    report.cvars.push_back(addressPlace(mapped, image, cvarName::fov, l.fovCvar));
    report.cvars.push_back(addressPlace(mapped, image, cvarName::fullscreen, l.fullscreenCvar));
    for (Place& cvar : report.cvars) cvar.valueField = cvar.address + lkm::cvar::floatField;
    report.defaultFocal = l.defaultFocal;
    for (std::size_t k = 0; k < l.setters.size(); ++k) {
        report.setters.push_back(offsetPlace(mapped, image, setterName(k).c_str(), l.setters[k], false));
    }
}

} // namespace

Report inspectSource(const ByteSource& file, const Options& options) {
    Report report;
    report.file = options.path;
    MappedFile mapped = mapFile(file);
    lkm::ImageBytes bytes(std::move(mapped.image));
    report.loaderNames = lkm::importedLoaderNames(bytes);
    // The plug-in would stop with the same sentence, from the snapshot's own
    // checks or from recognition. The snapshot takes over the mapped bytes, so
    // the image is held once.
    std::optional<lkm::Image> snapshot;
    lkm::Layout layout;
    try {
        snapshot.emplace(std::move(bytes), mapped.base);
        layout = lkm::inspect(*snapshot);
    } catch (const std::bad_alloc&) {
        throw; // the inspector's own shortage, not the plug-in's verdict
    } catch (const std::exception& failure) {
        report.failure = failure.what();
        return report;
    }
    const lkm::Image& image = *snapshot;
    report.supported = true;
    report.aspect = layout.aspect;
    const std::vector<lkm::Write> known = lkm::stockRestoringWrites(layout, lkm::wholeImage(image));
    report.normalization = changes(mapped, image, layout.normalized, known);
    const lkm::EarlierPatch earlier = lkm::earlierPatchOf(layout);
    report.earlierPatch = earlier.present;
    report.cameraAspectChanged = earlier.cameraAspect;
    describeLayout(report, mapped, image, layout);
    if (options.restoreTo) {
        report.restoration = Restoration{*options.restoreTo, {}, std::nullopt};
        if (!report.normalization.empty())
            report.restoration = restoreStock(readAll(file), mapped, layout.normalized, image.base,
                                              report.normalization, *options.restoreTo);
    }

    if (options.resolution) {
        report.planned = true;
        report.resolutionX = options.resolution->first;
        report.resolutionY = options.resolution->second;
        report.keepUi = options.keepUi;
        std::vector<lkm::ByteRun> patched;
        for (lkm::Patch& patch :
             lkm::build(image, layout, report.resolutionX, report.resolutionY, report.keepUi))
            patched.push_back({patch.offset, std::move(patch.replacement)});
        report.patches = changes(mapped, image, patched, known);
        for (std::size_t k = 0; k < layout.setters.size(); ++k) {
            const uint32_t setter = layout.setters[k];
            const uint32_t length = std::min(lkm::redirectionLength, uint32_t(image.bytes.size()) - setter);
            Change jump{image.base + setter,
                        sectionOf(mapped, setter),
                        hex(image.bytes.slice(setter, length)),
                        redirectionText(image.base + setter),
                        setterName(k) + " redirection",
                        std::nullopt};
            jump.fileOffset = fileRangeOf(mapped, setter, 1);
            report.redirections.push_back(jump);
        }
    }
    return report;
}

} // namespace lkm::inspector
