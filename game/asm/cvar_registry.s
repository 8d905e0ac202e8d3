# The renderer's console variables: the objects in writable data and the
# registration code that constructs them at start. Every construction site is
#   68 desc; 6A 02; 68 default32; 68 name; B9 object; E8 CVar::CVar(int)
# or, for a boolean,
#   68 desc; 6A 02; 6A default8; 68 name; B9 object; E8 CVar::CVar(bool)
.intel_syntax noprefix
.include "cvar_layout.inc"

.macro INT_CVAR object, name, value, description
    push offset \description            # 68 imm32
    push 2                              # 6A 02: archived
    .byte 0x68
    .long \value                        # push imm32 default
    push offset \name                   # 68 imm32
    mov ecx, offset \object             # B9 imm32
    call _CVar_ConstructInt             # E8 rel32
.endm

.macro BOOL_CVAR object, name, value, description
    push offset \description            # 68 imm32
    push 2                              # 6A 02
    .byte 0x6A, \value                  # push imm8 default
    push offset \name                   # 68 imm32
    mov ecx, offset \object             # B9 imm32
    call _CVar_ConstructBool            # E8 rel32
.endm

.section .rdata,"dr"
name_r_fullscreen:  .asciz "r_fullscreen"
name_r_xres:        .asciz "r_xres"
name_r_yres:        .asciz "r_yres"
name_r_fov:         .asciz "r_fov"
name_r_refresh:     .asciz "r_refresh"
name_r_xres2:       .asciz "r_xres2"
desc_r_fullscreen:  .asciz "Run the renderer in a fullscreen display mode."
desc_r_xres:        .asciz "Horizontal render resolution in pixels."
desc_r_yres:        .asciz "Vertical render resolution in pixels."
desc_r_fov:         .asciz "Horizontal field of view in degrees."
desc_r_refresh:     .asciz "Display refresh rate in hertz; set by the launcher."
desc_r_xres2:       .asciz "Horizontal resolution of the second output."
desc_menu_r_xres:   .asciz "Resolution picked in the video options menu."

.data
.p2align 4
.globl _r_fullscreen, _r_xres, _r_yres, _r_fov, _r_refresh, _r_xres2, _menu_r_xres
_r_fullscreen:  .space CVAR_SIZE
_r_xres:        .space CVAR_SIZE
_r_yres:        .space CVAR_SIZE
_r_fov:         .space CVAR_SIZE
_r_refresh:     .space CVAR_SIZE
_r_xres2:       .space CVAR_SIZE
_menu_r_xres:   .space CVAR_SIZE

.text
# void Engine_RegisterRenderCVars()
.globl _Engine_RegisterRenderCVars
.p2align 4, 0xCC
_Engine_RegisterRenderCVars:
    BOOL_CVAR _r_fullscreen, name_r_fullscreen, 1, desc_r_fullscreen
    INT_CVAR _r_xres, name_r_xres, 1024, desc_r_xres
    INT_CVAR _r_yres, name_r_yres, 768, desc_r_yres
    INT_CVAR _r_fov, name_r_fov, 90, desc_r_fov
    INT_CVAR _r_refresh, name_r_refresh, 60, desc_r_refresh
    INT_CVAR _r_xres2, name_r_xres2, 1024, desc_r_xres2
    ret

# void Menu_RegisterVideoOptions(): the options menu keeps its own "r_xres".
.globl _Menu_RegisterVideoOptions
.p2align 4, 0xCC
_Menu_RegisterVideoOptions:
    INT_CVAR _menu_r_xres, name_r_xres, 1024, desc_menu_r_xres
    ret
