# The engine's CVar class: the five setters, the two constructors that the
# registration code calls, and two small members. Every member function takes
# its object in ECX and removes its stack arguments itself; setters return a
# bool in AL. The setters keep the order and the stack frames of the engine:
#   SetFloat 20h, SetInt 60h, SetBool 60h, SetFromCVar 20h, SetString 0A0h.
.intel_syntax noprefix
.include "seh_frame.inc"
.include "cvar_layout.inc"

.data
.globl _cvar_list_head
.p2align 2
_cvar_list_head:
    .long 0

.text

# EXCEPTION_DISPOSITION handler(record, frame, context, dispatcher): nothing of
# the CVar code handles an exception, the search goes on.
.p2align 4, 0xCC
_cvar_seh_handler:
    mov eax, 1                          # ExceptionContinueSearch
    ret

# bool CVar::SetFloat(float value)
.globl _CVar_SetFloat
.p2align 4, 0xCC
_CVar_SetFloat:
    SEH_PROLOGUE _cvar_seh_handler
    sub esp, 0x20                       # 83 EC 20
    SETTER_BODY_START
    jnz 1f
    movss xmm0, dword ptr [esp + 0x34]
    movss dword ptr [esi + CVAR_FLOAT], xmm0
    cvttss2si eax, xmm0
    mov dword ptr [esi + CVAR_INT], eax
    xorps xmm1, xmm1
    ucomiss xmm0, xmm1
    setne al
    setp cl                             # NaN counts as true
    or al, cl
    mov byte ptr [esi + CVAR_BOOL], al
    inc dword ptr [esi + CVAR_CHANGES]
    mov eax, 1
    jmp 2f
1:  xor eax, eax
2:  SEH_EPILOGUE 0x20, 4

# bool CVar::SetInt(int value)
.globl _CVar_SetInt
.p2align 4, 0xCC
_CVar_SetInt:
    SEH_PROLOGUE _cvar_seh_handler
    sub esp, 0x60                       # 83 EC 60
    SETTER_BODY_START
    jnz 1f
    mov eax, dword ptr [esi + CVAR_INT]
    mov dword ptr [esp + 4], eax        # previous value, kept in the frame
    mov eax, dword ptr [esp + 0x74]
    cvtsi2ss xmm0, eax
    movss dword ptr [esi + CVAR_FLOAT], xmm0
    mov dword ptr [esi + CVAR_INT], eax
    test eax, eax
    setne byte ptr [esi + CVAR_BOOL]
    inc dword ptr [esi + CVAR_CHANGES]
    mov eax, 1
    jmp 2f
1:  xor eax, eax
2:  SEH_EPILOGUE 0x60, 4

# CVar::CVar(const char* name, bool value, int flags, const char* description)
.globl _CVar_ConstructBool
.p2align 4, 0xCC
_CVar_ConstructBool:
    push esi
    mov esi, ecx
    push edi
    mov edi, esi
    xor eax, eax
    mov ecx, CVAR_SIZE / 4
    rep stosd
    pop edi
    mov eax, dword ptr [esp + 8]
    mov dword ptr [esi + CVAR_NAME], eax
    mov eax, dword ptr [esp + 16]
    mov word ptr [esi + CVAR_FLAGS], ax
    mov byte ptr [esi + CVAR_TYPE], 2
    mov eax, dword ptr [esp + 20]
    mov dword ptr [esi + CVAR_DESCRIPTION], eax
    movzx eax, byte ptr [esp + 12]
    mov dword ptr [esi + CVAR_DEFAULT], eax
    mov eax, dword ptr [_cvar_list_head]
    mov dword ptr [esi + CVAR_NEXT], eax
    mov dword ptr [_cvar_list_head], esi
    push dword ptr [esp + 12]
    mov ecx, esi
    call _CVar_SetBool
    mov dword ptr [esi + CVAR_CHANGES], 0
    mov eax, esi
    pop esi
    ret 16

# CVar::CVar(const char* name, int value, int flags, const char* description)
.globl _CVar_ConstructInt
.p2align 4, 0xCC
_CVar_ConstructInt:
    push esi
    mov esi, ecx
    push edi
    mov edi, esi
    xor eax, eax
    mov ecx, CVAR_SIZE / 4
    rep stosd
    pop edi
    mov eax, dword ptr [esp + 8]
    mov dword ptr [esi + CVAR_NAME], eax
    mov eax, dword ptr [esp + 16]
    mov word ptr [esi + CVAR_FLAGS], ax
    mov byte ptr [esi + CVAR_TYPE], 1
    mov eax, dword ptr [esp + 20]
    mov dword ptr [esi + CVAR_DESCRIPTION], eax
    mov eax, dword ptr [esp + 12]
    mov dword ptr [esi + CVAR_DEFAULT], eax
    mov eax, dword ptr [_cvar_list_head]
    mov dword ptr [esi + CVAR_NEXT], eax
    mov dword ptr [_cvar_list_head], esi
    push dword ptr [esp + 12]
    mov ecx, esi
    call _CVar_SetInt
    mov dword ptr [esi + CVAR_CHANGES], 0
    mov eax, esi
    pop esi
    ret 16

# bool CVar::IsDefault() const: the same frame code with a 40h frame.
.globl _CVar_IsDefault
.p2align 4, 0xCC
_CVar_IsDefault:
    SEH_PROLOGUE _cvar_seh_handler
    sub esp, 0x40                       # 83 EC 40
    SETTER_BODY_START
    mov eax, dword ptr [esi + CVAR_INT]
    mov dword ptr [esp + 4], eax
    cmp eax, dword ptr [esi + CVAR_DEFAULT]
    sete al
    movzx eax, al
    SEH_EPILOGUE 0x40, 0

# void CVar::Lock()
.globl _CVar_Lock
.p2align 4, 0xCC
_CVar_Lock:
    or byte ptr [ecx + CVAR_STATE], 1
    ret

# bool CVar::SetBool(bool value). The argument byte is read with
# 53 8A 5C 24 78 (push ebx; mov bl, [esp+78h]) at +53.
.globl _CVar_SetBool
.p2align 4, 0xCC
_CVar_SetBool:
    SEH_PROLOGUE _cvar_seh_handler      # +0
    sub esp, 0x60                       # +21  83 EC 60
    SETTER_BODY_START                   # +24
    .byte 0x0F, 0x85
    .long 1f - . - 4                    # +31  jnz 1f
    mov eax, dword ptr [esi + CVAR_FLOAT] # +37  8B 46 14
    mov dword ptr [esp + 4], eax        # +40  89 44 24 04
    mov eax, dword ptr [esi + CVAR_INT] # +44  8B 46 18
    mov dword ptr [esp + 8], eax        # +47  89 44 24 08
    .byte 0x33, 0xC0                    # +51  xor eax, eax
    push ebx                            # +53  53
    mov bl, byte ptr [esp + 0x78]       # +54  8A 5C 24 78
    test bl, bl
    setne al
    mov byte ptr [esi + CVAR_BOOL], al
    mov dword ptr [esi + CVAR_INT], eax
    cvtsi2ss xmm0, eax
    movss dword ptr [esi + CVAR_FLOAT], xmm0
    pop ebx
    inc dword ptr [esi + CVAR_CHANGES]
    mov eax, 1
    jmp 2f
1:  xor eax, eax
2:  SEH_EPILOGUE 0x60, 4

# bool CVar::SetFromCVar(const CVar* source): copies all three values.
.globl _CVar_SetFromCVar
.p2align 4, 0xCC
_CVar_SetFromCVar:
    SEH_PROLOGUE _cvar_seh_handler
    sub esp, 0x20                       # 83 EC 20
    SETTER_BODY_START
    jnz 1f
    mov edx, dword ptr [esp + 0x34]
    test edx, edx
    jz 1f
    mov eax, dword ptr [edx + CVAR_FLOAT]
    mov dword ptr [esi + CVAR_FLOAT], eax
    mov eax, dword ptr [edx + CVAR_INT]
    mov dword ptr [esi + CVAR_INT], eax
    mov al, byte ptr [edx + CVAR_BOOL]
    mov byte ptr [esi + CVAR_BOOL], al
    inc dword ptr [esi + CVAR_CHANGES]
    mov eax, 1
    jmp 2f
1:  xor eax, eax
2:  SEH_EPILOGUE 0x20, 4

# bool CVar::SetString(const char* text): a decimal integer with an optional
# minus sign, at most 159 characters (copied into the frame first) and at most
# nine digits; anything else is refused.
.globl _CVar_SetString
.p2align 4, 0xCC
_CVar_SetString:
    SEH_PROLOGUE _cvar_seh_handler
    sub esp, 0xA0                       # 81 EC A0 00 00 00
    SETTER_BODY_START
    jnz 1f
    push edi
    mov edx, dword ptr [esp + 0xB8]     # text
    test edx, edx
    jz 4f
    lea edi, [esp + 8]                  # the copy in the frame
    mov ecx, 0x9F
3:  mov al, byte ptr [edx]
    test al, al
    jz 5f
    mov byte ptr [edi], al
    inc edx
    inc edi
    dec ecx
    jnz 3b
    jmp 4f                              # too long
5:  mov byte ptr [edi], 0
    lea edx, [esp + 8]
    xor eax, eax                        # value
    xor ecx, ecx                        # digits
    cmp byte ptr [edx], '-'
    jne 6f
    inc edx
6:  movzx edi, byte ptr [edx]
    sub edi, '0'
    cmp edi, 9
    ja 7f
    cmp ecx, 9
    jae 4f                              # more than nine digits
    imul eax, eax, 10
    add eax, edi
    inc ecx
    inc edx
    jmp 6b
7:  test ecx, ecx
    jz 4f                               # no digit
    cmp byte ptr [edx], 0
    jne 4f                              # characters after the number
    cmp byte ptr [esp + 8], '-'
    jne 8f
    neg eax
8:  pop edi
    cvtsi2ss xmm0, eax
    movss dword ptr [esi + CVAR_FLOAT], xmm0
    mov dword ptr [esi + CVAR_INT], eax
    test eax, eax
    setne byte ptr [esi + CVAR_BOOL]
    inc dword ptr [esi + CVAR_CHANGES]
    mov eax, 1
    jmp 2f
4:  pop edi
1:  xor eax, eax
2:  SEH_EPILOGUE 0xA0, 4

.ifdef LKM_SIXTH_SETTER
# bool CVar::SetToDefault(), in the variant built with LKM_SIXTH_SETTER: a sixth
# member compiled with the setters' frame code (20h), as a later engine build
# could have it. The game never calls it.
.globl _CVar_SetToDefault
.p2align 4, 0xCC
_CVar_SetToDefault:
    SEH_PROLOGUE _cvar_seh_handler
    sub esp, 0x20                       # 83 EC 20
    SETTER_BODY_START
    jnz 1f
    mov eax, dword ptr [esi + CVAR_DEFAULT]
    cvtsi2ss xmm0, eax
    movss dword ptr [esi + CVAR_FLOAT], xmm0
    mov dword ptr [esi + CVAR_INT], eax
    test eax, eax
    setne byte ptr [esi + CVAR_BOOL]
    inc dword ptr [esi + CVAR_CHANGES]
    mov eax, 1
    jmp 2f
1:  xor eax, eax
2:  SEH_EPILOGUE 0x20, 0
.endif
