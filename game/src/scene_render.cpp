#include "scene_render.hpp"

#include <algorithm>
#include <cmath>

#include "frame_scene.hpp"

namespace lkm::game {

namespace {

struct Vec {
    double x, y, z;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator*(Vec a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec normalised(Vec a) {
    return a * (1.0 / std::sqrt(dot(a, a)));
}

struct Colour {
    double r, g, b;
};
Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Colour scaled(Colour c, double s) {
    return {c.r * s, c.g * s, c.b * s};
}

struct Box {
    Vec low, high;
    Colour colour;
};

// Crates and pillars on both sides: some inside a 4:3 view of 90 degrees across,
// some only in wider views, some only on three screens.
const Box boxes[] = {
    {{-3.5, 0.0, 6.0}, {-2.5, 1.0, 7.0}, {214, 176, 80}},
    {{2.5, 0.0, 6.0}, {3.5, 1.0, 7.0}, {214, 176, 80}},
    {{-6.3, 0.0, 10.0}, {-5.7, 3.2, 10.6}, {70, 120, 205}},
    {{5.7, 0.0, 10.0}, {6.3, 3.2, 10.6}, {70, 120, 205}},
    {{-6.0, 0.0, 4.5}, {-5.4, 3.2, 5.1}, {60, 165, 170}},
    {{5.4, 0.0, 4.5}, {6.0, 3.2, 5.1}, {60, 165, 170}},
    {{-10.0, 0.0, 3.0}, {-8.8, 1.2, 4.2}, {130, 95, 195}},
    {{8.8, 0.0, 3.0}, {10.0, 1.2, 4.2}, {130, 95, 195}},
    {{-15.0, 0.0, 5.0}, {-14.4, 3.2, 5.6}, {90, 170, 95}},
    {{14.4, 0.0, 5.0}, {15.0, 3.2, 5.6}, {90, 170, 95}},
};

const Vec sphereCentre{0.0, frame_scene::eyeHeight, frame_scene::sphereDistance};
const Colour sphereColour{225, 68, 40};
const Vec eye{0.0, frame_scene::eyeHeight, 0.0};
const Vec towardsSun = normalised({-0.45, 1.0, -0.55});
const Colour zenith{78, 122, 190}, horizon{196, 212, 228};
const double floorHalfSize = 32.0; // the square floor grid, 2 m tiles
const double none = 1e30;

double hitSphere(Vec origin, Vec direction) {
    const Vec o = origin - sphereCentre;
    const double b = dot(o, direction);
    const double c = dot(o, o) - frame_scene::sphereRadius * frame_scene::sphereRadius;
    const double d = b * b - c;
    if (d < 0.0) return none;
    const double t = -b - std::sqrt(d);
    return t > 1e-9 ? t : none;
}

// Slab test; sets the face normal of the entry point.
double hitBox(const Box& box, Vec origin, Vec direction, Vec& normal) {
    double entry = -none, exit = none;
    const double o[3] = {origin.x, origin.y, origin.z}, d[3] = {direction.x, direction.y, direction.z};
    const double lo[3] = {box.low.x, box.low.y, box.low.z}, hi[3] = {box.high.x, box.high.y, box.high.z};
    int axis = 0;
    double sign = 1.0;
    for (int i = 0; i < 3; ++i) {
        if (std::fabs(d[i]) < 1e-12) {
            if (o[i] < lo[i] || o[i] > hi[i]) return none;
            continue;
        }
        double t0 = (lo[i] - o[i]) / d[i], t1 = (hi[i] - o[i]) / d[i];
        const double entrySign = t0 < t1 ? -1.0 : 1.0;
        if (t0 > t1) std::swap(t0, t1);
        if (t0 > entry) {
            entry = t0;
            axis = i;
            sign = entrySign;
        }
        exit = std::min(exit, t1);
    }
    if (entry > exit || entry <= 1e-9) return none;
    normal = {axis == 0 ? sign : 0.0, axis == 1 ? sign : 0.0, axis == 2 ? sign : 0.0};
    return entry;
}

bool inShadow(Vec point) {
    if (hitSphere(point, towardsSun) < none) return true;
    Vec normal{};
    for (const Box& box : boxes)
        if (hitBox(box, point, towardsSun, normal) < none) return true;
    return false;
}

double light(Vec normal) {
    return 0.3 + 0.7 * std::max(0.0, dot(normal, towardsSun));
}

Colour floorColour(Vec p) {
    if (std::fabs(p.x) > floorHalfSize || std::fabs(p.z) > floorHalfSize) return {96, 104, 96};
    const double u = (p.x + floorHalfSize) / 2.0, v = (p.z + floorHalfSize) / 2.0;
    const double fu = u - std::floor(u), fv = v - std::floor(v);
    const double line = 0.025;
    if (fu < line || fu > 1.0 - line || fv < line || fv > 1.0 - line) return {58, 62, 70};
    const bool dark = (int(std::floor(u)) + int(std::floor(v))) % 2 != 0;
    return dark ? Colour{150, 154, 152} : Colour{184, 186, 180};
}

Colour shade(Vec direction) {
    const Colour sky = mix(horizon, zenith, std::sqrt(std::max(0.0, direction.y)));
    double nearest = hitSphere(eye, direction);
    Colour colour{};
    if (nearest < none) {
        const Vec normal = normalised(eye + direction * nearest - sphereCentre);
        const double highlight =
            std::pow(std::max(0.0, dot(normal, normalised(towardsSun - direction))), 40.0);
        colour = scaled(sphereColour, light(normal));
        colour = {colour.r + 30.0 * highlight, colour.g + 12.0 * highlight, colour.b + 8.0 * highlight};
    }
    for (const Box& box : boxes) {
        Vec normal{};
        const double t = hitBox(box, eye, direction, normal);
        if (t < nearest) {
            nearest = t;
            colour = scaled(box.colour, light(normal));
        }
    }
    if (direction.y < 0.0) {
        const double t = -eye.y / direction.y;
        if (t < nearest) {
            nearest = t;
            const Vec p = eye + direction * t;
            colour = scaled(floorColour(p), inShadow(p) ? 0.62 : 1.0);
        }
    }
    if (nearest >= none) return sky;
    return mix(colour, horizon, 1.0 - std::exp(-nearest / 70.0));
}

uint8_t byte(double value) {
    return uint8_t(std::min(255.0, std::max(0.0, value) + 0.5));
}

} // namespace

void drawScene(Frame& frame, double horizontalDegrees, double verticalDegrees) {
    if (!(horizontalDegrees > 0.0 && horizontalDegrees < 180.0 && verticalDegrees > 0.0 &&
          verticalDegrees < 180.0))
        return;
    const double radians = 3.14159265358979323846 / 360.0; // half the angle, in radians
    const double tx = std::tan(horizontalDegrees * radians), ty = std::tan(verticalDegrees * radians);
    const double w = frame.width(), h = frame.height();
    for (int y = 0; y < frame.height(); ++y) {
        const double sy = 1.0 - (y + 0.5) / h * 2.0;
        for (int x = 0; x < frame.width(); ++x) {
            const double sx = (x + 0.5) / w * 2.0 - 1.0;
            const Colour c = shade(normalised({sx * tx, sy * ty, 1.0}));
            frame.set(x, y, {byte(c.r), byte(c.g), byte(c.b)});
        }
    }
}

} // namespace lkm::game
