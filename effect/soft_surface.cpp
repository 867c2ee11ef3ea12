// The software surface: its mapping of the logical space, fills, brushes and
// the table of its drawing operations.
#include "effect/soft_surface.h"

#include "effect/soft_internal.h"

namespace soft {

void FillDeviceRect(SoftSurface& s, const DeviceRect& rect, uint32_t colour) {
    const DeviceRect r = Intersect(rect, SurfaceRect(s));
    if (IsEmpty(r)) return;
    const int64_t count = r.right - r.left;
    if (count < 4) {
        for (int64_t row = r.top; row < r.bottom; ++row) {
            uint32_t* line = s.pixels.data() + row * s.width + r.left;
            std::fill(line, line + count, colour);
        }
        return;
    }
    // Floods cover whole corners of the screen: 16 bytes a store, the last
    // store of a row overlapping the one before it as needed.
    const Chunk chunk = {colour, colour, colour, colour};
    for (int64_t row = r.top; row < r.bottom; ++row) {
        uint32_t* line = s.pixels.data() + row * s.width + r.left;
        int64_t i = 0;
        for (; i + 4 <= count; i += 4) StoreChunk(line + i, chunk);
        if (i < count) StoreChunk(line + count - 4, chunk);
    }
}

namespace {

void SoftBlackOut(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    SoftSurface& s = *static_cast<SoftSurface*>(dc);
    const DeviceExtent e = MapExtent(s, x, y, w, h);
    FillDeviceRect(s, BoundingRect(e.x, e.y, e.width, e.height), 0);
}

// Brushes: the colour itself, tagged so that black is not a null handle.

constexpr uintptr_t kBrushTag = uintptr_t{1} << 24;

DrawBrush SoftCreateSolidBrush(uint32_t colorref) {
    return reinterpret_cast<DrawBrush>(kBrushTag | (colorref & 0x00FFFFFFu));
}

void SoftDeleteBrush(DrawBrush) {}

}  // namespace

uint32_t BrushColour(DrawBrush brush) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(brush) & 0x00FFFFFFu);
}

}  // namespace soft

using namespace soft;

void SoftSurfaceInit(SoftSurface* surface, int32_t width, int32_t height) {
    surface->width = std::clamp<int32_t>(width, 0, kSoftSurfaceMaxSide);
    surface->height = std::clamp<int32_t>(height, 0, kSoftSurfaceMaxSide);
    // As GDI derives it: the ratio of the extents in double precision, kept
    // in a 32-bit float.
    surface->scaleX = static_cast<float>(static_cast<double>(surface->width) / LOGICAL_WIDTH);
    surface->scaleY = static_cast<float>(static_cast<double>(surface->height) / LOGICAL_HEIGHT);
    const size_t area = static_cast<size_t>(surface->width) * static_cast<size_t>(surface->height);
    surface->pixels.assign(area, 0);
    surface->scratch.assign(area, 0);
    surface->columnSources.assign(2 * static_cast<size_t>(surface->width), 0);
    surface->identity = surface->scaleX == 1.0f && surface->scaleY == 1.0f;
    surface->columns.resize(LOGICAL_WIDTH + 2 * kSoftMapMargin + 1);
    for (size_t i = 0; i < surface->columns.size(); ++i) {
        surface->columns[i] = static_cast<int32_t>(
            SoftDeviceX(surface, static_cast<int64_t>(i) - kSoftMapMargin));
    }
    surface->rows.resize(LOGICAL_HEIGHT + 2 * kSoftMapMargin + 1);
    for (size_t i = 0; i < surface->rows.size(); ++i) {
        surface->rows[i] = static_cast<int32_t>(
            SoftDeviceY(surface, static_cast<int64_t>(i) - kSoftMapMargin));
    }
}

namespace {

// floor() for the values a mapping gives (well inside 64 bits), without a
// call into the maths library on every corner of every copy.
int64_t Floor(double value) {
    const int64_t truncated = static_cast<int64_t>(value);
    return static_cast<double>(truncated) > value ? truncated - 1 : truncated;
}

}  // namespace

int64_t SoftDeviceX(const SoftSurface* surface, int64_t x) {
    return Floor(static_cast<double>(x) * static_cast<double>(surface->scaleX) + 0.5);
}

int64_t SoftDeviceY(const SoftSurface* surface, int64_t y) {
    return Floor(static_cast<double>(y) * static_cast<double>(surface->scaleY) + 0.5);
}

const DrawOps kSoftDrawOps = {
    SoftCopyBlock,        SoftBlackOut,             SoftCreateSolidBrush, SoftDeleteBrush,
    SoftCreateRectRegion, SoftCreateTriangleRegion, SoftUnionRegion,      SoftDeleteRegion,
    SoftPointInRegion,    SoftFillRegion,
};
