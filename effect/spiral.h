// The spiral engine: its state, the step and colour walk, the feed region,
// the wander of the centre and turning sense, and the lifecycle that the
// effect window (or the reference renderer) drives.
#pragma once

#include <cstdint>

#include "effect/draw_ops.h"
#include "effect/effect_platform.h"
#include "effect/random.h"
#include "effect/settings.h"

constexpr int32_t LOGICAL_WIDTH = 800;
constexpr int32_t LOGICAL_HEIGHT = 600;

constexpr uintptr_t TIMER_GLIDE = 1;
constexpr uint32_t TIMER_GLIDE_PERIOD_MS = 200;
constexpr uintptr_t TIMER_COUNTDOWN = 2;
constexpr uint32_t TIMER_COUNTDOWN_PERIOD_MS = 1000;

struct SpiralPoint {
    int32_t x;
    int32_t y;
};

// One per effect window (the saver has one window per monitor), created at
// the window's creation and released at its destruction, and handed to every
// procedure of the engine.
struct SpiralState {
    int32_t width;   // always LOGICAL_WIDTH
    int32_t height;  // always LOGICAL_HEIGHT
    DrawContext dc;  // mapped to the logical space; creation to destruction
    const DrawOps* ops;
    EffectWindow window;      // the timers' and the new-target message's window
    DrawLock* lock;           // DrawLock of this spiral
    // The settings this spiral follows and the generator it draws from. Set
    // by the caller before creation; null takes the process's own.
    SpiralSettings* settings;
    RandomGenerator* random;
    SpiralPoint centre;
    SpiralPoint targetCentre;
    float angleOffset;        // radians, added to DeltaTheta in every step
    float targetAngleOffset;  // radians
    int32_t direction;        // 1 forward, 0 reversed; 0 at process start
    int32_t countdown;        // seconds to the next wander target
    int32_t stepCount;        // steps since the last colour change
    int32_t colour[3];        // red, green, blue in 1/128 intensity units
    int32_t colourVelocity[3];  // 0 at process start; not reset at creation
    DrawBrush brush;          // of the colour before the latest change
    int32_t clearing;         // set at creation, cleared at the first change
    DrawRegion feedRegion;    // or null
};

// The draw callback's work: 1000 steps, each under DrawLock, with a colour
// change every ColChangePer steps. Runs on the draw worker only.
void DrawSpiral(SpiralState* state);
// How many calls of DrawSpiral a second the step budget allows; 0 for no
// budget.
double SpiralDrawCallsPerSecond();
// One step on dc; the caller holds DrawLock.
void SpiralStep(SpiralState* state, DrawContext dc);
// One colour change and flood on dc; the caller holds DrawLock.
void ColourWalk(SpiralState* state, DrawContext dc);

// Rebuilds feedRegion from the settings, centre and angle offset.
void BuildFeedRegion(SpiralState* state);
int32_t EdgeReach(int32_t p, float alpha, int32_t g, int32_t n);
void MirrorPoints(DrawPoint* points, int count);

// The wander.
void PickTarget(SpiralState* state, SpiralPoint* point, float* offset);
int32_t GlideTick(SpiralState* state);
void StartCountdown(SpiralState* state);
void OnEffectTimer(SpiralState* state, uintptr_t timerId);

// Window creation's part of the engine, in order: DrawLock made, width and
// height, the first PickTarget into centre and angleOffset, dc and ops
// recorded (dc already mapped 800 by 600 onto the client area), step count
// and colour zeroed, black brush, feed region built, clearing and direction
// set to 1, countdown started. False, with nothing made, when the lock cannot
// be made.
bool SpiralCreate(SpiralState* state, EffectWindow window, DrawContext dc, const DrawOps* ops);
// Window destruction's part: brush and feed region deleted, DrawLock deleted.
// The caller releases its drawing context. The draw worker must be gone.
void SpiralRelease(SpiralState* state);
// WM_SPIRAL_SETPARAM, inside DrawLock: rows 0..5 change a setting live,
// PARAM_NEW_TARGET picks a target and starts the glide; others do nothing.
void ApplySpiralParameter(SpiralState* state, uint32_t index, int32_t value);
