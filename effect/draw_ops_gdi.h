// The engine's drawing operations over real GDI: a DrawContext is an HDC
// (already mapped to the logical space), a DrawRegion an HRGN and a
// DrawBrush an HBRUSH.
#pragma once

#include "effect/draw_ops.h"

extern const DrawOps kGdiDrawOps;
