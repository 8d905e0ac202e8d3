#include "busy_threads.hpp"

namespace lkm::game {

namespace {

VisEngineRecord& engineRecord() {
    return *const_cast<VisEngineRecord*>(VisGetEngineRecord());
}

// One pass over the code the plug-in patches: every CVar setter on objects of
// the thread's own (the plug-in enforces nothing on them), the two camera
// projections, the GUI root and popup, and the coordinate conversions.
void busyPass(CVar& number, CVar& flag) {
    CVar_SetInt(&number, 640);
    CVar_SetFloat(&number, 90.0f);
    CVar_SetBool(&flag, true);
    CVar_SetFromCVar(&number, &flag);
    CVar_SetString(&number, "480");
    Camera_UpdateProjection();
    ShadowCamera_UpdateProjection();
    GuiManager_CreateRoot();
    GuiManager_CreatePopup();
    volatile float sink = gui_units_to_pixels_x(512.0f) + gui_units_to_pixels_y(384.0f) +
                          GuiFont_LineHeightPixels(24.0f) + Camera_LetterboxBarUnits(75.0f);
    GuiMouse mouse{0, 400, 300};
    float x = 0, y = 0;
    GuiMouse_ToUnits(&mouse, &x, &y);
    sink = sink + x + y;
}

} // namespace

DWORD WINAPI BusyThreads::run(void* parameter) {
    auto* self = static_cast<BusyThreads*>(parameter);
    CVar number = r_xres2, flag = r_fullscreen; // copies: unlisted objects at addresses of this thread
    number.next = flag.next = nullptr;
    busyPass(number, flag);
    self->looped_.fetch_add(1);
    while (!self->stop_.load(std::memory_order_relaxed)) busyPass(number, flag);
    return 0;
}

BusyThreads::BusyThreads(int count)
    : record_(engineRecord()), camera_(g_camera_view), shadow_(g_shadow_view), root_(g_gui_root),
      popup_(g_gui_popup), cursor_(g_gui_cursor) {
    for (int i = 0; i < count; ++i)
        if (HANDLE thread = CreateThread(nullptr, 0, run, this, 0, nullptr)) threads_.push_back(thread);
    while (looped_.load() < int(threads_.size())) Sleep(0);
}

BusyThreads::~BusyThreads() {
    stop_.store(true);
    for (HANDLE thread : threads_) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    engineRecord() = record_;
    g_camera_view = camera_;
    g_shadow_view = shadow_;
    g_gui_root = root_;
    g_gui_popup = popup_;
    g_gui_cursor = cursor_;
}

} // namespace lkm::game
