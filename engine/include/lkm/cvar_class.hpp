// The engine's CVar class as the plug-in meets it: the objects, their names,
// and the family of setters that recognition finds and the plug-in redirects.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lkm::cvar {

// A CVar object: 112 bytes of writable game data holding its value three times.
inline constexpr uint32_t objectLength = 112;
inline constexpr uint32_t floatField = 20; // 32-bit float: the value the GUI conversions read
inline constexpr uint32_t intField = 24;   // 32-bit signed integer
inline constexpr uint32_t boolField = 28;  // 8-bit bool

// The four CVars the plug-in finds by name.
namespace name {
inline constexpr char xres[] = "r_xres";
inline constexpr char yres[] = "r_yres";
inline constexpr char fov[] = "r_fov";
inline constexpr char fullscreen[] = "r_fullscreen";
} // namespace name

// Every setter begins with the exception prologue, whose first instruction is
//   64 A1 00 00 00 00   mov eax, fs:[0]
// (no relative operand: a gateway runs it unchanged at another address).
inline constexpr std::array<uint8_t, 6> setterPrologue = {0x64, 0xA1, 0x00, 0x00, 0x00, 0x00};

// Behind the 21-byte prologue each setter reserves its stack frame, then its body begins
//   56 8B F1 F6 46 06 01   push esi; mov esi, ecx; test byte ptr [esi+6], 1
inline constexpr uint32_t frameOffset = 21;
inline constexpr std::array<uint8_t, 7> setterBody = {0x56, 0x8B, 0xF1, 0xF6, 0x46, 0x06, 0x01};

// The frames of the family, and how many setters reserve each.
struct SetterFrame {
    std::array<uint8_t, 6> code;
    uint32_t length; // bytes of `code` that count
    int members;     // setters of the family with this frame
};
inline constexpr SetterFrame frame20 = {{0x83, 0xEC, 0x20}, 3, 2};                   // sub esp, 20h
inline constexpr SetterFrame frame60 = {{0x83, 0xEC, 0x60}, 3, 2};                   // sub esp, 60h
inline constexpr SetterFrame frameA0 = {{0x81, 0xEC, 0xA0, 0x00, 0x00, 0x00}, 6, 1}; // sub esp, 0A0h
inline constexpr std::array<SetterFrame, 3> setterFrames = {frame20, frame60, frameA0};

// The setters the plug-in redirects: every member of the family.
inline constexpr std::size_t setterCount = std::size_t(frame20.members + frame60.members + frameA0.members);

} // namespace lkm::cvar
