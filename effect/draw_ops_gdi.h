// The engine's drawing operations over real GDI: a DrawContext is an HDC
// (already mapped to the logical space), a DrawRegion an HRGN and a
// DrawBrush an HBRUSH.
#pragma once

#include "effect/draw_ops.h"

extern const DrawOps kGdiDrawOps;

// The same operations for a drawing context that maps the logical space
// onto at least as many device pixels in each direction (a full screen):
// there a block of any size has device pixels, and the copy needs no
// guard against one that has none.
extern const DrawOps kGdiDrawOpsFullScale;

// The operations for a drawing context whose client area is width by height
// device pixels.
const DrawOps* GdiDrawOpsFor(int width, int height);
