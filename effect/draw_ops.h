// The drawing operations the spiral engine uses, and nothing more: block
// copy, black-out, solid brush, rectangle and triangle regions, union,
// point-in-region and region fill, all in logical units.
//
// They come as a table of procedures so that the same engine code drives GDI
// in the module and the software surface in the reference renderer, and both
// in one process when the two are compared.
#pragma once

#include <cstdint>

// The logical space every drawing is made in, mapped onto any surface.
constexpr int32_t kLogicalWidth = 800;
constexpr int32_t kLogicalHeight = 600;

struct DrawPoint {
    int32_t x;
    int32_t y;
};

// Opaque handles: an HDC, HRGN and HBRUSH under GDI; the software surface's
// own objects otherwise.
using DrawContext = void*;
using DrawRegion = void*;
using DrawBrush = void*;

struct DrawOps {
    // BitBlt(dc, dx, dy, w, h, dc, sx, sy, SRCCOPY): source and destination
    // may overlap; clipped to the surface.
    void (*copyBlock)(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                      int32_t sy);
    // PatBlt(dc, x, y, w, h, BLACKNESS).
    void (*blackOut)(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h);
    // CreateSolidBrush(colorref), colorref 0x00BBGGRR.
    DrawBrush (*createSolidBrush)(uint32_t colorref);
    void (*deleteBrush)(DrawBrush brush);
    // CreateRectRgn(left, top, right, bottom): right and bottom exclusive.
    DrawRegion (*createRectRegion)(int32_t left, int32_t top, int32_t right, int32_t bottom);
    // CreatePolygonRgn(points, 3, ALTERNATE).
    DrawRegion (*createTriangleRegion)(const DrawPoint points[3]);
    // CombineRgn(destination, destination, other, RGN_OR).
    void (*unionRegion)(DrawRegion destination, DrawRegion other);
    void (*deleteRegion)(DrawRegion region);
    // PtInRegion(region, x, y) != 0.
    bool (*pointInRegion)(DrawRegion region, int32_t x, int32_t y);
    // FillRgn(dc, region, brush).
    void (*fillRegion)(DrawContext dc, DrawRegion region, DrawBrush brush);
};
