#include "report.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "../engine/vis_record.hpp"
#include "engine_abi.hpp"
#include "json_writer.hpp"

namespace lkm::game {

namespace {

void writeProcessMemory(JsonWriter& json, const char* label, const ProcessMemory& memory) {
    json.key(label).beginInlineObject();
    json.key("commit").value(int64_t(memory.commit));
    json.key("peakCommit").value(int64_t(memory.peakCommit));
    json.key("workingSet").value(int64_t(memory.workingSet));
    json.key("peakWorkingSet").value(int64_t(memory.peakWorkingSet));
    json.endObject();
}

void writeAsi(JsonWriter& json, const AsiReport& asi) {
    json.key("asi").beginObject();
    json.key("mode").value(asiModeName(asi.mode));
    json.key("calls").value(int64_t(asi.calls));
    if (asi.cost) {
        json.key("imageSize").value(int64_t(asi.imageSize));
        json.key("coldCopyUs").value(int64_t(asi.coldCopyMs * 1000.0 + 0.5));
    }
    json.key("modules").beginArray();
    for (const AsiModule& module : asi.modules) {
        json.beginInlineObject();
        json.key("file").value(module.file);
        json.key("loaded").value(module.loaded);
        json.key("initializeASI").value(module.hasEntry);
        json.key("error").value(int64_t(module.error));
        if (module.hookCalls) json.key("hookCalls").value(int64_t(module.hookCalls()));
        if (asi.cost) {
            json.key("callUs").beginInlineArray();
            for (double ms : module.callMs) json.value(int64_t(ms * 1000.0 + 0.5));
            json.endArray();
            writeProcessMemory(json, "before", module.before);
            writeProcessMemory(json, "after", module.after);
            json.key("sampledPeakCommit").value(int64_t(module.sampledPeakCommit));
            if (!module.phaseUs.empty()) {
                json.key("phaseUs").beginInlineArray();
                for (int64_t us : module.phaseUs) json.value(us);
                json.endArray();
            }
        }
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

// What the ASI modules changed: bytes of the read-only sections, page
// protections of the module, new private executable memory (size, PAGE_* in hex).
void writeMemory(JsonWriter& json, const MemoryChanges& memory) {
    json.key("memory").beginObject();
    json.key("changedBytes").value(int64_t(memory.changedBytes));
    json.key("changedRuns").value(int64_t(memory.changedRuns));
    json.key("changedProtections").value(int64_t(memory.changedPages));
    json.key("newExecutable").beginArray();
    for (const NewExecutableRegion& region : memory.newExecutable) {
        char protection[16];
        std::snprintf(protection, sizeof protection, "%02X", unsigned(region.protection));
        json.beginInlineObject();
        json.key("size").value(int64_t(region.size));
        json.key("protection").value(protection);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

// Every setter call, then how many calls each setter got, by name in the order of its first call.
void writeSetters(JsonWriter& json, const std::vector<SetterCall>& calls) {
    json.key("setters").beginArray();
    std::vector<std::pair<std::string, int64_t>> counts;
    for (const SetterCall& call : calls) {
        json.beginInlineObject();
        json.key("cvar").value(call.cvar);
        json.key("setter").value(call.setter);
        json.key("argument").value(call.argument);
        json.key("result").value(call.result);
        json.endObject();
        auto count = std::find_if(counts.begin(), counts.end(),
                                  [&call](const auto& named) { return named.first == call.setter; });
        if (count == counts.end()) count = counts.insert(counts.end(), {call.setter, 0});
        ++count->second;
    }
    json.endArray();
    json.key("setterCalls").beginInlineObject();
    for (const auto& [setter, count] : counts) json.key(setter).value(count);
    json.endObject();
}

void writeCvar(JsonWriter& json, const char* label, const CVar& cvar) {
    json.key(label).beginObject();
    json.key("name").value(cvar.name ? cvar.name : "");
    json.key("float").floatWithBits(cvar.value);
    json.key("int").value(int64_t(cvar.intValue));
    json.key("bool").value(cvar.boolValue != 0);
    json.key("default").value(int64_t(cvar.defaultValue));
    json.key("isDefault").value(CVar_IsDefault(&cvar));
    json.key("changes").value(int64_t(cvar.changes));
    json.key("locked").value((cvar.state & 1) != 0);
    json.endObject();
}

void writeCvars(JsonWriter& json) {
    json.key("cvars").beginObject();
    writeCvar(json, "r_xres", r_xres);
    writeCvar(json, "r_yres", r_yres);
    writeCvar(json, "r_fov", r_fov);
    writeCvar(json, "r_fullscreen", r_fullscreen);
    writeCvar(json, "r_refresh", r_refresh);
    writeCvar(json, "r_xres2", r_xres2);
    writeCvar(json, "menu_r_xres", menu_r_xres);
    json.endObject();
    int registered = 0;
    for (const CVar* cvar = cvar_list_head; cvar && registered < 1000; cvar = cvar->next) ++registered;
    json.key("registeredCvars").value(int64_t(registered));
    json.key("snd_volume").floatWithBits(snd_volume.volume);
}

void writeProjection(JsonWriter& json, const char* label, const VisProjectionRecord& record,
                     const CameraView& view) {
    json.key(label).beginObject();
    json.key("calls").value(int64_t(record.calls));
    json.key("fov").floatWithBits(record.fov);
    json.key("aspect").floatWithBits(record.aspect);
    json.key("horizontal").floatWithBits(record.horizontal);
    json.key("vertical").floatWithBits(record.vertical);
    json.key("viewHorizontal").floatWithBits(view.horizontal);
    json.key("viewVertical").floatWithBits(view.vertical);
    json.key("viewUpdates").value(int64_t(view.updates));
    json.endObject();
}

void writeRect(JsonWriter& json, const char* label, const GuiRect& rect) {
    json.key(label).beginObject();
    json.key("x").floatWithBits(rect.x);
    json.key("y").floatWithBits(rect.y);
    json.key("width").floatWithBits(rect.width);
    json.key("height").floatWithBits(rect.height);
    json.endObject();
}

void writeGui(JsonWriter& json) {
    json.key("gui").beginObject();
    writeRect(json, "canvas", g_gui_root.canvas.rect);
    json.key("canvasInitializations").value(int64_t(g_gui_root.canvas.initializations));
    writeRect(json, "reference", g_gui_root.reference);
    writeRect(json, "popupCanvas", g_gui_popup.canvas.rect);
    writeRect(json, "popupReference", g_gui_popup.reference);
    json.key("cursor").beginObject();
    json.key("x").floatWithBits(g_gui_cursor.x);
    json.key("y").floatWithBits(g_gui_cursor.y);
    json.key("moves").value(int64_t(g_gui_cursor.moves));
    json.endObject();
    json.endObject();
}

void writeConversions(JsonWriter& json, const EngineRun& run) {
    json.key("conversions").beginObject();
    for (const Conversion& conversion : run.conversions) {
        json.key(conversion.name).beginObject();
        json.key("input").value(conversion.input);
        json.key("result").floatWithBits(conversion.result);
        json.endObject();
    }
    json.endObject();
    json.key("mouse").beginObject();
    for (const MouseMapping& mapping : run.mouse) {
        json.key(mapping.name).beginObject();
        json.key("input").beginInlineArray().value(int64_t(mapping.x)).value(int64_t(mapping.y)).endArray();
        json.key("x").floatWithBits(mapping.unitsX);
        json.key("y").floatWithBits(mapping.unitsY);
        json.endObject();
    }
    json.endObject();
}

} // namespace

std::string buildReport(const AsiReport& asi, const MemoryChanges& memory, const EngineRun& run,
                        const std::vector<std::string>& debugLines) {
    JsonWriter json;
    json.beginObject();
    writeAsi(json, asi);
    writeMemory(json, memory);
    writeSetters(json, run.setters);
    writeCvars(json);
    const VisEngineRecord* record = VisGetEngineRecord();
    writeProjection(json, "camera", record->renderer, g_camera_view);
    writeProjection(json, "shadowCamera", record->camera, g_shadow_view);
    writeGui(json);
    writeConversions(json, run);
    json.key("debugOutput").beginArray();
    for (const std::string& line : debugLines) json.value(line);
    json.endArray();
    json.endObject();
    return json.text();
}

} // namespace lkm::game
