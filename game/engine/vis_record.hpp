// What the engine DLL's projection functions were handed, kept by the engine so
// that the game can show it. Shared by LarkEngine.dll and the game.
#pragma once

#include <cstdint>

namespace lkm::game {

struct VisProjectionRecord {
    int32_t calls;      // number of calls so far
    float fov;          // first argument: the focal parameter (r_fov)
    float aspect;       // last argument: the width-to-height ratio
    float horizontal;   // horizontal view angle in degrees, written through the first pointer
    float vertical;     // vertical view angle in degrees, written through the second pointer
    const void* object; // the object the call was made on (ECX)
};

struct VisEngineRecord {
    VisProjectionRecord renderer; // VisRenderer_cl::PerspectiveToAngles
    VisProjectionRecord camera;   // VisCamera_cl::PerspectiveToAngles
};

extern "C" {
// Exports of LarkEngine.dll with C names (the same inside the namespace).
void* VisGetRenderer();
void* VisGetShadowCamera();
const VisEngineRecord* VisGetEngineRecord();
}

} // namespace lkm::game
