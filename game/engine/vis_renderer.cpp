// LarkEngine.dll: the engine's projection functions that the game imports by
// their decorated names. Both are member functions (object in ECX, arguments
// removed by the callee); they turn the focal parameter (the game's r_fov) and
// an aspect ratio into the horizontal and vertical view angles and record what
// they got.
#include <cmath>

#include "vis_record.hpp"

namespace lkm::game {

namespace {

struct Object {
    char name[16];
};

Object renderer{"renderer"};
Object shadowCamera{"shadow camera"};
VisEngineRecord record{};

void project(VisProjectionRecord& r, const void* self, float focal, float* horizontal, float* vertical,
             float aspect) {
    // The focal parameter f is measured against the screen's width: half the
    // width lies at 90 / f of the focal distance, half the height at
    // 90 / (f x a) for the aspect a. So h = 2 atan(90 / f), v = 2 atan(90 / (f a)):
    // 90 at 4:3 gives 90 x 73.74 degrees, 67.5 at 16:9 gives 106.26 x 73.74.
    const double degrees = 180.0 / 3.14159265358979323846;
    double h = 0.0, v = 0.0;
    if (std::isfinite(focal) && std::isfinite(aspect) && focal > 0.0f && aspect > 0.0f) {
        h = 2.0 * std::atan(90.0 / focal) * degrees;
        v = 2.0 * std::atan(90.0 / (double(focal) * aspect)) * degrees;
    }
    r.calls += 1;
    r.fov = focal;
    r.aspect = aspect;
    r.horizontal = float(h);
    r.vertical = float(v);
    r.object = self;
    if (horizontal) *horizontal = r.horizontal;
    if (vertical) *vertical = r.vertical;
}

} // namespace

extern "C" {

__attribute__((thiscall)) void visRendererPerspectiveToAngles(void* self, float focal, float* horizontal,
                                                              float* vertical, float aspect) {
    project(record.renderer, self, focal, horizontal, vertical, aspect);
}

__attribute__((thiscall)) void visCameraPerspectiveToAngles(void* self, float focal, float* horizontal,
                                                            float* vertical, float aspect) {
    project(record.camera, self, focal, horizontal, vertical, aspect);
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

} // namespace lkm::game
