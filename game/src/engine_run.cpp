#include "engine_run.hpp"

#include <cstdio>

#include "../engine/vis_record.hpp"
#include "engine_abi.hpp"

namespace lkm::game {

namespace {

std::string number(float value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", double(value));
    return buffer;
}

// The report's name of a CVar: the options menu's copy shares its name.
std::string label(const CVar& cvar) {
    if (&cvar == &menu_r_xres) return "menu_r_xres";
    return cvar.name ? cvar.name : "?";
}

class Setters {
public:
    void setInt(CVar& cvar, int32_t value) {
        add(cvar, "SetInt", std::to_string(value), CVar_SetInt(&cvar, value));
    }
    void setFloat(CVar& cvar, float value) {
        add(cvar, "SetFloat", number(value), CVar_SetFloat(&cvar, value));
    }
    void setBool(CVar& cvar, bool value) {
        add(cvar, "SetBool", value ? "true" : "false", CVar_SetBool(&cvar, value));
    }
    void setString(CVar& cvar, const char* text) {
        add(cvar, "SetString", text, CVar_SetString(&cvar, text));
    }
    void setFrom(CVar& cvar, const CVar& source) {
        add(cvar, "SetFromCVar", label(source), CVar_SetFromCVar(&cvar, &source));
    }
    void setVolume(SoundVar& var, float volume) {
        calls.push_back({var.name, "SetVolume", number(volume), SoundVar_SetVolume(&var, volume)});
    }
    std::vector<SetterCall> calls;

private:
    void add(const CVar& cvar, const char* setter, const std::string& argument, bool result) {
        calls.push_back({label(cvar), setter, argument, result});
    }
};

} // namespace

void startEngine() {
    g_renderer = VisGetRenderer();
    g_shadow_camera = VisGetShadowCamera();
    Engine_RegisterRenderCVars();
    Menu_RegisterVideoOptions();
    // The launcher fixes the refresh rate.
    CVar_Lock(&r_refresh);
}

EngineRun runEngine(int videoWidth, int videoHeight, int fovReadBacks) {
    EngineRun run;

    // The video configuration, applied at start and once more when the
    // options menu closes; then a locked CVar, a bad text and two copies.
    Setters set;
    set.setInt(r_xres, videoWidth);
    set.setInt(r_yres, videoHeight);
    set.setFloat(r_fov, 90.0f);
    set.setBool(r_fullscreen, true);
    set.setString(r_xres, std::to_string(videoWidth).c_str());
    set.setString(r_yres, std::to_string(videoHeight).c_str());
    set.setFloat(r_fov, 90.0f);
    set.setBool(r_fullscreen, true);
    set.setInt(r_refresh, 75);
    set.setString(r_yres, "6x0");
    set.setFrom(r_xres2, r_xres);
    set.setFrom(menu_r_xres, r_xres);
    set.setVolume(snd_volume, 0.5f);
    for (int i = 0; i < fovReadBacks; ++i) set.setFloat(r_fov, r_fov.value);
    run.setters = set.calls;

    Camera_UpdateProjection();
    ShadowCamera_UpdateProjection();
    GuiManager_CreateRoot();
    GuiManager_CreatePopup();

    auto convert = [&run](const char* name, float (*function)(float), float input) {
        run.conversions.push_back({name, input, function(input)});
    };
    convert("unitsToPixelsX", gui_units_to_pixels_x, 512.0f);
    convert("unitsToPixelsY", gui_units_to_pixels_y, 384.0f);
    convert("pixelsToUnitsX", gui_pixels_to_units_x, 400.0f);
    convert("pixelsToUnitsY", gui_pixels_to_units_y, 300.0f);
    convert("lineHeightPixels", GuiFont_LineHeightPixels, 24.0f);
    convert("shadowOffsetPixels", GuiShadow_OffsetPixels, 2.0f);
    float heights[2] = {96.0f, 192.0f};
    GuiRect_ScaleHeights(heights, 2);
    run.conversions.push_back({"rectHeightPixels0", 96.0f, heights[0]});
    run.conversions.push_back({"rectHeightPixels1", 192.0f, heights[1]});
    convert("letterboxBarUnits", Camera_LetterboxBarUnits, 75.0f);
    convert("overlayUnitsToPixelsX", overlay_units_to_pixels_x, 320.0f);
    convert("overlayUnitsToPixelsY", overlay_units_to_pixels_y, 240.0f);
    convert("overlayPixelsToUnitsX", overlay_pixels_to_units_x, 400.0f);
    convert("overlayPixelsToUnitsY", overlay_pixels_to_units_y, 300.0f);

    using Mapping = void(LKM_ENGINE_MEMBER*)(GuiMouse*, float*, float*);
    auto map = [&run](const char* name, Mapping function, GuiMouse& mouse, int x, int y) {
        mouse.x = x;
        mouse.y = y;
        MouseMapping result{name, x, y};
        function(&mouse, &result.unitsX, &result.unitsY);
        run.mouse.push_back(result);
    };
    map("gui", GuiMouse_ToUnits, g_gui_mouse, 400, 300);
    map("editor", EditorMouse_ToUnits, g_editor_mouse, 400, 300);
    return run;
}

} // namespace lkm::game
