// The wander: the centre drifts within a band around the middle, and the
// turning now and then slows, stops and reverses. A countdown of a few
// seconds picks a new target; a glide of one unit and 0.2 degree per tick
// carries the centre and the angle offset to it.
#include "effect/random.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_internal.h"

void PickTarget(SpiralState* state, SpiralPoint* point, float* offset) {
    constexpr int32_t W = kLogicalWidth;
    constexpr int32_t H = kLogicalHeight;
    constexpr int32_t kBandWidth = static_cast<int32_t>(W * 0.1875);  // 150

    // 325 + (random mod 150): a band of 150 units centred on the middle.
    const double band = static_cast<double>(RandomMod(&state->random, kBandWidth));
    point->x = static_cast<int32_t>(band - W * 0.09375 + (W >> 1));
    point->y = H >> 1;

    // A whole number of tenths of a degree, -0.5 .. +0.4.
    const double tenths = static_cast<double>(RandomMod(&state->random, 10) - 5) / 10.0;
    float angle = static_cast<float>(tenths * (1.0 / 180.0) * kPi);

    // One pick in five changes the kind of target.
    if (RandomMod(&state->random, 5) == 0) state->direction = state->direction ? 0 : 1;
    // A reversed target lies twice the turn angle lower: gliding there passes
    // the turn angle through zero.
    if (state->direction == 0) {
        angle = static_cast<float>(static_cast<double>(angle) -
                                   2.0 * static_cast<double>(state->settings.DeltaTheta));
    }
    *offset = angle;
}

namespace {

// One unit and 0.2 degree nearer the target; the caller holds DrawLock.
void MoveTowardsTarget(SpiralState* spiral) {
    SpiralState& state = *spiral;
    if (state.targetCentre.x < state.centre.x) {
        state.centre.x -= 1;
    } else if (state.targetCentre.x > state.centre.x) {
        state.centre.x += 1;
    }

    // The last step is snapped to the target, so arrival is an exact match.
    // So is a step too small to move a float as large as the offset (an
    // enormous DeltaTheta from the settings file): the glide would never end.
    const float offset = state.angleOffset;
    if (offset > state.targetAngleOffset) {
        float moved = static_cast<float>(static_cast<double>(offset) - kGlideAngleStep);
        if (moved < state.targetAngleOffset || moved == offset) moved = state.targetAngleOffset;
        state.angleOffset = moved;
    } else if (offset < state.targetAngleOffset) {
        float moved = static_cast<float>(static_cast<double>(offset) + kGlideAngleStep);
        if (moved > state.targetAngleOffset || moved == offset) moved = state.targetAngleOffset;
        state.angleOffset = moved;
    }

    BuildFeedRegion(spiral);
}

}  // namespace

int32_t GlideTick(SpiralState* spiral) {
    {
        DrawLockHold hold(spiral->lock);
        MoveTowardsTarget(spiral);
    }
    // Only this thread writes the centre and the offset, so reading them
    // after leaving the lock is safe.
    const bool arrived = spiral->centre.x == spiral->targetCentre.x &&
                         spiral->angleOffset == spiral->targetAngleOffset;
    return arrived ? 0 : 1;
}

void StartCountdown(SpiralState* state) {
    // The spiral's generator is only ever used under its lock.
    {
        DrawLockHold hold(state->lock);
        state->countdown = static_cast<int32_t>(3 + RandomMod(&state->random, 27));
    }
    EffectSetTimer(state, TIMER_COUNTDOWN, kCountdownPeriodMs);
}

void OnEffectTimer(SpiralState* state, uintptr_t timerId) {
    if (timerId == TIMER_GLIDE) {
        if (GlideTick(state) == 0) {
            EffectKillTimer(state, TIMER_GLIDE);
            StartCountdown(state);
        }
    } else if (timerId == TIMER_COUNTDOWN) {
        // A stray tick after the countdown ended counts on below zero and
        // does nothing; only the 32-bit floor is guarded.
        if (state->countdown > INT32_MIN) state->countdown -= 1;
        if (state->countdown == 0) {
            EffectKillTimer(state, TIMER_COUNTDOWN);
            EffectSendNewTarget(state);
        }
    }
}
