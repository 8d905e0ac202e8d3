// Measures a frame the game wrote (PNG) in pixels and checks what a player sees:
//   frame_check FRAME.png round|stretched
// round: the sphere's silhouette is a circle and the 4:3 menu frame is 4:3 and
// centred (the plug-in, or a 4:3 screen); stretched: both are widened by the
// screen's aspect over 4:3 (a wide screen without the plug-in). Either way the
// vertical view angle is the 4:3 one, 2 atan(90 / (90 x 4/3)) = 73.7398 deg.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb_image.h>

#include "../src/frame_scene.hpp"

namespace lkm::game::test {

namespace {

const double pi = 3.14159265358979323846;

struct Measure {
    double count = 0, sumX = 0, sumY = 0, sumXX = 0, sumYY = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    void add(int x, int y) {
        const double cx = x + 0.5, cy = y + 0.5;
        count += 1;
        sumX += cx;
        sumY += cy;
        sumXX += cx * cx;
        sumYY += cy * cy;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    // The radius of a uniform ellipse along one axis is twice the standard
    // deviation of its pixels along that axis.
    double radiusX() const { return 2.0 * std::sqrt(sumXX / count - (sumX / count) * (sumX / count)); }
    double radiusY() const { return 2.0 * std::sqrt(sumYY / count - (sumY / count) * (sumY / count)); }
};

// The number of pixel centres inside the sphere's silhouette when the frame
// spans the vertical angle v (degrees) and the horizontal angle that goes with
// `widening`: those whose ray lies within asin(R / D) of the view axis, that
// is, whose image-plane point (at unit distance) lies within tan(asin(R / D))
// of the centre. It falls as v grows.
long long silhouettePixels(int width, int height, double widening, double v) {
    const double ty = std::tan(v * pi / 360.0), tx = ty * width / height / widening;
    const double limit = std::tan(std::asin(frame_scene::sphereRadius / frame_scene::sphereDistance));
    long long count = 0;
    for (int y = 0; y < height; ++y) {
        const double py = (1.0 - (y + 0.5) / height * 2.0) * ty;
        if (py * py > limit * limit) continue;
        // |(x + 0.5) / width x 2 - 1| x tx <= reach
        const double reach = std::sqrt(limit * limit - py * py) / tx * width / 2.0;
        const double low = width / 2.0 - 0.5 - reach, high = width / 2.0 - 0.5 + reach;
        count += std::max(0LL, (long long)(std::floor(high)) - (long long)(std::ceil(low)) + 1);
    }
    return count;
}

// The vertical angle at which the silhouette covers `pixels` pixel centres,
// to 1e-6 degrees: pixel counting resolves angles far finer than edges do.
double verticalAngleOf(long long pixels, int width, int height, double widening) {
    double low = 1.0, high = 179.0;
    while (high - low > 1e-6) {
        const double middle = (low + high) / 2.0;
        (silhouettePixels(width, height, widening, middle) >= pixels ? low : high) = middle;
    }
    return low;
}

int failures = 0;
void check(bool holds, const std::string& sentence) {
    if (holds) return;
    std::printf("FAILED: %s\n", sentence.c_str());
    ++failures;
}

// The command line above: 0 when the frame holds every check.
int run(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[2] : "";
    if (mode != "round" && mode != "stretched") {
        std::fprintf(stderr, "usage: frame_check FRAME.png round|stretched\n");
        return 2;
    }
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load(argv[1], &width, &height, &channels, 3);
    if (!pixels) {
        std::printf("FAILED: %s is not a readable PNG file.\n", argv[1]);
        return 1;
    }
    Measure sphere, menu;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* p = pixels + (size_t(y) * size_t(width) + size_t(x)) * 3;
            const Rgb c{p[0], p[1], p[2]};
            // The crosshair lies inside the sphere's silhouette.
            if (frame_scene::isSphere(c) || frame_scene::same(c, frame_scene::crosshairColour))
                sphere.add(x, y);
            if (frame_scene::same(c, frame_scene::menuFrameColour)) menu.add(x, y);
        }
    stbi_image_free(pixels);
    if (sphere.count < 100 || menu.count < 100) {
        std::printf("FAILED: the frame shows no sphere or no menu frame.\n");
        return 1;
    }

    const double screenAspect = double(width) / height;
    const double widening = mode == "round" ? 1.0 : screenAspect / (4.0 / 3.0);
    const double sphereRatio = sphere.radiusX() / sphere.radiusY();
    const double vertical = verticalAngleOf((long long)(sphere.count), width, height, widening);
    const double fourThirds = 2.0 * std::atan(0.75) * 180.0 / pi;
    const int menuWidth = menu.right - menu.left + 1, menuHeight = menu.bottom - menu.top + 1;
    const double menuRatio = double(menuWidth) / menuHeight;
    const double menuX = (menu.left + menu.right + 1) / 2.0, menuY = (menu.top + menu.bottom + 1) / 2.0;
    std::printf("%s, %d x %d\n", argv[1], width, height);
    std::printf("sphere: %.2f x %.2f px, width / height %.5f (want %.5f)\n", 2 * sphere.radiusX(),
                2 * sphere.radiusY(), sphereRatio, widening);
    std::printf("vertical view: %.5f deg (4:3: %.5f), from %.0f pixels of the sphere\n", vertical, fourThirds,
                sphere.count);
    std::printf(
        "menu frame: %d x %d px, width / height %.5f (want %.5f), centre (%.1f, %.1f) of (%.1f, %.1f)\n",
        menuWidth, menuHeight, menuRatio, 4.0 / 3.0 * widening, menuX, menuY, width / 2.0, height / 2.0);

    check(std::fabs(sphereRatio / widening - 1.0) <= 0.01,
          "The sphere's width over its height is not the expected ratio within 1%.");
    check(std::fabs(vertical - fourThirds) <= 0.01,
          "The vertical view angle differs from 4:3's by over 0.01 deg.");
    check(std::fabs(menuRatio / (4.0 / 3.0 * widening) - 1.0) <= 0.01,
          "The menu frame's width over its height is not the expected ratio within 1%.");
    check(std::fabs(menuX - width / 2.0) <= 1.0 && std::fabs(menuY - height / 2.0) <= 1.0,
          "The menu frame is not centred within one pixel.");
    return failures == 0 ? 0 : 1;
}

} // namespace

} // namespace lkm::game::test

int main(int argc, char** argv) {
    return lkm::game::test::run(argc, argv);
}
