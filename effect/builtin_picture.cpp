#include "effect/builtin_picture.h"

#include <cmath>

namespace {

uint32_t Rgb(int red, int green, int blue) {
    return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
           (static_cast<uint32_t>(blue) << 16);
}

// A hue from 0 to 1 at full saturation.
uint32_t Hue(double h) {
    const double r = std::fabs(h * 6.0 - 3.0) - 1.0;
    const double g = 2.0 - std::fabs(h * 6.0 - 2.0);
    const double b = 2.0 - std::fabs(h * 6.0 - 4.0);
    auto level = [](double v) { return static_cast<int>(255.0 * (v < 0 ? 0 : (v > 1 ? 1 : v))); };
    return Rgb(level(r), level(g), level(b));
}

struct Box {
    double left, top, right, bottom;  // fractions of the picture
    uint32_t body;
    uint32_t title;
};

}  // namespace

void PaintBuiltinPicture(int32_t width, int32_t height, std::vector<uint32_t>* pixels) {
    pixels->assign(static_cast<size_t>(width) * height, 0);
    // Bands of hue across a teal desktop, with a faint grid.
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            uint32_t colour = (static_cast<int>(u * 12) % 2) == 0 ? Hue(u) : Rgb(0, 128, 128);
            if (static_cast<int>(v * 24) % 6 == 0) colour = Hue(std::fmod(u + v, 1.0));
            if (x % (width / 16 + 1) == 0 || y % (height / 12 + 1) == 0) colour = Rgb(255, 255, 255);
            (*pixels)[static_cast<size_t>(y) * width + x] = colour;
        }
    }
    // A few windows with title bars.
    const Box boxes[] = {
        {0.08, 0.10, 0.42, 0.46, Rgb(192, 192, 192), Rgb(0, 0, 128)},
        {0.55, 0.18, 0.92, 0.52, Rgb(255, 255, 224), Rgb(128, 0, 0)},
        {0.25, 0.58, 0.70, 0.90, Rgb(224, 255, 224), Rgb(0, 96, 0)},
    };
    for (const Box& box : boxes) {
        const int32_t left = static_cast<int32_t>(box.left * width);
        const int32_t right = static_cast<int32_t>(box.right * width);
        const int32_t top = static_cast<int32_t>(box.top * height);
        const int32_t bottom = static_cast<int32_t>(box.bottom * height);
        const int32_t titleBottom = top + (bottom - top) / 8;
        for (int32_t y = top; y < bottom; ++y) {
            for (int32_t x = left; x < right; ++x) {
                const bool edge = x == left || x == right - 1 || y == top || y == bottom - 1;
                uint32_t colour = y < titleBottom ? box.title : box.body;
                if (!edge && y >= titleBottom && (y - titleBottom) % 8 == 4 && x > left + 6 &&
                    x < right - 6 - (y * 7) % ((right - left) / 3 + 1)) {
                    colour = Rgb(0, 0, 0);  // lines of "text"
                }
                (*pixels)[static_cast<size_t>(y) * width + x] = edge ? Rgb(0, 0, 0) : colour;
            }
        }
    }
}
