#include "hud_render.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include <stb_easy_font.h>

#include "engine_abi.hpp"
#include "frame_scene.hpp"

namespace lkm::game {

namespace {

struct Rect {
    float x0, y0, x1, y1;
};

// The glyphs of a text as rectangles in font pixels (a capital is 7 high),
// from the single-header easy font.
std::vector<Rect> glyphs(const std::string& text, float& width) {
    std::vector<char> line(text.begin(), text.end());
    line.push_back('\0');
    width = float(stb_easy_font_width(line.data()));
    std::vector<unsigned char> vertices(line.size() * 300 + 64);
    const int quads = stb_easy_font_print(0, 0, line.data(), nullptr, vertices.data(), int(vertices.size()));
    std::vector<Rect> rects;
    for (int q = 0; q < quads; ++q) {
        const unsigned char* v = &vertices[size_t(q) * 64]; // 4 vertices of x, y, z and RGBA
        Rect r{1e9f, 1e9f, -1e9f, -1e9f};
        for (int i = 0; i < 4; ++i) {
            float x, y;
            std::copy(v + i * 16, v + i * 16 + 4, reinterpret_cast<unsigned char*>(&x));
            std::copy(v + i * 16 + 4, v + i * 16 + 8, reinterpret_cast<unsigned char*>(&y));
            r = {std::min(r.x0, x), std::min(r.y0, y), std::max(r.x1, x), std::max(r.y1, y)};
        }
        rects.push_back(r);
    }
    return rects;
}

int pixel(float value) {
    return int(std::lround(value));
}

// Layout units to screen pixels the way the game's GUI does it: the root canvas
// places the 1024 x 768 layout space at its (x, y), and the engine's
// conversion functions turn canvas units into pixels.
class Gui {
public:
    Gui(Frame& frame) : frame_(frame), canvas_(g_gui_root.canvas.rect) {}

    int x(float units) const { return pixel(gui_units_to_pixels_x(canvas_.x + units)); }
    int y(float units) const { return pixel(gui_units_to_pixels_y(canvas_.y + units)); }
    void fill(Rect r, Rgb colour, float opacity = 1.0f) {
        frame_.fill(x(r.x0), y(r.y0), x(r.x1), y(r.y1), colour, opacity);
    }
    void outline(Rect r, float thickness, Rgb colour) {
        fill({r.x0, r.y0, r.x1, r.y0 + thickness}, colour);
        fill({r.x0, r.y1 - thickness, r.x1, r.y1}, colour);
        fill({r.x0, r.y0 + thickness, r.x0 + thickness, r.y1 - thickness}, colour);
        fill({r.x1 - thickness, r.y0 + thickness, r.x1, r.y1 - thickness}, colour);
    }
    // Text with its top left corner at (left, top), size units per font pixel.
    void text(float left, float top, float size, const std::string& line, Rgb colour) {
        float width = 0;
        for (const Rect& g : glyphs(line, width))
            fill({left + g.x0 * size, top + g.y0 * size, left + g.x1 * size, top + g.y1 * size}, colour);
    }
    // The engine's mouse mapping of a screen pixel, in layout units.
    void mouseToLayout(int mx, int my, float& u, float& v) const {
        g_gui_mouse.x = mx;
        g_gui_mouse.y = my;
        GuiMouse_ToUnits(&g_gui_mouse, &u, &v);
        u -= canvas_.x;
        v -= canvas_.y;
    }

private:
    Frame& frame_;
    GuiRect canvas_;
};

const Rgb panel{16, 22, 34}, ink{236, 240, 246}, dim{150, 162, 180}, highlight{255, 255, 255};

struct Widget {
    Rect area;
    const char* title;
};

void drawCrosshair(Gui& gui) {
    const Rgb c = frame_scene::crosshairColour;
    const float cx = 512, cy = 384, gap = 6, arm = 22, half = 1.5f;
    gui.fill({cx - arm, cy - half, cx - gap, cy + half}, c);
    gui.fill({cx + gap, cy - half, cx + arm, cy + half}, c);
    gui.fill({cx - half, cy - arm, cx + half, cy - gap}, c);
    gui.fill({cx - half, cy + gap, cx + half, cy + arm}, c);
    gui.fill({cx - half, cy - half, cx + half, cy + half}, c);
}

void drawWidgets(Gui& gui, const Widget* hovered, const Widget (&widgets)[4]) {
    for (const Widget& w : widgets) {
        gui.fill(w.area, panel, 0.72f);
        gui.outline(w.area, 2, &w == hovered ? highlight : dim);
        gui.text(w.area.x0 + 12, w.area.y0 + 10, 2.0f, w.title, dim);
    }
    const Rect objective = widgets[0].area, map = widgets[1].area, health = widgets[2].area,
               ammo = widgets[3].area;
    gui.text(objective.x0 + 12, objective.y0 + 32, 2.5f, "Reach the red sphere", ink);
    // The map: a square grid with the player's marker and view cone.
    const Rect grid{map.x0 + 12, map.y0 + 32, map.x1 - 12, map.y1 - 12};
    for (int i = 0; i <= 6; ++i) {
        const float t = float(i) / 6.0f;
        const float gx = grid.x0 + (grid.x1 - grid.x0) * t, gy = grid.y0 + (grid.y1 - grid.y0) * t;
        gui.fill({gx - 0.75f, grid.y0, gx + 0.75f, grid.y1}, dim, 0.6f);
        gui.fill({grid.x0, gy - 0.75f, grid.x1, gy + 0.75f}, dim, 0.6f);
    }
    const float mx = (grid.x0 + grid.x1) / 2, my = grid.y1 - 24;
    gui.fill({mx - 5, my - 5, mx + 5, my + 5}, ink);
    gui.fill({mx - 4, grid.y0 + 20, mx + 4, grid.y0 + 28}, {240, 200, 90}); // the objective
    gui.text(health.x0 + 12, health.y0 + 32, 3.0f, "100", ink);
    gui.fill({health.x0 + 78, health.y0 + 36, health.x1 - 14, health.y0 + 52}, {40, 48, 60});
    gui.fill({health.x0 + 78, health.y0 + 36, health.x1 - 40, health.y0 + 52}, {88, 200, 120});
    gui.text(ammo.x0 + 12, ammo.y0 + 32, 3.0f, "24 / 90", ink);
    for (int i = 0; i < 8; ++i) {
        const float bx = ammo.x1 - 20 - float(i) * 9;
        gui.fill({bx - 5, ammo.y0 + 34, bx, ammo.y0 + 54}, {226, 196, 110});
    }
}

void drawCursor(Frame& frame, int x, int y, int size) {
    // An arrow: each row one pixel wider than the one above, then a short tail.
    for (int row = 0; row < size; ++row) {
        const int width = std::max(1, row * 7 / 10);
        frame.fill(x, y + row, x + width + 2, y + row + 1, {10, 10, 10});
        frame.fill(x + 1, y + row, x + width + 1, y + row + 1, highlight);
    }
}

} // namespace

void drawHud(Frame& frame) {
    Gui gui(frame);
    const Widget widgets[4] = {{{24, 24, 344, 84}, "OBJECTIVE"},
                               {{816, 24, 1000, 208}, "MAP"},
                               {{24, 684, 324, 744}, "HEALTH"},
                               {{760, 684, 1000, 744}, "AMMO"}};
    // The mouse rests on the map's centre as the screen shows it; the engine's
    // mapping says which widget is under it.
    const Rect map = widgets[1].area;
    const int mouseX = gui.x((map.x0 + map.x1) / 2), mouseY = gui.y((map.y0 + map.y1) / 2);
    float u = 0, v = 0;
    gui.mouseToLayout(mouseX, mouseY, u, v);
    const Widget* hovered = nullptr;
    for (const Widget& w : widgets)
        if (u >= w.area.x0 && u < w.area.x1 && v >= w.area.y0 && v < w.area.y1) hovered = &w;

    gui.outline({0, 0, 1024, 768}, 4, frame_scene::menuFrameColour);
    drawCrosshair(gui);
    drawWidgets(gui, hovered, widgets);
    drawCursor(frame, mouseX, mouseY, std::max(8, gui.y(22) - gui.y(0)));
}

void drawText(Frame& frame, int left, int top, int size, const std::string& text) {
    float width = 0;
    const float scale = float(size);
    for (const Rect& g : glyphs(text, width))
        frame.fill(left + pixel(g.x0 * scale), top + pixel(g.y0 * scale), left + pixel(g.x1 * scale),
                   top + pixel(g.y1 * scale), ink);
}

} // namespace lkm::game
