// The drawing engine: one spiral step drags a small block of the picture a
// little round the centre and a little nearer to it; every few thousand
// steps the background colour walks on and floods the feed region.
#include <cmath>
#include <cstdlib>

#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_internal.h"

namespace {

int32_t BlockCoordinate(int64_t value) {
    return static_cast<int32_t>(ClampToRange(value, kBlockCoordinateLimit));
}

}  // namespace

void DrawSpiral(SpiralState* state) {
    // The worker keeps DrawLock from one step to the next and hands it over
    // between two steps as soon as the UI thread asks for it: the UI thread
    // never waits longer than a step, and a step pays for no lock of its own.
    // Every step and colour change, and every read of the settings, happens
    // under the lock. Once a stop is asked the call ends after the step in
    // progress, so a closing window waits for no more than one step, and a
    // worker held while the stop came draws nothing more.
    if (!EnterDrawLockForWorker(state->lock)) return;
    for (int i = 0; i < kStepsPerDrawCall; ++i) {
        if (!HandOverDrawLock(state->lock)) break;
        SpiralStep(state, state->dc);
        // stepCount never exceeds a period that fits in 32 bits, so the
        // increment cannot overflow.
        state->stepCount += 1;
        if (state->stepCount >= state->settings.ColChangePer) {
            state->stepCount = 0;
            state->clearing = 0;
            ColourWalk(state, state->dc);
        }
    }
    LeaveDrawLockForWorker(state->lock);
}

double SpiralDrawCallsPerSecond() {
    return static_cast<double>(g_spiralSettings.StepsPerSecond) / kStepsPerDrawCall;
}

void SpiralStep(SpiralState* spiral, DrawContext dc) {
    const SpiralSettings& settings = spiral->settings;
    SpiralState& state = *spiral;
    const DrawOps& ops = *state.ops;
    const int64_t resolution = settings.Resolution;

    // The last column and row are never a source.
    // The logical space is always 800 by 600 (the record's width and height
    // say so too); as constants, the remainders cost a multiplication rather
    // than a division.
    static_assert(LOGICAL_WIDTH == 800 && LOGICAL_HEIGHT == 600, "the logical space");
    const int64_t x = RandomMod(&state.random, LOGICAL_WIDTH - 1);
    const int64_t y = RandomMod(&state.random, LOGICAL_HEIGHT - 1);

    // While the first colour period lasts, the feed region is wiped block by
    // block instead of being dragged inward. The region is asked only then:
    // afterwards its answer would change nothing.
    if (state.clearing &&
        ops.pointInRegion(state.feedRegion, static_cast<int32_t>(x), static_cast<int32_t>(y))) {
        ops.blackOut(dc, static_cast<int32_t>(x), static_cast<int32_t>(y),
                     BlockCoordinate(resolution), BlockCoordinate(resolution));
        return;
    }

    // Twice the jitter is taken 64 bits wide: a Randomness near the 32-bit
    // limit must not overflow.
    const int64_t randomness = settings.Randomness;
    const int64_t jx = RandomMod(&state.random, 2 * randomness) - randomness;
    const int64_t jy = RandomMod(&state.random, 2 * randomness) - randomness;

    const int64_t cx = state.centre.x;
    const int64_t cy = state.centre.y;
    const int64_t dx = x - cx;
    const int64_t dy = y - cy;

    double phi;
    if (dx != 0) {
        phi = std::atan(static_cast<double>(dy) / static_cast<double>(dx));
        if (dx < 0) phi += kPi;
    } else {
        phi = dy > 0 ? kHalfPi : kThreeHalvesPi;
    }
    // The squares are summed exactly in double precision (they are small
    // integers), and without overflow for any centre.
    const double fx = static_cast<double>(dx);
    const double fy = static_cast<double>(dy);
    const double r = std::sqrt(fx * fx + fy * fy) - static_cast<double>(settings.Gradient);
    // The two 32-bit floats are summed in double precision, not rounded to a
    // float first.
    const double theta = phi - (static_cast<double>(settings.DeltaTheta) +
                                static_cast<double>(state.angleOffset));
    const int64_t ex = TruncToInt32(std::cos(theta) * r);
    const int64_t ey = TruncToInt32(std::sin(theta) * r);

    // A destination close to the centre takes a block no larger than its
    // distance from it; anywhere else the block is Resolution square, cut
    // only by the right and bottom edges as seen from the source.
    const int64_t a = std::llabs(ex) + 1;
    const int64_t b = std::llabs(ey) + 1;
    int64_t width;
    int64_t height;
    if (a <= resolution && b <= resolution) {
        width = a;
        height = b;
    } else {
        width = resolution;
        height = resolution;
        if (x > int64_t{state.width} - resolution) width = state.width - x;
        if (y > int64_t{state.height} - resolution) height = state.height - y;
    }

    ops.copyBlock(dc, BlockCoordinate(cx + ex + jx), BlockCoordinate(cy + ey + jy),
                  BlockCoordinate(width), BlockCoordinate(height), static_cast<int32_t>(x),
                  static_cast<int32_t>(y));
}

void ColourWalk(SpiralState* spiral, DrawContext dc) {
    SpiralState& state = *spiral;
    const DrawOps& ops = *state.ops;
    const int64_t maximum = state.settings.MaxBkColour;

    for (int channel = 0; channel < 3; ++channel) {
        // Wide: a channel near a MaxBkColour close to the 32-bit limit plus
        // its velocity would overflow.
        const int64_t moved =
            int64_t{state.colour[channel]} + int64_t{state.colourVelocity[channel]};
        if (moved <= 0) {
            state.colour[channel] = 0;
            state.colourVelocity[channel] = static_cast<int32_t>(128 + RandomMod(&state.random, 128));
        } else if (moved >= maximum) {
            state.colour[channel] = static_cast<int32_t>(maximum);
            state.colourVelocity[channel] = static_cast<int32_t>(-128 - RandomMod(&state.random, 128));
        } else {
            state.colour[channel] = static_cast<int32_t>(moved);
        }
    }

    // The flood shows the colour of the previous change; the brush for the
    // next one is made from the channels just moved.
    ops.fillRegion(dc, state.feedRegion, state.brush);
    ops.deleteBrush(state.brush);
    state.brush = ops.createSolidBrush(ColourRefOf(state.colour));
}
