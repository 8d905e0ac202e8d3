# The GUI's coordinate code. Menus and HUD are laid out in a virtual space of
# 1024 x 768 units; four conversion functions turn units into pixels and back
# with the current r_xres and r_yres values. Each is 17 bytes long and padded
# to 32 bytes with int3:
#   D9 05 value; D8 4C 24 04; D8 0D multiplier; C3     fld; fmul [esp+4]; fmul; ret
#   D9 44 24 04; D8 35 value; D8 0D multiplier; C3     fld [esp+4]; fdiv; fmul; ret
# Then the text and rectangle helpers that share the 1/768 constant, the root
# GUI constructor, its initializer (an adjustor thunk, 83 C1 30 E9 rel32, and
# the body) and the console overlay's own conversions for a 640 x 480 space.
.intel_syntax noprefix
.include "cvar_layout.inc"

.set XRES, _r_xres + CVAR_FLOAT
.set YRES, _r_yres + CVAR_FLOAT

.section .rdata,"dr"
.p2align 2
.globl _gui_scale_x, _gui_scale_y, _gui_inv_scale_x, _gui_inv_scale_y
_gui_scale_x:       .long 0x44800000    # 1024.0
_gui_scale_y:       .long 0x44400000    # 768.0
_gui_inv_scale_x:   .long 0x3A800000    # 1/1024
_gui_inv_scale_y:   .long 0x3AAAAAAB    # 1/768
overlay_scale_x:    .long 0x44200000    # 640.0
overlay_scale_y:    .long 0x43F00000    # 480.0
overlay_inv_x:      .long 0x3ACCCCCD    # 1/640
overlay_inv_y:      .long 0x3B088889    # 1/480

.data
.p2align 4
.globl _g_gui_root, _g_gui_cursor, _g_gui_popup
# GuiRoot: +10h reference rectangle (x, y, width, height), +30h the canvas
# base object (x, y, width, height, initializations).
_g_gui_root:        .space 0x60
# GuiCursor: x, y, moves.
_g_gui_cursor:      .space 16
_g_gui_popup:       .space 0x60

.macro FORWARD name, value, multiplier
    .globl \name
    .p2align 5, 0xCC
\name:
    fld dword ptr [\value]              # D9 05 imm32
    fmul dword ptr [esp + 4]            # D8 4C 24 04
    fmul dword ptr [\multiplier]        # D8 0D imm32
    ret                                 # C3
.endm

.macro INVERSE name, value, multiplier
    .globl \name
    .p2align 5, 0xCC
\name:
    fld dword ptr [esp + 4]             # D9 44 24 04
    fdiv dword ptr [\value]             # D8 35 imm32
    fmul dword ptr [\multiplier]        # D8 0D imm32
    ret                                 # C3
.endm

.text
# float units to pixels, pixels to units; cdecl, result in st(0)
FORWARD _gui_units_to_pixels_x, XRES, _gui_inv_scale_x
FORWARD _gui_units_to_pixels_y, YRES, _gui_inv_scale_y
    .globl _gui_vref_forward
    .set _gui_vref_forward, _gui_units_to_pixels_y + 12
INVERSE _gui_pixels_to_units_x, XRES, _gui_scale_x
INVERSE _gui_pixels_to_units_y, YRES, _gui_scale_y
    .p2align 4, 0xCC

# float GuiFont_LineHeightPixels(float units)
.globl _GuiFont_LineHeightPixels
.p2align 4, 0xCC
_GuiFont_LineHeightPixels:
    movss xmm0, dword ptr [esp + 4]
    mulss xmm0, dword ptr [YRES]
    mulss xmm0, dword ptr [_gui_inv_scale_y]    # F3 0F 59 05 imm32
    .globl _gui_vref_line_height
    .set _gui_vref_line_height, . - 4
    movss dword ptr [esp + 4], xmm0
    fld dword ptr [esp + 4]
    ret

# void GuiRect_ScaleHeights(float* values, int count): units to pixels, in place
.globl _GuiRect_ScaleHeights
.p2align 4, 0xCC
_GuiRect_ScaleHeights:
    mov eax, dword ptr [esp + 4]
    mov ecx, dword ptr [esp + 8]
    movss xmm1, dword ptr [_gui_inv_scale_y]    # F3 0F 10 0D imm32
    .globl _gui_vref_rect
    .set _gui_vref_rect, . - 4
    mulss xmm1, dword ptr [YRES]
    test ecx, ecx
    jle 2f
1:  movss xmm0, dword ptr [eax]
    mulss xmm0, xmm1
    movss dword ptr [eax], xmm0
    add eax, 4
    dec ecx
    jnz 1b
2:  ret

# float GuiShadow_OffsetPixels(float units)
.globl _GuiShadow_OffsetPixels
.p2align 4, 0xCC
_GuiShadow_OffsetPixels:
    fld dword ptr [esp + 4]
    fmul dword ptr [YRES]
    fmul dword ptr [_gui_inv_scale_y]           # D8 0D imm32
    .globl _gui_vref_shadow
    .set _gui_vref_shadow, . - 4
    ret

# void GuiCursor::MoveTo(float x, float y)
.p2align 4, 0xCC
_GuiCursor_MoveTo:
    mov eax, dword ptr [esp + 4]
    mov dword ptr [ecx], eax
    mov eax, dword ptr [esp + 8]
    mov dword ptr [ecx + 4], eax
    inc dword ptr [ecx + 8]
    ret 8

# void GuiRoot::SetReferenceRect(float x, float y, float width, float height)
.p2align 4, 0xCC
_GuiRoot_SetReferenceRect:
    mov eax, dword ptr [esp + 4]
    mov dword ptr [ecx + 0x10], eax
    mov eax, dword ptr [esp + 8]
    mov dword ptr [ecx + 0x14], eax
    mov eax, dword ptr [esp + 12]
    mov dword ptr [ecx + 0x18], eax
    mov eax, dword ptr [esp + 16]
    mov dword ptr [ecx + 0x1C], eax
    ret 16

# void GuiManager_CreateRoot(): the root GUI constructor's site, 43 bytes:
#   68 height; 68 width; 53; 53; 8B CF; E8 cursor; 53; 53; 8B CD; E8 initializer;
#   68 00 00 40 44; 68 00 00 80 44; 53; 53; 8B CD; E8 reference
# The initializer receives (x, y, width, height); x and y are the alignment.
.globl _GuiManager_CreateRoot
.p2align 4, 0xCC
_GuiManager_CreateRoot:
    push ebx
    push ebp
    push edi
    xor ebx, ebx
    mov edi, offset _g_gui_cursor
    mov ebp, offset _g_gui_root
    .globl _gui_root_height_operand, _gui_root_width_operand, _gui_root_init_call
    .set _gui_root_height_operand, . + 1
    push 0x44400000                     # 768.0
    .set _gui_root_width_operand, . + 1
    push 0x44800000                     # 1024.0
    push ebx
    push ebx
    .byte 0x8B, 0xCF                    # mov ecx, edi
    call _GuiCursor_MoveTo              # (0, 0)
    push ebx
    push ebx
    .byte 0x8B, 0xCD                    # mov ecx, ebp
    .set _gui_root_init_call, .
    call _GuiRoot_Initialize            # (0, 0, width, height)
    push 0x44400000                     # 768.0
    push 0x44800000                     # 1024.0
    push ebx
    push ebx
    .byte 0x8B, 0xCD                    # mov ecx, ebp
    call _GuiRoot_SetReferenceRect      # (0, 0, 1024, 768)
    pop edi
    pop ebp
    pop ebx
    ret

# GuiRoot::Initialize, reached through the canvas base at +30h.
.globl _GuiRoot_Initialize
.p2align 4, 0xCC
_GuiRoot_Initialize:
    add ecx, 0x30                       # 83 C1 30
    .byte 0xE9
    .long _GuiCanvas_Initialize - . - 4 # jmp rel32

# void GuiCanvas::Initialize(float x, float y, float width, float height)
.globl _GuiCanvas_Initialize
.p2align 4, 0xCC
_GuiCanvas_Initialize:
    mov eax, dword ptr [esp + 4]
    mov dword ptr [ecx], eax
    mov eax, dword ptr [esp + 8]
    mov dword ptr [ecx + 4], eax
    mov eax, dword ptr [esp + 12]
    mov dword ptr [ecx + 8], eax
    mov eax, dword ptr [esp + 16]
    mov dword ptr [ecx + 12], eax
    inc dword ptr [ecx + 16]
    ret 16

# void GuiManager_CreatePopup(): a popup with its own 640 x 480 space.
.globl _GuiManager_CreatePopup
.p2align 4, 0xCC
_GuiManager_CreatePopup:
    push ebx
    push ebp
    push edi
    xor ebx, ebx
    mov edi, offset _g_gui_cursor
    mov ebp, offset _g_gui_popup
    push 0x43F00000                     # 480.0
    push 0x44200000                     # 640.0
    push ebx
    push ebx
    .byte 0x8B, 0xCF                    # mov ecx, edi
    call _GuiCursor_MoveTo
    push ebx
    push ebx
    .byte 0x8B, 0xCD                    # mov ecx, ebp
    call _GuiRoot_Initialize
    push 0x43F00000                     # 480.0
    push 0x44200000                     # 640.0
    push ebx
    push ebx
    .byte 0x8B, 0xCD                    # mov ecx, ebp
    call _GuiRoot_SetReferenceRect
    pop edi
    pop ebp
    pop ebx
    ret

# The console overlay's conversions, 640 x 480 units.
FORWARD _overlay_units_to_pixels_x, XRES, overlay_inv_x
FORWARD _overlay_units_to_pixels_y, YRES, overlay_inv_y
INVERSE _overlay_pixels_to_units_x, XRES, overlay_scale_x
INVERSE _overlay_pixels_to_units_y, YRES, overlay_scale_y
    .p2align 4, 0xCC
