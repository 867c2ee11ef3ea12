// The feed region: the four corner wedges of the logical space that no step
// writes into, each approximated by a right triangle on two edges, through
// which the background colour enters the spiral.
#include <cmath>

#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_internal.h"

namespace {

int32_t RegionCoordinate(int64_t value) {
    return static_cast<int32_t>(ClampToRange(value, kRegionCoordinateLimit));
}

// A leg times tan(alpha), truncated toward zero, plus the plain Resolution,
// all wide: a turn angle near a right angle makes the product huge.
int64_t SecondLeg(int64_t leg, double tangent, int64_t resolution) {
    return int64_t{TruncToInt32(static_cast<double>(leg) * tangent)} + resolution;
}

DrawRegion MakeTriangle(const DrawOps& ops, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                        int64_t x2, int64_t y2, bool mirrored) {
    DrawPoint points[3] = {
        {RegionCoordinate(x0), RegionCoordinate(y0)},
        {RegionCoordinate(x1), RegionCoordinate(y1)},
        {RegionCoordinate(x2), RegionCoordinate(y2)},
    };
    if (mirrored) MirrorPoints(points, 3);
    return ops.createTriangleRegion(points);
}

}  // namespace

int32_t EdgeReach(int32_t p, float alpha, int32_t g, int32_t n) {
    int32_t lo = 0;
    int32_t hi = n;
    float c = 0.0f;
    float d = 0.0f;
    bool searched = false;
    // The search stops at an interval of 2, not 1.
    while (int64_t{hi} - int64_t{lo} > 2) {
        // lo and hi stay within 0..n, so mid is at least 1.
        const int32_t mid = static_cast<int32_t>((int64_t{lo} + int64_t{hi}) >> 1);
        const float phi = static_cast<float>(std::atan(static_cast<double>(p) / mid));
        d = static_cast<float>(static_cast<double>(p) / std::sin(static_cast<double>(phi)));
        d = static_cast<float>(static_cast<double>(d) - static_cast<double>(g));
        c = static_cast<float>(static_cast<double>(alpha) + static_cast<double>(phi));
        const int64_t h = TruncToInt32(std::sin(static_cast<double>(c)) * d);
        if (int64_t{p} - h > 0) {
            lo = mid;  // the image still lies inside the edge
        } else {
            hi = mid;
        }
        searched = true;
    }
    // A range of 2 or less makes no pass, so there is no crossing to report:
    // the reach is then taken as none at all.
    if (!searched) return 0;
    return TruncToInt32(std::cos(static_cast<double>(c)) * d);
}

void MirrorPoints(DrawPoint* points, int count) {
    for (int i = 0; i < count; ++i) {
        points[i].x = ClampToInt32(int64_t{kLogicalWidth} - points[i].x);
    }
}

void BuildFeedRegion(SpiralState* spiral) {
    const SpiralSettings& settings = spiral->settings;
    SpiralState& state = *spiral;
    const DrawOps& ops = *state.ops;
    constexpr int64_t W = kLogicalWidth;
    constexpr int64_t H = kLogicalHeight;
    const int64_t resolution = settings.Resolution;

    if (state.feedRegion != nullptr) {
        ops.deleteRegion(state.feedRegion);
        state.feedRegion = nullptr;
    }

    float alpha = settings.DeltaTheta + state.angleOffset;
    const bool mirrored = alpha < 0;

    // An outward push leaves the middle uncovered instead of the corners.
    if (settings.Gradient < 0) {
        state.feedRegion = ops.createRectRegion(RegionCoordinate(W >> 1), RegionCoordinate(H >> 1),
                                                RegionCoordinate((W >> 1) + resolution),
                                                RegionCoordinate((H >> 1) + resolution));
        return;
    }

    int64_t px = state.centre.x;
    const int64_t py = state.centre.y;
    if (mirrored) {
        px = W - px;
        alpha = -alpha;
    }
    const int64_t margin = resolution < 5 ? 5 : resolution;
    const int32_t gradient = settings.Gradient;

    // For the right leg the first argument is the distance to the left edge,
    // and for the left leg the distance to the right edge; the two agree only
    // while the centre's x is 400.
    // The legs along the edges (top, right, bottom, left), summed wide.
    const int64_t lt =
        px + EdgeReach(ClampToInt32(py), alpha, gradient, ClampToInt32(W - px)) + margin;
    const int64_t lr =
        py + EdgeReach(ClampToInt32(px), alpha, gradient, ClampToInt32(H - py)) + margin;
    const int64_t lb =
        (W - px) + EdgeReach(ClampToInt32(H - py), alpha, gradient, ClampToInt32(px)) + margin;
    const int64_t ll =
        (H - py) + EdgeReach(ClampToInt32(W - px), alpha, gradient, ClampToInt32(py)) + margin;

    // The legs across them, grown by the plain Resolution, not the margin.
    const double tangent = std::tan(static_cast<double>(alpha));
    const int64_t dt = SecondLeg(lt, tangent, resolution);
    const int64_t dr = SecondLeg(lr, tangent, resolution);
    const int64_t db = SecondLeg(lb, tangent, resolution);
    const int64_t dl = SecondLeg(ll, tangent, resolution);

    // Top-left first; then bottom-left, bottom-right and top-right, each
    // made, united into the region and deleted in turn.
    state.feedRegion = MakeTriangle(ops, 0, 0, lt, 0, 0, dt, mirrored);
    const int64_t corners[3][6] = {
        {0, H, 0, H - ll, dl, H},
        {W, H, W - lb, H, W, H - db},
        {W, 0, W, lr, W - dr, 0},
    };
    for (const auto& t : corners) {
        DrawRegion corner = MakeTriangle(ops, t[0], t[1], t[2], t[3], t[4], t[5], mirrored);
        ops.unionRegion(state.feedRegion, corner);
        ops.deleteRegion(corner);
    }
}
