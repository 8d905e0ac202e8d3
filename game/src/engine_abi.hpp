// The engine code and data of the game (game/asm/*.S) as C++ sees them. Member
// functions of the engine take their object in ECX and remove their stack
// arguments themselves, which GCC spells thiscall.
#pragma once

#include <cstdint>

#define LKM_ENGINE_MEMBER __attribute__((thiscall))

namespace lkm::game {

// C linkage: the symbols keep the assembly's names inside the namespace.
extern "C" {

// Console variable, 112 bytes; the value is held three times.
struct CVar {
    const char* name;
    uint16_t flags;
    uint8_t state; // bit 0: locked
    uint8_t type;  // 1 integer, 2 boolean
    const char* description;
    int32_t defaultValue;
    uint32_t changes;
    float value;       // +20
    int32_t intValue;  // +24
    uint8_t boolValue; // +28
    uint8_t padding[3];
    CVar* next; // +32
    uint8_t reserved[76];
};
static_assert(sizeof(CVar) == 112, "the engine's CVar object is 112 bytes");

extern CVar r_fullscreen, r_xres, r_yres, r_fov, r_refresh, r_xres2, menu_r_xres;
extern CVar* cvar_list_head;

bool LKM_ENGINE_MEMBER CVar_SetFloat(CVar* cvar, float value);
bool LKM_ENGINE_MEMBER CVar_SetInt(CVar* cvar, int32_t value);
bool LKM_ENGINE_MEMBER CVar_SetBool(CVar* cvar, bool value);
bool LKM_ENGINE_MEMBER CVar_SetFromCVar(CVar* cvar, const CVar* source);
bool LKM_ENGINE_MEMBER CVar_SetString(CVar* cvar, const char* text);
bool LKM_ENGINE_MEMBER CVar_IsDefault(const CVar* cvar);
void LKM_ENGINE_MEMBER CVar_Lock(CVar* cvar);
void Engine_RegisterRenderCVars();
void Menu_RegisterVideoOptions();

struct SoundVar {
    const char* name;
    uint16_t flags;
    uint8_t state;
    uint8_t padding;
    float volume;
    int32_t reserved;
};
extern SoundVar snd_volume;
bool LKM_ENGINE_MEMBER SoundVar_SetVolume(SoundVar* var, float volume);

// Camera.
struct CameraView {
    float horizontal;
    float vertical;
    int32_t updates;
};
extern void* g_renderer;
extern void* g_shadow_camera;
extern float g_shadow_fov;
extern CameraView g_camera_view, g_shadow_view;
void Camera_UpdateProjection();
void ShadowCamera_UpdateProjection();
float Camera_LetterboxBarUnits(float pixels);

// GUI coordinates.
float gui_units_to_pixels_x(float units);
float gui_units_to_pixels_y(float units);
float gui_pixels_to_units_x(float pixels);
float gui_pixels_to_units_y(float pixels);
float overlay_units_to_pixels_x(float units);
float overlay_units_to_pixels_y(float units);
float overlay_pixels_to_units_x(float pixels);
float overlay_pixels_to_units_y(float pixels);
float GuiFont_LineHeightPixels(float units);
void GuiRect_ScaleHeights(float* values, int count);
float GuiShadow_OffsetPixels(float units);

struct GuiRect {
    float x, y, width, height;
};
struct GuiCanvas {
    GuiRect rect;
    int32_t initializations;
};
struct GuiRoot {
    uint8_t header[0x10];
    GuiRect reference; // +10h
    uint8_t gap[0x10];
    GuiCanvas canvas; // +30h
    uint8_t tail[0x1C];
};
static_assert(sizeof(GuiRoot) == 0x60, "GuiRoot is 60h bytes");
struct GuiCursor {
    float x, y;
    int32_t moves;
    int32_t padding;
};
extern GuiRoot g_gui_root, g_gui_popup;
extern GuiCursor g_gui_cursor;
void GuiManager_CreateRoot();
void GuiManager_CreatePopup();

// Mouse.
struct GuiMouse {
    int32_t flags, x, y;
};
extern GuiMouse g_gui_mouse, g_editor_mouse;
void LKM_ENGINE_MEMBER GuiMouse_ToUnits(GuiMouse* mouse, float* x, float* y);
void LKM_ENGINE_MEMBER EditorMouse_ToUnits(GuiMouse* mouse, float* x, float* y);
}

} // namespace lkm::game
