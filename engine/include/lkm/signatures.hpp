// The byte patterns by which recognition finds the engine's code. "??" stands
// for address, displacement and immediate fields; opcodes and register
// encodings are always spelled out. Each signature is one record: its text,
// and the positions of the operands recognition reads, counted from the first
// byte of a match, named beside the disassembly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace lkm::signature {

// Camera projection call site (43 bytes):
//   A1 xxxxxxxx      mov eax, [r_fov value]        +1 fovValue
//   68 xxxxxxxx      push aspect (float)           +6 aspect
//   8D 4C 24 xx      lea ecx, [esp+n]
//   51               push ecx
//   8B 0D xxxxxxxx   mov ecx, [global]
//   8D 54 24 xx      lea edx, [esp+n]
//   52 50            push edx; push eax
//   E8 xxxxxxxx      call import thunk             +27 perspectiveCall
//   8B 4C 24 xx      mov ecx, [esp+n]
//   8B 54 24 xx      mov edx, [esp+n]
//   51 52 E8         push ecx; push edx; call
inline constexpr struct CameraProjection {
    const char* text = "A1 ?? ?? ?? ?? 68 ?? ?? ?? ?? 8D 4C 24 ?? 51 8B 0D ?? ?? ?? ?? 8D 54 "
                       "24 ?? 52 50 E8 ?? ?? ?? ?? 8B 4C 24 ?? 8B 54 24 ?? 51 52 E8";
    uint32_t fovValue = 1;
    uint32_t aspect = 6;
    uint32_t perspectiveCall = 27;
} cameraProjection;

// Root GUI constructor site (43 bytes):
//   68 xxxxxxxx      push height (float)         +1 height
//   68 xxxxxxxx      push width (float)          +6 width
//   53 53 8B CF      push ebx; push ebx; mov ecx, edi
//   E8 xxxxxxxx      call
//   53 53 8B CD      push ebx; push ebx; mov ecx, ebp
//   E8 xxxxxxxx      call root GUI initializer   +23 initializerCall
//   68 00 00 40 44   push 768.0
//   68 00 00 80 44   push 1024.0
//   53 53 8B CD E8   push ebx; push ebx; mov ecx, ebp; call
inline constexpr struct RootGuiConstructor {
    const char* text = "68 ?? ?? ?? ?? 68 ?? ?? ?? ?? 53 53 8B CF E8 ?? ?? ?? ?? 53 53 8B CD "
                       "E8 ?? ?? ?? ?? 68 00 00 40 44 68 00 00 80 44 53 53 8B CD E8";
    uint32_t height = 1;
    uint32_t width = 6;
    uint32_t initializerCall = 23;
} rootGuiConstructor;

// GUI forward conversion (17 bytes):
//   D9 05 xxxxxxxx   fld [value]                   +2 value
//   D8 4C 24 04      fmul [esp+4]
//   D8 0D xxxxxxxx   fmul [multiplier]             +12 multiplier
//   C3               ret
inline constexpr struct ForwardConversion {
    const char* text = "D9 05 ?? ?? ?? ?? D8 4C 24 04 D8 0D ?? ?? ?? ?? C3";
    uint32_t value = 2;
    uint32_t multiplier = 12;
} forwardConversion;

// GUI inverse conversion (17 bytes):
//   D9 44 24 04      fld [esp+4]
//   D8 35 xxxxxxxx   fdiv [value]                  +6 value
//   D8 0D xxxxxxxx   fmul [multiplier]             +12 multiplier
//   C3               ret
inline constexpr struct InverseConversion {
    const char* text = "D9 44 24 04 D8 35 ?? ?? ?? ?? D8 0D ?? ?? ?? ?? C3";
    uint32_t value = 6;
    uint32_t multiplier = 12;
} inverseConversion;

// GUI mouse coordinate mapping (65 bytes):
//   F3 0F 2A 04 24            cvtsi2ss xmm0, [esp]
//   F3 0F 59 05 xxxxxxxx      mulss xmm0, [scale x]        +9 scaleX
//   F3 0F 5E 05 xxxxxxxx      divss xmm0, [divisor x]      +17 divisorX
//   8B 4C 24 0C               mov ecx, [esp+0Ch]
//   8B 54 24 10               mov edx, [esp+10h]
//   F3 0F 11 01               movss [ecx], xmm0
//   F3 0F 2A 44 24 04         cvtsi2ss xmm0, [esp+4]
//   F3 0F 59 05 xxxxxxxx      mulss xmm0, [scale y]        +43 scaleY
//   F3 0F 5E 05 xxxxxxxx      divss xmm0, [divisor y]      +51 divisorY
//   F3 0F 11 02               movss [edx], xmm0
//   83 C4 08                  add esp, 8
//   C2 08 00                  ret 8
inline constexpr struct MouseMapping {
    const char* text = "F3 0F 2A 04 24 F3 0F 59 05 ?? ?? ?? ?? F3 0F 5E 05 ?? ?? ?? ?? 8B 4C 24 0C "
                       "8B 54 24 10 F3 0F 11 01 F3 0F 2A 44 24 04 F3 0F 59 05 ?? ?? ?? ?? F3 0F "
                       "5E 05 ?? ?? ?? ?? F3 0F 11 02 83 C4 08 C2 08 00";
    uint32_t scaleX = 9;
    uint32_t divisorX = 17;
    uint32_t scaleY = 43;
    uint32_t divisorY = 51;
} mouseMapping;

// Integer CVar construction site (27 bytes):
//   68 xxxxxxxx      push imm32
//   6A 02            push 2
//   68 xxxxxxxx      push default                  +8 defaultValue
//   68 xxxxxxxx      push name                     +13 name
//   B9 xxxxxxxx      mov ecx, object               +18 object
//   E8 xxxxxxxx      call constructor              +22 constructorCall
inline constexpr struct IntCvarConstruction {
    const char* text = "68 ?? ?? ?? ?? 6A 02 68 ?? ?? ?? ?? 68 ?? ?? ?? ?? B9 ?? ?? ?? ?? E8 ?? ?? ?? ??";
    uint32_t defaultValue = 8;
    uint32_t name = 13;
    uint32_t object = 18;
    uint32_t constructorCall = 22;
} intCvarConstruction;

// Boolean CVar construction site (24 bytes):
//   68 xxxxxxxx      push imm32
//   6A 02            push 2
//   6A xx            push default (imm8)           +8 defaultValue
//   68 xxxxxxxx      push name                     +10 name
//   B9 xxxxxxxx      mov ecx, object               +15 object
//   E8 xxxxxxxx      call constructor              +19 constructorCall
inline constexpr struct BoolCvarConstruction {
    const char* text = "68 ?? ?? ?? ?? 6A 02 6A ?? 68 ?? ?? ?? ?? B9 ?? ?? ?? ?? E8 ?? ?? ?? ??";
    uint32_t defaultValue = 8;
    uint32_t name = 10;
    uint32_t object = 15;
    uint32_t constructorCall = 19;
} boolCvarConstruction;

// Structured-exception prologue (21 bytes):
//   64 A1 00000000      mov eax, fs:[0]
//   6A FF               push -1
//   68 xxxxxxxx         push handler
//   50                  push eax
//   64 89 25 00000000   mov fs:[0], esp
inline constexpr struct ExceptionPrologue {
    const char* text = "64 A1 00 00 00 00 6A FF 68 ?? ?? ?? ?? 50 64 89 25 00 00 00 00";
} exceptionPrologue;

// Every signature recognition searches for, by name; recognition finds them
// all in one pass over the code, and the benchmarks and fuzz checks time and
// check the same list.
struct Listed {
    const char* name;
    const char* text;
};
inline constexpr Listed all[] = {
    {"cameraProjection", cameraProjection.text},   {"rootGuiConstructor", rootGuiConstructor.text},
    {"forwardConversion", forwardConversion.text}, {"inverseConversion", inverseConversion.text},
    {"mouseMapping", mouseMapping.text},           {"intCvarConstruction", intCvarConstruction.text},
    {"exceptionPrologue", exceptionPrologue.text}, {"boolCvarConstruction", boolCvarConstruction.text},
};
inline constexpr std::size_t count = std::size(all);

// The number of bytes a signature text stands for: its blank-separated words.
constexpr std::size_t lengthOf(std::string_view text) {
    std::size_t words = 0;
    bool inWord = false;
    for (char c : text) {
        const bool blank = c == ' ';
        if (!blank && !inWord) ++words;
        inWord = !blank;
    }
    return words;
}

// The position of the signature with this text in `all`; `count` for none.
constexpr std::size_t indexOf(std::string_view text) {
    std::size_t i = 0;
    while (i < count && std::string_view(all[i].text) != text) ++i;
    return i;
}

} // namespace lkm::signature
