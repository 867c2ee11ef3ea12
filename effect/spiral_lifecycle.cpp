// The engine's part of the effect window's life: its state made at creation,
// released at destruction, and the live parameter changes in between.
#include "effect/control_messages.h"
#include "effect/settings.h"
#include "effect/spiral.h"
#include "effect/spiral_internal.h"

void SpiralCreate(SpiralState* state, EffectWindow window, DrawContext dc, const DrawOps* ops) {
    // No draw worker exists yet, so nothing here needs the lock but the
    // countdown, which takes it for the generator.
    state->window = window;
    state->width = kLogicalWidth;
    state->height = kLogicalHeight;
    // The first pick runs with direction still at its process-start value.
    PickTarget(state, &state->centre, &state->angleOffset);
    state->dc = dc;
    state->ops = ops;
    state->stepCount = 0;
    state->colour[0] = state->colour[1] = state->colour[2] = 0;
    state->brush = ops->createSolidBrush(ColourRefOf(state->colour));
    state->feedRegion = nullptr;
    BuildFeedRegion(state);
    state->clearing = 1;
    state->direction = 1;
    StartCountdown(state);
}

void SpiralRelease(SpiralState* state) {
    if (state->ops != nullptr) {
        if (state->brush != nullptr) state->ops->deleteBrush(state->brush);
        if (state->feedRegion != nullptr) state->ops->deleteRegion(state->feedRegion);
    }
    state->brush = nullptr;
    state->feedRegion = nullptr;
}

void ApplySpiralParameter(SpiralState* state, uint32_t index, int32_t value) {
    SpiralSettings* settings = &state->settings;
    DrawLockHold hold(state->lock);
    switch (index) {
        case ROW_MAX_BK_COLOUR:
        case ROW_COL_CHANGE_PER:
        case ROW_RANDOMNESS:
            ApplyDialogValue(settings, static_cast<int>(index), value);
            break;
        case ROW_DELTA_THETA:
            // A new speed takes effect at once: any drift of the offset is
            // forgotten, and a glide in progress carries on for the centre.
            ApplyDialogValue(settings, ROW_DELTA_THETA, value);
            state->angleOffset = 0.0f;
            state->targetAngleOffset = 0.0f;
            BuildFeedRegion(state);
            break;
        case ROW_GRADIENT:
        case ROW_RESOLUTION:
            ApplyDialogValue(settings, static_cast<int>(index), value);
            BuildFeedRegion(state);
            break;
        case PARAM_NEW_TARGET:
            PickTarget(state, &state->targetCentre, &state->targetAngleOffset);
            EffectSetTimer(state, TIMER_GLIDE, kGlidePeriodMs);
            break;
        default:
            break;
    }
}
