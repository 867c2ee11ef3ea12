// The software surface's block copies: the same rows moved, or stretched
// where the mapping rounded the two rectangles' extents differently.
#include <cstring>

#include "effect/soft_internal.h"

namespace soft {
namespace {

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
        const uint32_t* from =
            s.pixels.data() + (row - offsetY) * s.width + (target.left - offsetX);
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
    bool backwards;  // the extents are negative: walk from the far end
    bool aligned;    // equal lengths: pixel for pixel, from alignStart
    int64_t alignStart;
};

StretchAxisMap MapAxis(int64_t dstStart, int64_t dstEnd, int64_t srcStart, int64_t srcEnd,
                       int64_t dstVisibleStart, bool backwards, bool otherHalvesTwo) {
    StretchAxisMap axis{dstStart, srcStart, dstEnd - dstStart, srcEnd - srcStart, backwards,
                        false,    0};
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
    const bool halvesAcross =
        dstRect.right - dstRect.left == 1 && srcRect.right - srcRect.left == 2;
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

}  // namespace

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

}  // namespace soft
