#include <algorithm>
#include <cstdio>
#include <string>

#include "hex_text.hpp"
#include "lkm/cvar_class.hpp"
#include "report.hpp"

namespace lkm::inspector {

namespace {

void line(std::string& out, const std::string& text) {
    out += text + "\n";
}

void places(std::string& out, const std::string& title, const std::vector<Place>& list) {
    line(out, title);
    for (const Place& p : list) {
        std::string row = "  " + hexWord(p.address) + "  " + p.section;
        row.resize(std::max<std::size_t>(row.size(), 22), ' ');
        row += "  " + p.name;
        if (p.value) {
            char text[40];
            std::snprintf(text, sizeof text, " = %.9g", double(*p.value));
            row += text;
        }
        if (p.valueField) row += " (value at " + hexWord(*p.valueField) + ")";
        line(out, row);
    }
}

void changes(std::string& out, const std::vector<Change>& list) {
    for (const Change& c : list) {
        std::string row = "  " + hexWord(c.address) + "  " + c.section;
        if (c.fileOffset) row += "  file " + hexWord(*c.fileOffset);
        line(out, row + "  " + c.what);
        line(out, "      before: " + c.before);
        line(out, "      after:  " + c.after);
    }
}

// "1 run", "2 runs".
std::string counted(std::size_t count, const std::string& singular) {
    return std::to_string(count) + " " + singular + (count == 1 ? "" : "s");
}

// "Earlier patch: yes (camera aspect 1.77777779)", and ", stock" after the
// aspect when it is the stock one, whether or not other places were patched.
std::string earlierPatch(const Report& r) {
    char aspect[64];
    std::snprintf(aspect, sizeof aspect, "%.9g", double(r.aspect));
    return std::string("Earlier patch: ") + (r.earlierPatch ? "yes" : "none") + " (camera aspect " + aspect +
           (r.cameraAspectChanged ? "" : ", stock") + ")";
}

// What --restore-stock did: the runs it put back and the file it wrote, or that
// a stock input needs nothing.
void restoration(std::string& out, const Report& r, const std::string& earlier) {
    const Restoration& restored = *r.restoration;
    if (r.normalization.empty()) {
        line(out, earlier + "; nothing written");
        return;
    }
    line(out, earlier + "; " + counted(r.normalization.size(), "run") + " put back to the stock bytes:");
    changes(out, r.normalization);
    line(out, "Written: " + restored.output +
                  (restored.checksum ? " (PE checksum recomputed: " + hexWord(*restored.checksum) + ")"
                                     : " (PE checksum 0, left as it was)"));
}

// The loader names the executable imports, as the least the game loads.
std::string loaderNames(const Report& r) {
    if (r.loaderNames.empty())
        return "ASI loader names: none imported by the executable (the game may still load one later, "
               "through "
               "LoadLibrary)";
    std::string names;
    for (const std::string& name : r.loaderNames) names += (names.empty() ? "" : ", ") + name;
    return "ASI loader names: " + names +
           " (imported by the executable; the game may load more later, through LoadLibrary)";
}

} // namespace

std::string renderText(const Report& r) {
    std::string out;
    line(out, "File: " + r.file);
    if (!r.supported) {
        line(out, "Verdict: not supported");
        line(out, "Reason: " + r.failure);
        line(out, loaderNames(r));
        return out;
    }
    line(out, "Verdict: supported");
    line(out, loaderNames(r));
    const std::string earlier = earlierPatch(r);
    if (r.restoration) {
        restoration(out, r, earlier);
        return out;
    }
    if (r.earlierPatch) {
        line(out, earlier + "; the plug-in works from the stock bytes below:");
        changes(out, r.normalization);
    } else {
        line(out, earlier);
    }
    places(out, "Recognised places:", r.places);
    places(out, "CVar objects (value at +" + std::to_string(lkm::cvar::floatField) + "):", r.cvars);
    line(out, std::string(lkm::cvar::name::fov) + " default: " + std::to_string(r.defaultFocal));
    places(out, "CVar setters:", r.setters);
    if (r.planned) {
        line(out, "Patches for " + std::to_string(r.resolutionX) + "x" + std::to_string(r.resolutionY) +
                      ", proportional menu/HUD=" + (r.keepUi ? "1" : "0") + ": " +
                      counted(r.patches.size(), "run") + ", plus " +
                      counted(r.redirections.size(), "setter redirection"));
        changes(out, r.patches);
        changes(out, r.redirections);
    }
    return out;
}

} // namespace lkm::inspector
