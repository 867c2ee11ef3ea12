// GDI behind the engine's table of drawing operations. Each entry is the one
// GDI call it names; results are ignored, as the engine ignores them.
#include "effect/draw_ops_gdi.h"

#include <windows.h>

#include <cstdint>

namespace {

HDC AsDc(DrawContext dc) { return static_cast<HDC>(dc); }
HRGN AsRegion(DrawRegion region) { return static_cast<HRGN>(region); }
HBRUSH AsBrush(DrawBrush brush) { return static_cast<HBRUSH>(brush); }

int32_t ClampedSum(int32_t a, int32_t b) {
    int64_t sum = int64_t{a} + b;
    if (sum > INT32_MAX) return INT32_MAX;
    if (sum < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(sum);
}

// On a client area smaller than the logical space, a narrow block's source
// can shrink to no device pixels at all: there is then nothing to copy. Such
// a copy is not handed to GDI, because Wine's BitBlt divides by the source's
// device size when it differs from the destination's and faults on zero.
void GdiCopyBlock(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                  int32_t sy) {
    POINT source[2] = {{sx, sy}, {ClampedSum(sx, w), ClampedSum(sy, h)}};
    LPtoDP(AsDc(dc), source, 2);
    if (source[0].x == source[1].x || source[0].y == source[1].y) return;
    BitBlt(AsDc(dc), dx, dy, w, h, AsDc(dc), sx, sy, SRCCOPY);
}

void GdiCopyBlockFullScale(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                           int32_t sy) {
    BitBlt(AsDc(dc), dx, dy, w, h, AsDc(dc), sx, sy, SRCCOPY);
}

void GdiBlackOut(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    PatBlt(AsDc(dc), x, y, w, h, BLACKNESS);
}

DrawBrush GdiCreateSolidBrush(uint32_t colorref) { return CreateSolidBrush(colorref); }

void GdiDeleteBrush(DrawBrush brush) { DeleteObject(AsBrush(brush)); }

DrawRegion GdiCreateRectRegion(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return CreateRectRgn(left, top, right, bottom);
}

DrawRegion GdiCreateTriangleRegion(const DrawPoint points[3]) {
    POINT corners[3];
    for (int i = 0; i < 3; ++i) corners[i] = POINT{points[i].x, points[i].y};
    return CreatePolygonRgn(corners, 3, ALTERNATE);
}

void GdiUnionRegion(DrawRegion destination, DrawRegion other) {
    CombineRgn(AsRegion(destination), AsRegion(destination), AsRegion(other), RGN_OR);
}

void GdiDeleteRegion(DrawRegion region) { DeleteObject(AsRegion(region)); }

bool GdiPointInRegion(DrawRegion region, int32_t x, int32_t y) {
    return PtInRegion(AsRegion(region), x, y) != FALSE;
}

void GdiFillRegion(DrawContext dc, DrawRegion region, DrawBrush brush) {
    FillRgn(AsDc(dc), AsRegion(region), AsBrush(brush));
}

}  // namespace

const DrawOps kGdiDrawOps = {
    GdiCopyBlock,   GdiBlackOut,         GdiCreateSolidBrush,
    GdiDeleteBrush, GdiCreateRectRegion, GdiCreateTriangleRegion,
    GdiUnionRegion, GdiDeleteRegion,     GdiPointInRegion,
    GdiFillRegion,
};

const DrawOps kGdiDrawOpsFullScale = {
    GdiCopyBlockFullScale, GdiBlackOut,         GdiCreateSolidBrush,
    GdiDeleteBrush,        GdiCreateRectRegion, GdiCreateTriangleRegion,
    GdiUnionRegion,        GdiDeleteRegion,     GdiPointInRegion,
    GdiFillRegion,
};

const DrawOps* GdiDrawOpsFor(int width, int height) {
    // At a scale of one or more, two logical coordinates a unit or more apart
    // round to different device pixels.
    const bool fullScale = width >= kLogicalWidth && height >= kLogicalHeight;
    return fullScale ? &kGdiDrawOpsFullScale : &kGdiDrawOps;
}
