# The sound system's variables: a class of its own whose setter was compiled
# from the same template as the CVar setters, far from them in the code.
.intel_syntax noprefix
.include "seh_frame.inc"

.data
.p2align 2
.globl _snd_volume
# SoundVar: +0 name, +4 flags, +6 state (bit 0 locked), +8 volume (float)
_snd_volume:        .long snd_volume_name, 0, 0x3F800000, 0

.section .rdata,"dr"
snd_volume_name:    .asciz "snd_volume"

.text
.p2align 4, 0xCC
snd_seh_handler:
    mov eax, 1                          # ExceptionContinueSearch
    ret

# bool SoundVar::SetVolume(float volume): clamps to 0..1
.globl _SoundVar_SetVolume
.p2align 4, 0xCC
_SoundVar_SetVolume:
    SEH_PROLOGUE snd_seh_handler
    sub esp, 0x60                       # 83 EC 60
    SETTER_BODY_START
    jnz 1f
    movss xmm0, dword ptr [esp + 0x74]
    xorps xmm1, xmm1
    maxss xmm0, xmm1
    mov eax, 0x3F800000
    movd xmm1, eax
    minss xmm0, xmm1
    movss dword ptr [esi + 8], xmm0
    mov eax, 1
    jmp 2f
1:  xor eax, eax
2:  SEH_EPILOGUE 0x60, 4
