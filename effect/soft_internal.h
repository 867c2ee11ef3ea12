// What the software surface's own sources share: device rectangles, the
// mapping of logical rectangles onto the surface, and 16-byte chunks of
// pixels. Not for the engine, which sees the surface only through DrawOps.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "base/saturate.h"
#include "effect/soft_surface.h"

namespace soft {


// Logical coordinates and extents are clamped to 24 bits, as far as the
// engine ever reaches. A rectangle then spans at most 2^25 logical units, or
// under 7e8 device pixels even at the largest surface's scale, so the
// stretch walk's products (twice one extent times the other) stay below
// 1e18, inside 64 bits.
constexpr int64_t kCoordinateLimit = int64_t{1} << 24;

inline int64_t ClampCoordinate(int64_t value) { return ClampToRange(value, kCoordinateLimit); }

// ---------------------------------------------------------------------------
// Rectangles in device pixels, right and bottom exclusive.

struct DeviceRect {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};

inline bool IsEmpty(const DeviceRect& r) { return r.left >= r.right || r.top >= r.bottom; }

inline DeviceRect Intersect(const DeviceRect& a, const DeviceRect& b) {
    return DeviceRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
}

inline DeviceRect SurfaceRect(const SoftSurface& s) { return DeviceRect{0, 0, s.width, s.height}; }

// The pixels GDI touches for a rectangle given by a corner and a signed
// extent: a negative extent reaches back from the corner and, as in GDI,
// covers the corner's own pixel instead of the far one.
inline DeviceRect BoundingRect(int64_t x, int64_t y, int64_t width, int64_t height) {
    DeviceRect r{x, y, x + width, y + height};
    if (r.left > r.right) r = DeviceRect{r.right + 1, r.top, r.left + 1, r.bottom};
    if (r.top > r.bottom) r = DeviceRect{r.left, r.bottom + 1, r.right, r.top + 1};
    return r;
}

// A logical rectangle's corner and signed extents in device pixels: both
// corners are mapped and rounded, the extent is their difference.
struct DeviceExtent {
    int64_t x;
    int64_t y;
    int64_t width;
    int64_t height;
};

// A logical coordinate through the surface's table where it covers it.
inline int64_t MapX(const SoftSurface& s, int64_t x) {
    const uint64_t index = static_cast<uint64_t>(x + kSoftMapMargin);
    return index < s.columns.size() ? s.columns[index] : SoftDeviceX(&s, x);
}

inline int64_t MapY(const SoftSurface& s, int64_t y) {
    const uint64_t index = static_cast<uint64_t>(y + kSoftMapMargin);
    return index < s.rows.size() ? s.rows[index] : SoftDeviceY(&s, y);
}

[[gnu::always_inline]] inline DeviceExtent MapExtent(const SoftSurface& s, int32_t x, int32_t y, int32_t w,
                                                     int32_t h) {
    const int64_t left = ClampCoordinate(x);
    const int64_t top = ClampCoordinate(y);
    const int64_t right = left + ClampCoordinate(w);
    const int64_t bottom = top + ClampCoordinate(h);
    // A surface of the logical size maps every coordinate onto itself.
    if (s.identity) return DeviceExtent{left, top, right - left, bottom - top};
    const int64_t dx = MapX(s, left);
    const int64_t dy = MapY(s, top);
    return DeviceExtent{dx, dy, MapX(s, right) - dx, MapY(s, bottom) - dy};
}

// Pixels are moved and filled four at a time where they can be: 16 bytes
// through a vector register.
typedef uint32_t Chunk __attribute__((vector_size(16)));

inline Chunk LoadChunk(const uint32_t* from) {
    Chunk chunk;
    std::memcpy(&chunk, from, sizeof chunk);
    return chunk;
}

inline void StoreChunk(uint32_t* to, Chunk chunk) { std::memcpy(to, &chunk, sizeof chunk); }

// Fills the part of the rectangle inside the surface.
void FillDeviceRect(SoftSurface& s, const DeviceRect& rect, uint32_t colour);

// The operations of kSoftDrawOps that live in soft_copy.cpp and
// soft_region.cpp.
void SoftCopyBlock(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                   int32_t sy);
DrawRegion SoftCreateRectRegion(int32_t left, int32_t top, int32_t right, int32_t bottom);
DrawRegion SoftCreateTriangleRegion(const DrawPoint points[3]);
void SoftUnionRegion(DrawRegion destination, DrawRegion other);
void SoftDeleteRegion(DrawRegion region);
bool SoftPointInRegion(DrawRegion region, int32_t x, int32_t y);
void SoftFillRegion(DrawContext dc, DrawRegion region, DrawBrush brush);

// The colour a brush stands for.
uint32_t BrushColour(DrawBrush brush);

}  // namespace soft
