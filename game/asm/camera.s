# The camera: each frame the main camera turns the r_fov value and the camera
# aspect into view angles through the renderer's imported
# VisRenderer_cl::PerspectiveToAngles. The shadow camera runs the same code
# against VisCamera_cl::PerspectiveToAngles with its own field of view.
.intel_syntax noprefix
.include "cvar_layout.inc"

.set RENDERER_PERSPECTIVE, "_?PerspectiveToAngles@VisRenderer_cl@@QAEXMPAM0M@Z"
.set CAMERA_PERSPECTIVE, "_?PerspectiveToAngles@VisCamera_cl@@QAEXMPAM0M@Z"

.data
.p2align 2
.globl _g_renderer, _g_shadow_camera, _g_camera_view, _g_shadow_view, _g_shadow_fov
_g_renderer:        .long 0             # VisRenderer_cl*
_g_shadow_camera:   .long 0             # VisCamera_cl*
_g_shadow_fov:      .long 0x42700000    # 60.0
_g_camera_view:     .long 0, 0, 0       # horizontal angle, vertical angle, updates
_g_shadow_view:     .long 0, 0, 0

# The projection site, 43 bytes from the first instruction on:
#   A1 value; 68 aspect; 8D 4C 24 0C; 51; 8B 0D object; 8D 54 24 0C; 52; 50;
#   E8 thunk; 8B 4C 24 08; 8B 54 24 04; 51; 52; E8 store
.macro PROJECTION fov, aspect, object, perspective, operand
    sub esp, 12                         # two angles and a spare slot
    mov eax, dword ptr [\fov]           # A1 imm32
    .set \operand, . + 1
    push \aspect                        # 68 imm32: the aspect as a float
    lea ecx, [esp + 0x0C]               # &vertical
    push ecx
    mov ecx, dword ptr [\object]        # 8B 0D imm32
    lea edx, [esp + 0x0C]               # &horizontal
    push edx
    push eax
    call \perspective                   # through the import thunk, FF 25 slot
    mov ecx, dword ptr [esp + 8]        # vertical
    mov edx, dword ptr [esp + 4]        # horizontal
    push ecx
    push edx
    call _Camera_StoreAngles            # (horizontal, vertical), view in EBX
.endm

.text
# void __stdcall Camera_StoreAngles(float horizontal, float vertical), view in EBX
.p2align 4, 0xCC
_Camera_StoreAngles:
    mov ecx, dword ptr [esp + 4]
    mov dword ptr [ebx], ecx
    mov ecx, dword ptr [esp + 8]
    mov dword ptr [ebx + 4], ecx
    inc dword ptr [ebx + 8]
    ret 8

# void Camera_UpdateProjection()
.globl _Camera_UpdateProjection
.p2align 4, 0xCC
_Camera_UpdateProjection:
    push ebx
    mov ebx, offset _g_camera_view
    .globl _camera_aspect_operand
    PROJECTION _r_fov + CVAR_FLOAT, 0x3FAAAAAB, _g_renderer, RENDERER_PERSPECTIVE, _camera_aspect_operand
    add esp, 12
    pop ebx
    ret

# float Camera_LetterboxBarUnits(float pixels): the height of a letterbox bar
# in the 768-line reference of the film overlays.
.globl _Camera_LetterboxBarUnits
.p2align 4, 0xCC
_Camera_LetterboxBarUnits:
    fld dword ptr [esp + 4]
    fdiv dword ptr [_r_yres + CVAR_FLOAT]
    fdiv dword ptr [_gui_inv_scale_y]   # shares the GUI's 1/768
    ret

# void ShadowCamera_UpdateProjection(): a square shadow map.
.globl _ShadowCamera_UpdateProjection
.p2align 4, 0xCC
_ShadowCamera_UpdateProjection:
    push ebx
    mov ebx, offset _g_shadow_view
    PROJECTION _g_shadow_fov, 0x3F800000, _g_shadow_camera, CAMERA_PERSPECTIVE, shadow_aspect_operand
    add esp, 12
    pop ebx
    ret
