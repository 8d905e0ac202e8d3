# Mouse input: the GUI maps the integer mouse position into GUI units,
#   x = mx * 1024 / r_xres, y = my * 768 / r_yres,
# with the two integers pushed as the function's own locals. The map editor's
# viewport runs the same code against the window's client size.
.intel_syntax noprefix
.include "cvar_layout.inc"

.section .rdata,"dr"
.p2align 2
.globl _gui_mouse_scale_x, _gui_mouse_scale_y
_gui_mouse_scale_x: .long 0x44800000    # 1024.0
_gui_mouse_scale_y: .long 0x44400000    # 768.0
editor_scale_x:     .long 0x44800000    # 1024.0
editor_scale_y:     .long 0x44400000    # 768.0

.data
.p2align 2
.globl _g_gui_mouse, _g_editor_mouse, _g_window_client
# GuiMouse: flags, x, y (integers, in pixels).
_g_gui_mouse:       .long 0, 0, 0
_g_editor_mouse:    .long 0, 0, 0
# The window's client size as floats.
_g_window_client:   .long 0x44480000, 0x44160000   # 800.0, 600.0

# The 65-byte mapping, entered with [esp] = x, [esp+4] = y:
#   F3 0F 2A 04 24; F3 0F 59 05 mulx; F3 0F 5E 05 divx; 8B 4C 24 0C; 8B 54 24 10;
#   F3 0F 11 01; F3 0F 2A 44 24 04; F3 0F 59 05 muly; F3 0F 5E 05 divy;
#   F3 0F 11 02; 83 C4 08; C2 08 00
.macro MOUSE_MAPPING mulx, divx, muly, divy
    mov eax, dword ptr [ecx + 8]
    mov edx, dword ptr [ecx + 4]
    push eax                            # y
    push edx                            # x
    cvtsi2ss xmm0, dword ptr [esp]
    mulss xmm0, dword ptr [\mulx]
    divss xmm0, dword ptr [\divx]
    mov ecx, dword ptr [esp + 0x0C]     # float* x
    mov edx, dword ptr [esp + 0x10]     # float* y
    movss dword ptr [ecx], xmm0
    cvtsi2ss xmm0, dword ptr [esp + 4]
    mulss xmm0, dword ptr [\muly]
    divss xmm0, dword ptr [\divy]
    movss dword ptr [edx], xmm0
    add esp, 8
    ret 8
.endm

.text
# void GuiMouse::ToUnits(float* x, float* y)
.globl _GuiMouse_ToUnits
.p2align 4, 0xCC
_GuiMouse_ToUnits:
    MOUSE_MAPPING _gui_mouse_scale_x, _r_xres + CVAR_FLOAT, _gui_mouse_scale_y, _r_yres + CVAR_FLOAT

# void EditorMouse::ToUnits(float* x, float* y)
.globl _EditorMouse_ToUnits
.p2align 4, 0xCC
_EditorMouse_ToUnits:
    MOUSE_MAPPING editor_scale_x, _g_window_client, editor_scale_y, _g_window_client + 4
