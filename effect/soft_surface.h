// The software surface: a picture in memory with the drawing operations the
// spiral engine uses, so that the engine runs without GDI.
//
// It behaves as GDI does on a 32-bit DIB section whose drawing context maps a
// logical space of 800 by 600 onto the whole picture (MM_ANISOTROPIC):
// coordinates are mapped and rounded the same way, block copies are clipped
// against source and destination alike, regions cover the same pixels, and
// negative extents mean what they mean to GDI. The Windows tests compare the
// two pixel for pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "effect/draw_ops.h"

constexpr int32_t kSoftSurfaceMaxSide = 16384;

struct SoftSurface {
    int32_t width;  // device pixels
    int32_t height;
    // Device pixels per logical unit. Kept as 32-bit floats, as GDI keeps
    // its transform: at 1366 pixels across, logical x 200 lands on 341, not
    // on the 342 that exact arithmetic would give.
    float scaleX;
    float scaleY;
    // Top row first, 0x00BBGGRR (COLORREF order: red in the low byte).
    std::vector<uint32_t> pixels;
    // A stretched copy reads its source through here; sized once, so that a
    // step allocates nothing.
    std::vector<uint32_t> scratch;
    // The device column of each logical x from -kSoftMapMargin to
    // kLogicalWidth + kSoftMapMargin, and the row of each logical y likewise:
    // every block the engine draws within the dialog's ranges maps through
    // these instead of through floating point.
    std::vector<int32_t> columns;
    std::vector<int32_t> rows;
    // A stretched copy's source columns for each destination column (first
    // and last), worked out once per copy rather than once per row.
    std::vector<int64_t> columnSources;
    // The logical size itself: every coordinate maps onto itself.
    bool identity;
};

constexpr int32_t kSoftMapMargin = 1024;

// Sizes the surface to width by height device pixels (each kept within
// 0 .. kSoftSurfaceMaxSide), all black, with the logical space mapped onto it.
void SoftSurfaceInit(SoftSurface* surface, int32_t width, int32_t height);

// The device column or row of a logical coordinate, rounded as GDI rounds.
int64_t SoftDeviceX(const SoftSurface* surface, int64_t x);
int64_t SoftDeviceY(const SoftSurface* surface, int64_t y);

// A DrawContext for the engine is a SoftSurface*.
inline DrawContext SoftSurfaceContext(SoftSurface* surface) { return surface; }

// The operations; a DrawRegion is a region of the surface's own, a DrawBrush
// the colour itself (making a brush allocates nothing).
extern const DrawOps kSoftDrawOps;

// Regions made and not yet deleted, to find leaks.
int SoftRegionsAlive();
