// A window that changes size keeps its picture: the engine maps its logical
// space onto the whole window, so the picture is stretched with it.
#pragma once

#include <cstdint>

#include "effect/soft_surface.h"

// Re-sizes the surface to width by height (kept within the surface's
// limits), the old picture scaled to fill it. The surface then holds memory
// for the new size only.
void ResizeKeepingPicture(SoftSurface* surface, int32_t width, int32_t height);
