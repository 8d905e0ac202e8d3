#include "report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "files.hpp"
#include "lkm/diff.hpp"
#include "lkm/image.hpp"
#include "lkm/inspect.hpp"
#include "lkm/plan.hpp"
#include "mapped_file.hpp"
#include "restore_stock.hpp"

namespace lkmtool {

namespace {

// What the bytes of a recognised place mean, for showing a change as values.
enum class Holds { code, floatValue, address };

struct Span {
    std::string name;
    uint32_t offset;
    uint32_t length;
    Holds holds;
};

std::string hex(const std::vector<uint8_t>& bytes, uint32_t offset, uint32_t length) {
    std::string out;
    char byte[4];
    for (uint32_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", bytes[offset + i]);
        out += byte;
    }
    return out;
}

// Every recognised place the plan may write, for naming the runs it changes.
std::vector<Span> spans(const lkm::Layout& layout) {
    std::vector<Span> out = {
        {"camera aspect", layout.aspectOperand, 4, Holds::floatValue},
        {"GUI horizontal scale", layout.horizontalScale, 4, Holds::floatValue},
        {"GUI vertical scale", layout.verticalScale, 4, Holds::floatValue},
        {"GUI horizontal reciprocal", layout.horizontalReciprocal, 4, Holds::floatValue},
        {"GUI vertical reciprocal", layout.verticalReciprocal, 4, Holds::floatValue},
        {"mouse horizontal scale", layout.mouseHorizontalScale, 4, Holds::floatValue},
        {"mouse vertical scale", layout.mouseVerticalScale, 4, Holds::floatValue},
        {"root GUI width", layout.rootWidth, 4, Holds::floatValue},
        {"root GUI height", layout.rootHeight, 4, Holds::floatValue},
        {"root GUI initializer call", layout.rootInitializerCall, 5, Holds::code},
        {"horizontal centring trampoline", layout.horizontalForward + 17, 15, Holds::code},
        {"vertical centring trampoline", layout.verticalForward + 17, 15, Holds::code},
        {"vertical reciprocal space", layout.horizontalInverse + 17, 15, Holds::code},
    };
    for (uint32_t reference : layout.verticalReferences)
        out.push_back({"vertical GUI reference", reference, 4, Holds::address});
    return out;
}

std::string describe(const std::vector<Span>& known, uint32_t offset, uint32_t length,
                     const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
    std::string what;
    const Span* only = nullptr;
    int overlapping = 0;
    for (const Span& span : known) {
        const bool overlaps =
            offset < span.offset + uint64_t(span.length) && span.offset < offset + uint64_t(length);
        if (!overlaps) continue;
        only = &span;
        ++overlapping;
        if (what.find(span.name) == std::string::npos) what += (what.empty() ? "" : ", ") + span.name;
    }
    if (what.empty()) return "unrecognised bytes";
    if (overlapping == 1 && only->holds != Holds::code) {
        // A 4-byte value: show it whole, before and after.
        const auto show = [&](const std::vector<uint8_t>& bytes) {
            char text[32];
            if (only->holds == Holds::floatValue)
                std::snprintf(text, sizeof text, "%.9g", double(lkm::read<float>(bytes, only->offset)));
            else
                std::snprintf(text, sizeof text, "0x%08X",
                              unsigned(lkm::read<uint32_t>(bytes, only->offset)));
            return std::string(text);
        };
        what += ": " + show(before) + " -> " + show(after);
    }
    return what;
}

std::vector<Change> changes(const MappedFile& mapped, const lkm::Image& image,
                            const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                            const std::vector<Span>& known) {
    std::vector<Change> out;
    for (const lkm::Run& run : lkm::differingRuns(before, after)) {
        Change change{image.base + run.offset,
                      sectionOf(mapped, run.offset),
                      hex(before, run.offset, run.length),
                      hex(after, run.offset, run.length),
                      describe(known, run.offset, run.length, before, after),
                      std::nullopt};
        uint32_t fileOffset;
        if (fileOffsetOf(mapped, run.offset, fileOffset)) change.fileOffset = fileOffset;
        change.length = run.length;
        out.push_back(change);
    }
    return out;
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
    auto code = [&](const char* name, uint32_t offset) {
        report.places.push_back(offsetPlace(mapped, image, name, offset, false));
    };
    auto constant = [&](const char* name, uint32_t offset) {
        report.places.push_back(offsetPlace(mapped, image, name, offset, true));
    };
    constant("camera aspect", l.aspectOperand);
    code("horizontal forward conversion", l.horizontalForward);
    code("vertical forward conversion", l.verticalForward);
    code("horizontal inverse conversion", l.horizontalInverse);
    code("vertical inverse conversion", l.verticalInverse);
    constant("GUI horizontal scale", l.horizontalScale);
    constant("GUI vertical scale", l.verticalScale);
    constant("GUI horizontal reciprocal", l.horizontalReciprocal);
    constant("GUI vertical reciprocal", l.verticalReciprocal);
    constant("mouse horizontal scale", l.mouseHorizontalScale);
    constant("mouse vertical scale", l.mouseVerticalScale);
    constant("root GUI width", l.rootWidth);
    constant("root GUI height", l.rootHeight);
    code("root GUI initializer call", l.rootInitializerCall);
    report.places.push_back(addressPlace(mapped, image, "root GUI initializer", l.rootInitializer));
    for (uint32_t reference : l.verticalReferences) code("vertical GUI reference", reference);

    report.cvars.push_back(addressPlace(mapped, image, "r_xres", l.xresCvar));
    report.cvars.push_back(addressPlace(mapped, image, "r_yres", l.yresCvar));
    report.cvars.push_back(addressPlace(mapped, image, "r_fov", l.fovCvar));
    report.cvars.push_back(addressPlace(mapped, image, "r_fullscreen", l.fullscreenCvar));
    for (Place& cvar : report.cvars) cvar.valueField = cvar.address + 20;
    report.defaultFocal = l.defaultFocal;
    for (std::size_t k = 0; k < l.setters.size(); ++k) {
        const std::string name = "CVar setter " + std::to_string(k);
        report.setters.push_back(offsetPlace(mapped, image, name.c_str(), l.setters[k], false));
    }
}

} // namespace

Report inspectFile(const Options& options) {
    Report report;
    report.file = options.path;
    const std::vector<uint8_t> file = readFile(options.path);
    const MappedFile mapped = mapFile(file);
    // The plug-in would stop with the same sentence, from the snapshot's own
    // checks or from recognition.
    std::optional<lkm::Image> snapshot;
    lkm::Layout layout;
    try {
        snapshot.emplace(mapped.image, mapped.base);
        layout = lkm::inspect(*snapshot);
    } catch (const std::exception& failure) {
        report.failure = failure.what();
        return report;
    }
    const lkm::Image& image = *snapshot;
    report.supported = true;
    report.aspect = layout.aspect;
    const std::vector<Span> known = spans(layout);
    report.normalization = changes(mapped, image, image.bytes, layout.normalized, known);
    report.earlierPatch =
        std::fabs(float(double(layout.aspect) - 4.0 / 3.0)) > 0.00001f || !report.normalization.empty();
    describeLayout(report, mapped, image, layout);
    if (options.restoreTo) {
        report.restoration = Restoration{*options.restoreTo, {}, std::nullopt};
        if (!report.normalization.empty())
            report.restoration = restoreStock(file, mapped, layout.normalized, image.base,
                                              report.normalization, *options.restoreTo);
    }

    if (options.resolution) {
        report.planned = true;
        report.resolutionX = options.resolution->first;
        report.resolutionY = options.resolution->second;
        report.keepUi = options.keepUi;
        const std::vector<uint8_t> plan =
            lkm::build(image, layout, report.resolutionX, report.resolutionY, report.keepUi);
        report.patches = changes(mapped, image, image.bytes, plan, known);
        for (std::size_t k = 0; k < layout.setters.size(); ++k) {
            const uint32_t setter = layout.setters[k];
            // E9 rel32 90: jmp to the plug-in's setter replacement k, whose address
            // only the running process knows.
            const uint32_t length = std::min<uint32_t>(6, uint32_t(image.bytes.size()) - setter);
            Change jump{image.base + setter,
                        sectionOf(mapped, setter),
                        hex(image.bytes, setter, length),
                        "E9 ?? ?? ?? ?? 90",
                        "CVar setter " + std::to_string(k) + " redirection",
                        std::nullopt};
            uint32_t fileOffset;
            if (fileOffsetOf(mapped, setter, fileOffset)) jump.fileOffset = fileOffset;
            report.redirections.push_back(jump);
        }
    }
    return report;
}

} // namespace lkmtool
