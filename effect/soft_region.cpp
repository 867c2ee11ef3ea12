// The software surface's regions, in logical units. A region keeps only its
// part inside the logical space, row by row as sorted, disjoint spans:
// nothing outside the logical space is ever painted or tested.
#include <atomic>
#include <vector>

#include "effect/soft_internal.h"

namespace soft {
namespace {

struct Span {
    int32_t left;
    int32_t right;  // exclusive
};

struct SoftRegion {
    // Spans of row y are spans[rowStart[y] .. rowStart[y + 1]).
    std::vector<uint32_t> rowStart;
    std::vector<Span> spans;
};

}  // namespace

// Regions made and not yet deleted.
std::atomic<int> g_regionsAlive{0};

namespace {

SoftRegion* NewRegion() {
    SoftRegion* region = new SoftRegion;
    region->rowStart.assign(LOGICAL_HEIGHT + 1, 0);
    g_regionsAlive.fetch_add(1, std::memory_order_relaxed);
    return region;
}

// Appends one row's spans, given as sorted [left, right) pairs, clipped to
// the logical width. Rows must be added in order.
void AddSpan(SoftRegion& region, int64_t left, int64_t right) {
    left = std::clamp<int64_t>(left, 0, LOGICAL_WIDTH);
    right = std::clamp<int64_t>(right, 0, LOGICAL_WIDTH);
    if (left >= right) return;
    region.spans.push_back(Span{static_cast<int32_t>(left), static_cast<int32_t>(right)});
}

int64_t CeilDiv(int64_t numerator, int64_t denominator) {
    // denominator > 0
    if (numerator >= 0) return (numerator + denominator - 1) / denominator;
    return -((-numerator) / denominator);
}

}  // namespace

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

}  // namespace soft

int SoftRegionsAlive() { return soft::g_regionsAlive.load(std::memory_order_relaxed); }
