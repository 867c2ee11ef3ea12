// The picture's way to the window: surface pixels converted to image
// pixels whole rows at a time at every common depth, and a surface that
// gives back its memory when the window shrinks.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <vector>

#include "effect/soft_surface.h"
#include "x11/pixel_format.h"

namespace {

int g_putPixelCalls = 0;
int (*g_realPutPixel)(XImage*, int, int, unsigned long) = nullptr;
int CountingPutPixel(XImage* image, int x, int y, unsigned long pixel) {
    ++g_putPixelCalls;
    return g_realPutPixel(image, x, y, pixel);
}

struct Layout {
    int depth;
    int bitsPerPixel;
    unsigned long red, green, blue;
};

TEST(PixelFormat, RowsAreConvertedWithoutPerPixelCalls) {
    const Layout layouts[] = {
        {16, 16, 0xF800, 0x07E0, 0x001F},
        {15, 16, 0x7C00, 0x03E0, 0x001F},
        {24, 32, 0xFF0000, 0x00FF00, 0x0000FF},
        {32, 32, 0x0000FF, 0x00FF00, 0xFF0000},
    };
    constexpr int kWidth = 37;  // rows not a multiple of any word
    constexpr int kHeight = 5;
    SoftSurface surface{};
    SoftSurfaceInit(&surface, kWidth, kHeight);
    for (size_t i = 0; i < surface.pixels.size(); ++i) surface.pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;

    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.depth);
        const int bytesPerLine = (kWidth * layout.bitsPerPixel / 8 + 3) / 4 * 4;
        std::vector<char> data(static_cast<size_t>(bytesPerLine) * kHeight);
        XImage image{};
        image.width = kWidth;
        image.height = kHeight;
        image.format = ZPixmap;
        image.data = data.data();
        image.byte_order = LSBFirst;
        image.bitmap_unit = 32;
        image.bitmap_bit_order = LSBFirst;
        image.bitmap_pad = 32;
        image.depth = layout.depth;
        image.bytes_per_line = bytesPerLine;
        image.bits_per_pixel = layout.bitsPerPixel;
        image.red_mask = layout.red;
        image.green_mask = layout.green;
        image.blue_mask = layout.blue;
        ASSERT_NE(XInitImage(&image), 0);
        g_realPutPixel = image.f.put_pixel;
        image.f.put_pixel = CountingPutPixel;
        g_putPixelCalls = 0;

        const PixelFormat format(layout.red, layout.green, layout.blue, layout.depth);
        format.SurfaceToImage(surface, &image);
        EXPECT_EQ(g_putPixelCalls, 0);
        image.f.put_pixel = g_realPutPixel;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                ASSERT_EQ(XGetPixel(&image, x, y), format.PixelOf(surface.pixels[y * kWidth + x]) &
                                                       ((layout.depth >= 32) ? 0xFFFFFFFFul : (1ul << layout.depth) - 1))
                    << x << "," << y;
            }
        }
    }
}

}  // namespace
