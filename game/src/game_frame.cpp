#include "game_frame.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "../engine/vis_record.hpp"
#include "engine_abi.hpp"
#include "frame.hpp"
#include "frame_png.hpp"
#include "hud_render.hpp"
#include "scene_render.hpp"

namespace lkm::game {

namespace {

std::string captionText(int width, int height, const AsiReport& asi) {
    std::string modules;
    for (const AsiModule& module : asi.modules)
        if (module.loaded) modules += (modules.empty() ? "" : ", ") + module.file;
    char text[256];
    std::snprintf(text, sizeof text, "%d x %d, %s: view %.2f x %.2f degrees, GUI canvas %.0f x %.0f", width,
                  height, modules.empty() ? "no plug-in" : modules.c_str(), double(g_camera_view.horizontal),
                  double(g_camera_view.vertical), double(g_gui_root.canvas.rect.width),
                  double(g_gui_root.canvas.rect.height));
    return text;
}

// The picture with a dark band below it that holds the caption.
Frame captioned(const Frame& picture, const std::string& text) {
    const int size = std::max(1, picture.width() / 640), band = 13 * size;
    Frame result(picture.width(), picture.height() + band);
    std::copy(picture.bytes().begin(), picture.bytes().end(), result.data());
    result.fill(0, picture.height(), result.width(), result.height(), {20, 24, 32});
    drawText(result, 5 * size, picture.height() + 3 * size, size, text);
    return result;
}

} // namespace

std::string writeGameFrame(const FrameRequest& request, const AsiReport& asi) {
    const float x = r_xres.value, y = r_yres.value;
    if (!(x >= 1.0f && x <= 16384.0f && y >= 1.0f && y <= 16384.0f))
        return "The engine's resolution is outside 1 to 16384 pixels.";
    const int width = int(x), height = int(y);
    if (int64_t(width) * height > 40'000'000)
        return "The frame is too large to render (over 40 million pixels).";
    Frame frame(width, height);
    drawScene(frame, g_camera_view.horizontal, g_camera_view.vertical);
    drawHud(frame);
    for (int seam = 1; seam < request.screens; ++seam) {
        const int at = width * seam / request.screens, half = std::max(2, width / 1280);
        frame.fill(at - half, 0, at + half, height, {12, 12, 14});
    }
    if (request.width > 0 && request.width < width) frame = scaled(frame, request.width);
    if (request.caption) frame = captioned(frame, captionText(width, height, asi));
    if (!writePng(frame, request.path)) return "Cannot write the frame to " + request.path + ".";
    return "";
}

} // namespace lkm::game
