#include "effect/soft_surface.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "effect/spiral.h"

namespace {

// Logical coordinates and extents are clamped to 24 bits, as far as the
// engine ever reaches. A rectangle then spans at most 2^25 logical units, or
// under 7e8 device pixels even at the largest surface's scale, so the
// stretch walk's products (twice one extent times the other) stay below
// 1e18, inside 64 bits.
constexpr int64_t kCoordinateLimit = int64_t{1} << 24;

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
    return value < low ? low : (value > high ? high : value);
}

int64_t ClampCoordinate(int64_t value) { return Clamp(value, -kCoordinateLimit, kCoordinateLimit); }

// ---------------------------------------------------------------------------
// Rectangles in device pixels, right and bottom exclusive.

struct DeviceRect {
    int64_t left;
    int64_t top;
    int64_t right;
    int64_t bottom;
};

bool IsEmpty(const DeviceRect& r) { return r.left >= r.right || r.top >= r.bottom; }

DeviceRect Intersect(const DeviceRect& a, const DeviceRect& b) {
    return DeviceRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
}

DeviceRect SurfaceRect(const SoftSurface& s) { return DeviceRect{0, 0, s.width, s.height}; }

// The pixels GDI touches for a rectangle given by a corner and a signed
// extent: a negative extent reaches back from the corner and, as in GDI,
// covers the corner's own pixel instead of the far one.
DeviceRect BoundingRect(int64_t x, int64_t y, int64_t width, int64_t height) {
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
int64_t MapX(const SoftSurface& s, int64_t x) {
    const uint64_t index = static_cast<uint64_t>(x + kSoftMapMargin);
    return index < s.columns.size() ? s.columns[index] : SoftDeviceX(&s, x);
}

int64_t MapY(const SoftSurface& s, int64_t y) {
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

Chunk LoadChunk(const uint32_t* from) {
    Chunk chunk;
    std::memcpy(&chunk, from, sizeof chunk);
    return chunk;
}

void StoreChunk(uint32_t* to, Chunk chunk) { std::memcpy(to, &chunk, sizeof chunk); }

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

// ---------------------------------------------------------------------------
// Block copies.

// Copies `rows` rows of a block, the first at to and from, each further row
// `stride` pixels on, with copyRow(to, from) for each.
template <typename RowCopy>
void CopyRows(uint32_t* to, const uint32_t* from, int64_t rows, int64_t stride, RowCopy copyRow) {
    for (int64_t row = 0; row < rows; ++row, to += stride, from += stride) copyRow(to, from);
}

// The rows of a block are a few dozen pixels each. A short row (16 pixels
// or fewer, as at the logical size) is copied as memmove would copy it,
// every load before any store, but in a handful of 16-byte chunks held in
// registers (the last chunks overlap the others as needed) rather than
// through a call into the C library for every row of every step; the chunks
// a row needs are worked out once per block. A longer row goes to the
// library's memmove, whose wider moves beat 16-byte chunks there.
void CopyBlockRows(uint32_t* to, const uint32_t* from, size_t count, int64_t rows, int64_t stride) {
    if (count > 16) {
        CopyRows(to, from, rows, stride, [count](uint32_t* t, const uint32_t* f) {
            std::memmove(t, f, count * sizeof(uint32_t));
        });
    } else if (count >= 8) {
        CopyRows(to, from, rows, stride, [count](uint32_t* t, const uint32_t* f) {
            const Chunk a = LoadChunk(f), b = LoadChunk(f + 4), c = LoadChunk(f + count - 8),
                        d = LoadChunk(f + count - 4);
            StoreChunk(t, a);
            StoreChunk(t + 4, b);
            StoreChunk(t + count - 8, c);
            StoreChunk(t + count - 4, d);
        });
    } else if (count >= 4) {
        CopyRows(to, from, rows, stride, [count](uint32_t* t, const uint32_t* f) {
            const Chunk a = LoadChunk(f), b = LoadChunk(f + count - 4);
            StoreChunk(t, a);
            StoreChunk(t + count - 4, b);
        });
    } else {
        CopyRows(to, from, rows, stride, [count](uint32_t* t, const uint32_t* f) {
            uint32_t row[3];
            for (size_t i = 0; i < count; ++i) row[i] = f[i];
            for (size_t i = 0; i < count; ++i) t[i] = row[i];
        });
    }
}

// Source and destination of the same size: the visible part of the source,
// moved onto the destination and clipped there. Overlapping rectangles copy
// as if the source had been read whole first.
void CopySameSize(SoftSurface& s, const DeviceExtent& dst, const DeviceExtent& src) {
    // Nearly every copy lies wholly inside the surface with positive
    // extents: then it is rows moved as they are.
    if (dst.width > 0 && dst.height > 0 && src.x >= 0 && src.y >= 0 && dst.x >= 0 && dst.y >= 0 &&
        src.x + src.width <= s.width && src.y + src.height <= s.height &&
        dst.x + dst.width <= s.width && dst.y + dst.height <= s.height) {
        const size_t count = static_cast<size_t>(dst.width);
        if (dst.y == src.y) {
            // Along the same rows the two may overlap within a row.
            for (int64_t row = 0; row < dst.height; ++row) {
                std::memmove(s.pixels.data() + (dst.y + row) * s.width + dst.x,
                             s.pixels.data() + (src.y + row) * s.width + src.x,
                             count * sizeof(uint32_t));
            }
            return;
        }
        // Different rows never share memory; only their order matters, and
        // only where the blocks overlap: moving down, the bottom row first.
        const bool down = dst.y > src.y && dst.y < src.y + dst.height &&
                          dst.x < src.x + dst.width && src.x < dst.x + dst.width;
        const int64_t rows = dst.height;
        const int64_t first = down ? rows - 1 : 0;
        const int64_t stride = down ? -int64_t{s.width} : int64_t{s.width};
        uint32_t* to = s.pixels.data() + (dst.y + first) * s.width + dst.x;
        const uint32_t* from = s.pixels.data() + (src.y + first) * s.width + src.x;
        CopyBlockRows(to, from, count, rows, stride);
        return;
    }
    const DeviceRect dstVisible =
        Intersect(BoundingRect(dst.x, dst.y, dst.width, dst.height), SurfaceRect(s));
    const DeviceRect srcVisible =
        Intersect(BoundingRect(src.x, src.y, src.width, src.height), SurfaceRect(s));
    if (IsEmpty(dstVisible) || IsEmpty(srcVisible)) return;
    const int64_t offsetX = dst.x - src.x;
    const int64_t offsetY = dst.y - src.y;
    const DeviceRect target =
        Intersect(DeviceRect{srcVisible.left + offsetX, srcVisible.top + offsetY,
                             srcVisible.right + offsetX, srcVisible.bottom + offsetY},
                  dstVisible);
    if (IsEmpty(target)) return;

    const size_t count = static_cast<size_t>(target.right - target.left);
    const int64_t rows = target.bottom - target.top;
    // Moving down, copy the bottom row first, so that no row is overwritten
    // before it is read.
    for (int64_t i = 0; i < rows; ++i) {
        const int64_t row = offsetY > 0 ? target.bottom - 1 - i : target.top + i;
        uint32_t* to = s.pixels.data() + row * s.width + target.left;
        const uint32_t* from = s.pixels.data() + (row - offsetY) * s.width + (target.left - offsetX);
        std::memmove(to, from, count * sizeof(uint32_t));
    }
}

// Source and destination of different sizes (the mapping rounded their two
// extents differently). GDI stretches such a copy: along each axis a
// Bresenham walk pairs source and destination pixels, repeating source
// pixels where the destination is longer and combining several (their
// colours ANDed, the default stretch mode) where it is shorter.

int64_t FloorDiv(int64_t numerator, int64_t denominator) {
    // denominator > 0
    const int64_t quotient = numerator / denominator;
    return (numerator % denominator != 0 && numerator < 0) ? quotient - 1 : quotient;
}

// Where the walk along the longer side (major pixels) stands on the shorter
// side (minor pixels) at its i-th pixel. The walk starts with an error of
// 2 * minor - major - 1 and moves on whenever the error is positive; this is
// that walk in closed form, so any pixel is found without walking there.
int64_t WalkPosition(int64_t i, int64_t minor, int64_t major) {
    const int64_t position = -FloorDiv(-(2 * i * minor - major - 1), 2 * major);
    return position < 0 ? 0 : position;
}

// The first and last source pixels (offsets along the extent) that feed
// destination pixel i.
void StretchSources(int64_t i, int64_t srcLength, int64_t dstLength, int64_t* first,
                    int64_t* last) {
    if (dstLength >= srcLength) {
        *first = *last = WalkPosition(i, srcLength, dstLength);
        return;
    }
    // Shrinking: the source pixels whose walk position is i. Two source
    // pixels shrunk to one keep only the first.
    auto start = [&](int64_t j) {
        return j == 0 ? 0 : FloorDiv(2 * srcLength * (j - 1) + srcLength + 1, 2 * dstLength) + 1;
    };
    *first = start(i);
    *last = std::min(start(i + 1) - 1, srcLength - 1);
    if (srcLength == 2 && dstLength == 1) *last = 0;
}

// One axis of a stretched copy: which source pixels feed each destination
// pixel along it.
struct StretchAxisMap {
    int64_t dstStart;  // first pixel of the destination rectangle
    int64_t srcStart;  // first pixel of the source rectangle
    int64_t dstLength;
    int64_t srcLength;
    bool backwards;    // the extents are negative: walk from the far end
    bool aligned;      // equal lengths: pixel for pixel, from alignStart
    int64_t alignStart;
};

StretchAxisMap MapAxis(int64_t dstStart, int64_t dstEnd, int64_t srcStart, int64_t srcEnd,
                       int64_t dstVisibleStart, bool backwards, bool otherHalvesTwo) {
    StretchAxisMap axis{dstStart, srcStart, dstEnd - dstStart, srcEnd - srcStart, backwards,
                        false, 0};
    if (axis.dstLength == axis.srcLength) {
        // An axis of equal lengths in a copy stretched along the other one is
        // copied pixel for pixel from its first visible pixel on. Only when
        // the other axis shrinks two pixels into one does GDI start the
        // source a pixel early where the destination is clipped at its start.
        axis.aligned = true;
        const int64_t clipped = dstVisibleStart - dstStart;
        const int64_t slack = otherHalvesTwo ? 1 : 0;
        axis.alignStart = std::max(srcStart, srcStart + clipped - slack) - dstVisibleStart;
    }
    return axis;
}

// The source pixels [*first, *last] that feed destination pixel position.
void AxisSources(const StretchAxisMap& axis, int64_t position, int64_t* first, int64_t* last) {
    if (axis.aligned) {
        *first = *last = position + axis.alignStart;
        return;
    }
    const int64_t i =
        axis.backwards ? axis.dstStart + axis.dstLength - 1 - position : position - axis.dstStart;
    int64_t a, b;
    StretchSources(i, axis.srcLength, axis.dstLength, &a, &b);
    if (axis.backwards) {
        *first = axis.srcStart + axis.srcLength - 1 - b;
        *last = axis.srcStart + axis.srcLength - 1 - a;
    } else {
        *first = axis.srcStart + a;
        *last = axis.srcStart + b;
    }
}

void CopyStretched(SoftSurface& s, const DeviceExtent& dst, const DeviceExtent& src) {
    const DeviceRect dstRect = BoundingRect(dst.x, dst.y, dst.width, dst.height);
    const DeviceRect srcRect = BoundingRect(src.x, src.y, src.width, src.height);
    const DeviceRect srcVisible = Intersect(srcRect, SurfaceRect(s));
    const DeviceRect dstVisible = Intersect(dstRect, SurfaceRect(s));
    if (IsEmpty(srcVisible) || IsEmpty(dstVisible)) return;
    const bool halvesAcross = dstRect.right - dstRect.left == 1 && srcRect.right - srcRect.left == 2;
    const bool halvesDown = dstRect.bottom - dstRect.top == 1 && srcRect.bottom - srcRect.top == 2;
    const StretchAxisMap across = MapAxis(dstRect.left, dstRect.right, srcRect.left, srcRect.right,
                                          dstVisible.left, dst.width < 0, halvesDown);
    const StretchAxisMap down = MapAxis(dstRect.top, dstRect.bottom, srcRect.top, srcRect.bottom,
                                        dstVisible.top, dst.height < 0, halvesAcross);

    // The visible source: read where it lies when the destination does not
    // overlap it, otherwise from a copy, so that the writes cannot disturb
    // the reads.
    const int64_t visW = srcVisible.right - srcVisible.left;
    const int64_t visH = srcVisible.bottom - srcVisible.top;
    const uint32_t* source = s.pixels.data() + srcVisible.top * s.width + srcVisible.left;
    int64_t stride = s.width;
    if (!IsEmpty(Intersect(srcVisible, dstVisible))) {
        for (int64_t row = 0; row < visH; ++row) {
            std::memcpy(s.scratch.data() + row * visW, source + row * stride,
                        static_cast<size_t>(visW) * sizeof(uint32_t));
        }
        source = s.scratch.data();
        stride = visW;
    }

    // The columns' sources are the same on every row: work them out once,
    // as offsets into the visible source (-1: a source off the surface,
    // which leaves the column alone). Where every column has one source,
    // a row with one source row is a plain gather.
    int64_t* columns = s.columnSources.data();
    bool oneSourceEach = true;
    for (int64_t col = dstVisible.left; col < dstVisible.right; ++col) {
        int64_t* pair = columns + 2 * (col - dstVisible.left);
        int64_t x0, x1;
        AxisSources(across, col, &x0, &x1);
        if (x0 < srcVisible.left || x1 >= srcVisible.right) {
            pair[0] = pair[1] = -1;
        } else {
            pair[0] = x0 - srcVisible.left;
            pair[1] = x1 - srcVisible.left;
        }
        if (pair[0] != pair[1]) oneSourceEach = false;
    }

    const int64_t count = dstVisible.right - dstVisible.left;
    for (int64_t row = dstVisible.top; row < dstVisible.bottom; ++row) {
        int64_t y0, y1;
        AxisSources(down, row, &y0, &y1);
        if (y0 < srcVisible.top || y1 >= srcVisible.bottom) continue;
        uint32_t* line = s.pixels.data() + row * s.width + dstVisible.left;
        if (oneSourceEach && y0 == y1) {
            const uint32_t* from = source + (y0 - srcVisible.top) * stride;
            for (int64_t k = 0; k < count; ++k) {
                if (columns[2 * k] >= 0) line[k] = from[columns[2 * k]] & 0x00FFFFFFu;
            }
            continue;
        }
        for (int64_t k = 0; k < count; ++k) {
            const int64_t x0 = columns[2 * k];
            const int64_t x1 = columns[2 * k + 1];
            if (x0 < 0) continue;
            uint32_t colour = 0x00FFFFFFu;
            for (int64_t y = y0; y <= y1; ++y) {
                const uint32_t* from = source + (y - srcVisible.top) * stride;
                for (int64_t x = x0; x <= x1; ++x) colour &= from[x];
            }
            line[k] = colour;
        }
    }
}

void SoftCopyBlock(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx,
                   int32_t sy) {
    SoftSurface& s = *static_cast<SoftSurface*>(dc);
    const DeviceExtent dst = MapExtent(s, dx, dy, w, h);
    const DeviceExtent src = MapExtent(s, sx, sy, w, h);
    if (dst.width == src.width && dst.height == src.height) {
        CopySameSize(s, dst, src);
    } else {
        CopyStretched(s, dst, src);
    }
}

void SoftBlackOut(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    SoftSurface& s = *static_cast<SoftSurface*>(dc);
    const DeviceExtent e = MapExtent(s, x, y, w, h);
    FillDeviceRect(s, BoundingRect(e.x, e.y, e.width, e.height), 0);
}

// ---------------------------------------------------------------------------
// Brushes: the colour itself, tagged so that black is not a null handle.

constexpr uintptr_t kBrushTag = uintptr_t{1} << 24;

DrawBrush SoftCreateSolidBrush(uint32_t colorref) {
    return reinterpret_cast<DrawBrush>(kBrushTag | (colorref & 0x00FFFFFFu));
}

void SoftDeleteBrush(DrawBrush) {}

uint32_t BrushColour(DrawBrush brush) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(brush) & 0x00FFFFFFu);
}

// ---------------------------------------------------------------------------
// Regions, in logical units. A region keeps only its part inside the logical
// space, row by row as sorted, disjoint spans: nothing outside the logical
// space is ever painted or tested.

struct Span {
    int32_t left;
    int32_t right;  // exclusive
};

struct SoftRegion {
    // Spans of row y are spans[rowStart[y] .. rowStart[y + 1]).
    std::vector<uint32_t> rowStart;
    std::vector<Span> spans;
};

std::atomic<int> g_regionsAlive{0};

SoftRegion* NewRegion() {
    SoftRegion* region = new SoftRegion;
    region->rowStart.assign(LOGICAL_HEIGHT + 1, 0);
    g_regionsAlive.fetch_add(1, std::memory_order_relaxed);
    return region;
}

// Appends one row's spans, given as sorted [left, right) pairs, clipped to
// the logical width. Rows must be added in order.
void AddSpan(SoftRegion& region, int64_t left, int64_t right) {
    left = Clamp(left, 0, LOGICAL_WIDTH);
    right = Clamp(right, 0, LOGICAL_WIDTH);
    if (left >= right) return;
    region.spans.push_back(Span{static_cast<int32_t>(left), static_cast<int32_t>(right)});
}

DrawRegion SoftCreateRectRegion(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    // As CreateRectRgn, corners given in either order.
    int64_t l = std::min(left, right), r = std::max(left, right);
    int64_t t = std::min(top, bottom), b = std::max(top, bottom);
    SoftRegion* region = NewRegion();
    for (int64_t y = 0; y < LOGICAL_HEIGHT; ++y) {
        if (y >= t && y < b) AddSpan(*region, l, r);
        region->rowStart[y + 1] = static_cast<uint32_t>(region->spans.size());
    }
    return region;
}

int64_t CeilDiv(int64_t numerator, int64_t denominator) {
    // denominator > 0
    if (numerator >= 0) return (numerator + denominator - 1) / denominator;
    return -((-numerator) / denominator);
}

// A triangle scan-converted with the alternate rule: on each row y, every
// non-horizontal edge whose top row <= y < its bottom row crosses the row at
// the first whole x at or right of the exact crossing; the crossings, sorted,
// pair into [left, right) spans.
DrawRegion SoftCreateTriangleRegion(const DrawPoint points[3]) {
    struct Edge {
        int64_t xTop, yTop, xBottom, yBottom;
    };
    Edge edges[3];
    int edgeCount = 0;
    for (int i = 0; i < 3; ++i) {
        const DrawPoint& a = points[i];
        const DrawPoint& b = points[(i + 1) % 3];
        const int64_t ax = ClampCoordinate(a.x), ay = ClampCoordinate(a.y);
        const int64_t bx = ClampCoordinate(b.x), by = ClampCoordinate(b.y);
        if (ay == by) continue;
        edges[edgeCount++] = ay < by ? Edge{ax, ay, bx, by} : Edge{bx, by, ax, ay};
    }

    SoftRegion* region = NewRegion();
    for (int64_t y = 0; y < LOGICAL_HEIGHT; ++y) {
        int64_t crossings[3];
        int count = 0;
        for (int i = 0; i < edgeCount; ++i) {
            const Edge& e = edges[i];
            if (y < e.yTop || y >= e.yBottom) continue;
            crossings[count++] =
                e.xTop + CeilDiv((y - e.yTop) * (e.xBottom - e.xTop), e.yBottom - e.yTop);
        }
        // At most three crossings: sort them by hand.
        for (int i = 1; i < count; ++i) {
            for (int j = i; j > 0 && crossings[j] < crossings[j - 1]; --j) {
                std::swap(crossings[j], crossings[j - 1]);
            }
        }
        for (int i = 0; i + 1 < count; i += 2) AddSpan(*region, crossings[i], crossings[i + 1]);
        region->rowStart[y + 1] = static_cast<uint32_t>(region->spans.size());
    }
    return region;
}

void SoftUnionRegion(DrawRegion destination, DrawRegion other) {
    SoftRegion& into = *static_cast<SoftRegion*>(destination);
    const SoftRegion& add = *static_cast<const SoftRegion*>(other);
    SoftRegion merged;
    merged.rowStart.assign(LOGICAL_HEIGHT + 1, 0);
    merged.spans.reserve(into.spans.size() + add.spans.size());
    for (int y = 0; y < LOGICAL_HEIGHT; ++y) {
        uint32_t i = into.rowStart[y], iEnd = into.rowStart[y + 1];
        uint32_t j = add.rowStart[y], jEnd = add.rowStart[y + 1];
        bool open = false;
        Span current{0, 0};
        // Take the spans of both rows in order of their left ends, joining
        // those that touch or overlap.
        while (i < iEnd || j < jEnd) {
            Span next;
            if (j >= jEnd || (i < iEnd && into.spans[i].left <= add.spans[j].left)) {
                next = into.spans[i++];
            } else {
                next = add.spans[j++];
            }
            if (open && next.left <= current.right) {
                current.right = std::max(current.right, next.right);
            } else {
                if (open) merged.spans.push_back(current);
                current = next;
                open = true;
            }
        }
        if (open) merged.spans.push_back(current);
        merged.rowStart[y + 1] = static_cast<uint32_t>(merged.spans.size());
    }
    into.rowStart.swap(merged.rowStart);
    into.spans.swap(merged.spans);
}

void SoftDeleteRegion(DrawRegion region) {
    if (region == nullptr) return;
    delete static_cast<SoftRegion*>(region);
    g_regionsAlive.fetch_sub(1, std::memory_order_relaxed);
}

bool SoftPointInRegion(DrawRegion handle, int32_t x, int32_t y) {
    if (handle == nullptr || y < 0 || y >= LOGICAL_HEIGHT) return false;
    const SoftRegion& region = *static_cast<const SoftRegion*>(handle);
    for (uint32_t i = region.rowStart[y]; i < region.rowStart[y + 1]; ++i) {
        if (x < region.spans[i].left) return false;
        if (x < region.spans[i].right) return true;
    }
    return false;
}

// Each row's spans are mapped to device pixels corner by corner, as GDI maps
// the rectangles of a region; spans that round to nothing paint nothing.
void SoftFillRegion(DrawContext dc, DrawRegion handle, DrawBrush brush) {
    if (handle == nullptr) return;
    SoftSurface& s = *static_cast<SoftSurface*>(dc);
    const SoftRegion& region = *static_cast<const SoftRegion*>(handle);
    const uint32_t colour = BrushColour(brush);
    for (int y = 0; y < LOGICAL_HEIGHT; ++y) {
        const int64_t top = MapY(s, y);
        const int64_t bottom = MapY(s, y + 1);
        if (top >= bottom) continue;
        for (uint32_t i = region.rowStart[y]; i < region.rowStart[y + 1]; ++i) {
            FillDeviceRect(s,
                           DeviceRect{MapX(s, region.spans[i].left), top,
                                      MapX(s, region.spans[i].right), bottom},
                           colour);
        }
    }
}

}  // namespace

void SoftSurfaceInit(SoftSurface* surface, int32_t width, int32_t height) {
    surface->width = static_cast<int32_t>(Clamp(width, 0, kSoftSurfaceMaxSide));
    surface->height = static_cast<int32_t>(Clamp(height, 0, kSoftSurfaceMaxSide));
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

int SoftRegionsAlive() { return g_regionsAlive.load(std::memory_order_relaxed); }

const DrawOps kSoftDrawOps = {
    SoftCopyBlock,        SoftBlackOut,             SoftCreateSolidBrush, SoftDeleteBrush,
    SoftCreateRectRegion, SoftCreateTriangleRegion, SoftUnionRegion,      SoftDeleteRegion,
    SoftPointInRegion,    SoftFillRegion,
};
