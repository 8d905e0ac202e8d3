// The byte patterns by which recognition finds the engine's code. "??" stands
// for address, displacement and immediate fields; opcodes and register
// encodings are always spelled out. Offsets in the comments count from the
// first byte of a match.
#pragma once

namespace lkm::signature {

// Camera projection call site (43 bytes):
//   A1 xxxxxxxx      mov eax, [r_fov value]        +1 value address
//   68 xxxxxxxx      push aspect (float)           +6 aspect
//   8D 4C 24 xx      lea ecx, [esp+n]
//   51               push ecx
//   8B 0D xxxxxxxx   mov ecx, [global]
//   8D 54 24 xx      lea edx, [esp+n]
//   52 50            push edx; push eax
//   E8 xxxxxxxx      call import thunk             +27
//   8B 4C 24 xx      mov ecx, [esp+n]
//   8B 54 24 xx      mov edx, [esp+n]
//   51 52 E8         push ecx; push edx; call
inline constexpr char cameraProjection[] =
    "A1 ?? ?? ?? ?? 68 ?? ?? ?? ?? 8D 4C 24 ?? 51 8B 0D ?? ?? ?? ?? 8D 54 "
    "24 ?? 52 50 E8 ?? ?? ?? ?? 8B 4C 24 ?? 8B 54 24 ?? 51 52 E8";

// Root GUI constructor site (43 bytes):
//   68 xxxxxxxx      push height (float)
//   68 xxxxxxxx      push width (float)
//   53 53 8B CF      push ebx; push ebx; mov ecx, edi
//   E8 xxxxxxxx      call
//   53 53 8B CD      push ebx; push ebx; mov ecx, ebp
//   E8 xxxxxxxx      call root GUI initializer
//   68 00 00 40 44   push 768.0
//   68 00 00 80 44   push 1024.0
//   53 53 8B CD E8   push ebx; push ebx; mov ecx, ebp; call
inline constexpr char rootGuiConstructor[] =
    "68 ?? ?? ?? ?? 68 ?? ?? ?? ?? 53 53 8B CF E8 ?? ?? ?? ?? 53 53 8B CD "
    "E8 ?? ?? ?? ?? 68 00 00 40 44 68 00 00 80 44 53 53 8B CD E8";

// GUI forward conversion (17 bytes):
//   D9 05 xxxxxxxx   fld [value]                   +2
//   D8 4C 24 04      fmul [esp+4]
//   D8 0D xxxxxxxx   fmul [multiplier]             +12
//   C3               ret
inline constexpr char forwardConversion[] = "D9 05 ?? ?? ?? ?? D8 4C 24 04 D8 0D ?? ?? ?? ?? C3";

// GUI inverse conversion (17 bytes):
//   D9 44 24 04      fld [esp+4]
//   D8 35 xxxxxxxx   fdiv [value]                  +6
//   D8 0D xxxxxxxx   fmul [multiplier]             +12
//   C3               ret
inline constexpr char inverseConversion[] = "D9 44 24 04 D8 35 ?? ?? ?? ?? D8 0D ?? ?? ?? ?? C3";

// GUI mouse coordinate mapping (65 bytes):
//   F3 0F 2A 04 24            cvtsi2ss xmm0, [esp]
//   F3 0F 59 05 xxxxxxxx      mulss xmm0, [scale x]        +9
//   F3 0F 5E 05 xxxxxxxx      divss xmm0, [divisor x]      +17
//   8B 4C 24 0C               mov ecx, [esp+0Ch]
//   8B 54 24 10               mov edx, [esp+10h]
//   F3 0F 11 01               movss [ecx], xmm0
//   F3 0F 2A 44 24 04         cvtsi2ss xmm0, [esp+4]
//   F3 0F 59 05 xxxxxxxx      mulss xmm0, [scale y]        +43
//   F3 0F 5E 05 xxxxxxxx      divss xmm0, [divisor y]      +51
//   F3 0F 11 02               movss [edx], xmm0
//   83 C4 08                  add esp, 8
//   C2 08 00                  ret 8
inline constexpr char mouseMapping[] =
    "F3 0F 2A 04 24 F3 0F 59 05 ?? ?? ?? ?? F3 0F 5E 05 ?? ?? ?? ?? 8B 4C 24 0C "
    "8B 54 24 10 F3 0F 11 01 F3 0F 2A 44 24 04 F3 0F 59 05 ?? ?? ?? ?? F3 0F "
    "5E 05 ?? ?? ?? ?? F3 0F 11 02 83 C4 08 C2 08 00";

// Integer CVar construction site (27 bytes):
//   68 xxxxxxxx      push imm32                    +1
//   6A 02            push 2
//   68 xxxxxxxx      push default                  +8
//   68 xxxxxxxx      push name                     +13
//   B9 xxxxxxxx      mov ecx, object               +18
//   E8 xxxxxxxx      call constructor              +22
inline constexpr char intCvarConstruction[] =
    "68 ?? ?? ?? ?? 6A 02 68 ?? ?? ?? ?? 68 ?? ?? ?? ?? B9 ?? ?? ?? ?? E8 ?? ?? ?? ??";

// Boolean CVar construction site (24 bytes):
//   68 xxxxxxxx      push imm32                    +1
//   6A 02            push 2
//   6A xx            push default (imm8)           +8
//   68 xxxxxxxx      push name                     +10
//   B9 xxxxxxxx      mov ecx, object               +15
//   E8 xxxxxxxx      call constructor              +19
inline constexpr char boolCvarConstruction[] =
    "68 ?? ?? ?? ?? 6A 02 6A ?? 68 ?? ?? ?? ?? B9 ?? ?? ?? ?? E8 ?? ?? ?? ??";

// Structured-exception prologue (21 bytes):
//   64 A1 00000000      mov eax, fs:[0]
//   6A FF               push -1
//   68 xxxxxxxx         push handler               +9
//   50                  push eax
//   64 89 25 00000000   mov fs:[0], esp
inline constexpr char exceptionPrologue[] = "64 A1 00 00 00 00 6A FF 68 ?? ?? ?? ?? 50 64 89 25 00 00 00 00";

} // namespace lkm::signature
