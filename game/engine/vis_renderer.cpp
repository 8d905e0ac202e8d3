// LarkEngine.dll: the engine's projection functions that the game imports by
// their decorated names. Both are member functions (object in ECX, arguments
// removed by the callee); they turn a horizontal field of view and an aspect
// ratio into the horizontal and vertical view angles and record what they got.
#include <cmath>

#include "vis_record.hpp"

namespace {

struct Object {
    char name[16];
};

Object renderer{"renderer"};
Object shadowCamera{"shadow camera"};
VisEngineRecord record{};

void project(VisProjectionRecord& r, const void* self, float fov, float* horizontal, float* vertical,
             float aspect) {
    const double pi = 3.14159265358979323846;
    double v = 0.0;
    if (aspect > 0.0f && fov > 0.0f && fov < 180.0f)
        v = 2.0 * std::atan(std::tan(fov * pi / 360.0) / aspect) * 180.0 / pi;
    r.calls += 1;
    r.fov = fov;
    r.aspect = aspect;
    r.horizontal = fov;
    r.vertical = float(v);
    r.object = self;
    if (horizontal) *horizontal = r.horizontal;
    if (vertical) *vertical = r.vertical;
}

} // namespace

extern "C" {

__attribute__((thiscall)) void visRendererPerspectiveToAngles(void* self, float fov, float* horizontal,
                                                              float* vertical, float aspect) {
    project(record.renderer, self, fov, horizontal, vertical, aspect);
}

__attribute__((thiscall)) void visCameraPerspectiveToAngles(void* self, float fov, float* horizontal,
                                                            float* vertical, float aspect) {
    project(record.camera, self, fov, horizontal, vertical, aspect);
}

void* VisGetRenderer() {
    return &renderer;
}
void* VisGetShadowCamera() {
    return &shadowCamera;
}
const VisEngineRecord* VisGetEngineRecord() {
    return &record;
}
}
