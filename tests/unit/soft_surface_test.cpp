// The software surface against what GDI does (as observed under Wine, and
// held against it pixel for pixel by the Windows tests): mapping and its
// rounding, copies that overlap, clip, stretch or run backwards, black-outs,
// triangle coverage, unions and fills.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "effect/soft_surface.h"

namespace {

SoftSurface Numbered(int32_t width, int32_t height) {
    SoftSurface s;
    SoftSurfaceInit(&s, width, height);
    for (size_t i = 0; i < s.pixels.size(); ++i) s.pixels[i] = static_cast<uint32_t>(i + 1);
    return s;
}

uint32_t At(const SoftSurface& s, int x, int y) { return s.pixels[static_cast<size_t>(y) * s.width + x]; }
uint32_t Number(const SoftSurface& s, int x, int y) { return static_cast<uint32_t>(y * s.width + x + 1); }

// The rows of a region inside a box, '#' inside and '.' outside.
std::vector<std::string> Picture(DrawRegion region, int width, int height) {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) row += kSoftDrawOps.pointInRegion(region, x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(SoftSurface, MapsTheLogicalSpaceWithGdiRounding) {
    SoftSurface s;
    SoftSurfaceInit(&s, 800, 600);
    EXPECT_EQ(SoftDeviceX(&s, 123), 123);
    SoftSurfaceInit(&s, 1920, 1080);
    EXPECT_EQ(SoftDeviceX(&s, 1), 2);    // 2.4
    EXPECT_EQ(SoftDeviceX(&s, 3), 7);    // 7.2
    EXPECT_EQ(SoftDeviceY(&s, 5), 9);    // 9.0
    EXPECT_EQ(SoftDeviceX(&s, 800), 1920);
    EXPECT_EQ(SoftDeviceX(&s, -1), -2);
    // The scale is a 32-bit float, as in GDI: at 4 pixels across, 0.005 is
    // stored just below, so logical 100 lands on 0, not on 1.
    SoftSurfaceInit(&s, 4, 3);
    EXPECT_EQ(SoftDeviceX(&s, 100), 0);
    SoftSurfaceInit(&s, 1366, 768);
    EXPECT_EQ(SoftDeviceX(&s, 200), 341);
}

TEST(SoftSurface, OverlappingCopiesReadTheSourceWhole) {
    for (const auto& [dx, dy] : {std::pair{3, 2}, {-3, 2}, {3, -2}, {-3, -2}, {0, 1}, {1, 0}}) {
        SoftSurface s = Numbered(800, 600);
        kSoftDrawOps.copyBlock(&s, 100 + dx, 100 + dy, 10, 8, 100, 100);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 10; ++x) {
                ASSERT_EQ(At(s, 100 + dx + x, 100 + dy + y), Number(s, 100 + x, 100 + y))
                    << dx << ',' << dy << " at " << x << ',' << y;
            }
        }
    }
}

TEST(SoftSurface, CopiesAreClippedAtSourceAndDestination) {
    SoftSurface s = Numbered(800, 600);
    // The source reaches 3 columns past the right edge: those destination
    // pixels keep what they had.
    kSoftDrawOps.copyBlock(&s, 100, 100, 10, 1, 793, 50);
    for (int x = 0; x < 7; ++x) EXPECT_EQ(At(s, 100 + x, 100), Number(s, 793 + x, 50));
    for (int x = 7; x < 10; ++x) EXPECT_EQ(At(s, 100 + x, 100), Number(s, 100 + x, 100));
    // The destination leaves at the top: only its visible rows are written.
    kSoftDrawOps.copyBlock(&s, 5, -2, 1, 4, 300, 300);
    EXPECT_EQ(At(s, 5, 0), Number(s, 300, 302));
    EXPECT_EQ(At(s, 5, 1), Number(s, 300, 303));
    EXPECT_EQ(At(s, 5, 2), Number(s, 5, 2));
}

TEST(SoftSurface, NegativeExtentsReachBackAndCoverTheirStartingPixel) {
    SoftSurface s = Numbered(800, 600);
    kSoftDrawOps.blackOut(&s, 10, 10, -3, -2);
    // Columns 8..10 and rows 9..10.
    for (int y = 8; y <= 11; ++y) {
        for (int x = 7; x <= 11; ++x) {
            const bool black = x >= 8 && x <= 10 && y >= 9 && y <= 10;
            EXPECT_EQ(At(s, x, y) == 0, black) << x << ',' << y;
        }
    }
    s = Numbered(800, 600);
    kSoftDrawOps.copyBlock(&s, 50, 50, -2, -2, 20, 30);
    EXPECT_EQ(At(s, 49, 49), Number(s, 19, 29));
    EXPECT_EQ(At(s, 50, 50), Number(s, 20, 30));
    EXPECT_EQ(At(s, 48, 50), Number(s, 48, 50));
}

TEST(SoftSurface, CopiesThatRoundToDifferentSizesStretchAsGdiDoes) {
    // At 1366 across one logical unit is 1.7075 pixels: logical 0..1 covers
    // pixels 0..1 but logical 1..2 only pixel 2.
    SoftSurface s = Numbered(1366, 600);
    // One source pixel to two: repeated.
    kSoftDrawOps.copyBlock(&s, 0, 10, 1, 1, 1, 20);
    EXPECT_EQ(At(s, 0, 10), Number(s, 2, 20));
    EXPECT_EQ(At(s, 1, 10), Number(s, 2, 20));
    // Two source pixels to one: GDI keeps the first of the pair.
    s = Numbered(1366, 600);
    kSoftDrawOps.copyBlock(&s, 1, 10, 1, 1, 0, 20);
    EXPECT_EQ(At(s, 2, 10), Number(s, 0, 20));
    // Three to two: at 2.5 pixels a unit, logical 0 covers pixels 0..2 and
    // logical 1 pixels 3..4. The first two source pixels are ANDed, as in
    // the default stretch mode; the third is copied.
    s = Numbered(2000, 600);
    s.pixels[20 * 2000 + 0] = 0xF0F0F0;
    s.pixels[20 * 2000 + 1] = 0x0FFF0F;
    s.pixels[20 * 2000 + 2] = 0x123456;
    kSoftDrawOps.copyBlock(&s, 1, 25, 1, 1, 0, 20);
    EXPECT_EQ(At(s, 3, 25), 0x00F000u);
    EXPECT_EQ(At(s, 4, 25), 0x123456u);
}

TEST(SoftSurface, TrianglesCoverPixelsFromTheirLeftEdgeToBeforeTheirRightEdge) {
    const DrawPoint corner[3] = {{0, 0}, {6, 0}, {0, 6}};
    DrawRegion region = kSoftDrawOps.createTriangleRegion(corner);
    EXPECT_EQ(Picture(region, 8, 8), (std::vector<std::string>{
                                         "######..",
                                         "#####...",
                                         "####....",
                                         "###.....",
                                         "##......",
                                         "#.......",
                                         "........",
                                         "........",
                                     }));
    kSoftDrawOps.deleteRegion(region);

    // A slanted edge crosses each row at a fraction: the first whole pixel
    // at or right of the left crossing is inside, the first at or right of
    // the right crossing is not; the top vertex's row holds only a point,
    // and the bottom vertex's row is not reached.
    const DrawPoint slanted[3] = {{1, 0}, {7, 2}, {3, 7}};
    region = kSoftDrawOps.createTriangleRegion(slanted);
    EXPECT_EQ(Picture(region, 8, 8), (std::vector<std::string>{
                                         "........",
                                         "..##....",
                                         "..#####.",
                                         "..#####.",
                                         "...###..",
                                         "...##...",
                                         "...#....",
                                         "........",
                                     }));
    kSoftDrawOps.deleteRegion(region);
}

TEST(SoftSurface, UnionsPointTestsAndFills) {
    const int alive = SoftRegionsAlive();
    const DrawPoint a[3] = {{0, 0}, {6, 0}, {0, 6}};
    const DrawPoint b[3] = {{4, 0}, {8, 0}, {8, 4}};
    DrawRegion region = kSoftDrawOps.createTriangleRegion(a);
    DrawRegion other = kSoftDrawOps.createTriangleRegion(b);
    kSoftDrawOps.unionRegion(region, other);
    kSoftDrawOps.deleteRegion(other);
    EXPECT_EQ(Picture(region, 8, 3), (std::vector<std::string>{"########", "########", "####..##"}));
    EXPECT_FALSE(kSoftDrawOps.pointInRegion(region, -1, 0));
    EXPECT_FALSE(kSoftDrawOps.pointInRegion(nullptr, 1, 1));

    // Filled at 1920 by 1080: logical column 0 is device 0..1, row 0 is 0..1.
    SoftSurface s;
    SoftSurfaceInit(&s, 1920, 1080);
    DrawRegion dot = kSoftDrawOps.createRectRegion(0, 0, 1, 1);
    kSoftDrawOps.fillRegion(&s, dot, kSoftDrawOps.createSolidBrush(0x0000FF));
    EXPECT_EQ(At(s, 1, 1), 0x0000FFu);
    EXPECT_EQ(At(s, 2, 0), 0u);
    EXPECT_EQ(At(s, 0, 2), 0u);
    kSoftDrawOps.deleteRegion(dot);
    // Corners in either order, as CreateRectRgn takes them.
    DrawRegion swapped = kSoftDrawOps.createRectRegion(5, 5, 2, 3);
    EXPECT_TRUE(kSoftDrawOps.pointInRegion(swapped, 2, 3));
    EXPECT_FALSE(kSoftDrawOps.pointInRegion(swapped, 5, 4));
    kSoftDrawOps.deleteRegion(swapped);
    kSoftDrawOps.deleteRegion(region);
    EXPECT_EQ(SoftRegionsAlive(), alive);
}

TEST(SoftSurface, ExtremeCoordinatesStayDefined) {
    SoftSurface s = Numbered(160, 120);
    kSoftDrawOps.copyBlock(&s, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN);
    kSoftDrawOps.copyBlock(&s, -5, -5, INT32_MAX, INT32_MAX, 0, 0);
    kSoftDrawOps.blackOut(&s, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
    const DrawPoint huge[3] = {{INT32_MIN, INT32_MIN}, {INT32_MAX, 0}, {0, INT32_MAX}};
    DrawRegion region = kSoftDrawOps.createTriangleRegion(huge);
    EXPECT_TRUE(kSoftDrawOps.pointInRegion(region, 400, 300));
    kSoftDrawOps.fillRegion(&s, region, kSoftDrawOps.createSolidBrush(0xABCDEF));
    EXPECT_EQ(At(s, 80, 60), 0xABCDEFu);
    kSoftDrawOps.deleteRegion(region);
    // Scaled up twentyfold, huge backward copies stretch across the surface
    // from hundreds of millions of pixels away.
    SoftSurfaceInit(&s, 16001, 30);
    for (int32_t k = 0; k < 8; ++k) {
        kSoftDrawOps.copyBlock(&s, INT32_MAX, 300, INT32_MIN, -200, (1 << 24) - 37 * k, 300);
    }
    SoftSurfaceInit(&s, 0, -5);
    kSoftDrawOps.copyBlock(&s, 0, 0, 10, 10, 5, 5);
    EXPECT_TRUE(s.pixels.empty());
}

}  // namespace
