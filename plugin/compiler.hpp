// The few compiler-specific spellings the plug-in needs, in one place.
#pragma once

// The engine's CVar setters take `this` in ECX and remove their one stack
// argument themselves; the Windows fastcall convention reproduces that for a
// function (ECX, EDX, stack). Only 32-bit x86 has the convention; a native
// build of the portable code on another architecture gets plain calls.
#if defined(_M_IX86) || defined(__i386__)
#define LKM_FASTCALL __fastcall
#else
#define LKM_FASTCALL
#endif
