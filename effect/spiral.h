// The spiral engine: its state, the step and colour walk, the feed region,
// the wander of the centre and turning sense, and the lifecycle that the
// effect window (or the reference renderer) drives.
#pragma once

#include <cstdint>

#include "base/draw_lock.h"
#include "effect/draw_ops.h"
#include "effect/effect_platform.h"
#include "effect/random.h"
#include "effect/settings.h"

// The steps of one draw call: the unit in which every host draws, paces and
// counts.
constexpr int kStepsPerDrawCall = 1000;

constexpr uintptr_t TIMER_GLIDE = 1;
constexpr uint32_t TIMER_GLIDE_PERIOD_MS = 200;
constexpr uintptr_t TIMER_COUNTDOWN = 2;
constexpr uint32_t TIMER_COUNTDOWN_PERIOD_MS = 1000;

struct SpiralPoint {
    int32_t x;
    int32_t y;
};

// One spiral: everything the engine knows of it. Each host holds one record
// per spiral (the module one per effect window, so one per monitor) and
// hands it to every procedure of the engine. Two threads touch it, the
// window thread (creation, destruction, timers, control messages) and the
// draw worker (the steps); each field says which may.
struct SpiralState {
    // Set by the caller before SpiralCreate, then under DrawLock.
    SpiralSettings settings;  // what this spiral follows
    RandomGenerator random;   // drawn from by both threads
    // Set by the caller before SpiralCreate, then read only. The lock's
    // owner (the host) deletes it after the spiral.
    DrawLock* lock;
    // Set at creation, then read only, until release.
    int32_t width;            // always LOGICAL_WIDTH
    int32_t height;           // always LOGICAL_HEIGHT
    DrawContext dc;           // mapped to the logical space
    const DrawOps* ops;
    EffectWindow window;      // the timers' and the new-target message's window
    // Under DrawLock: read by the steps, changed by the window thread.
    SpiralPoint centre;
    float angleOffset;        // radians, added to DeltaTheta in every step
    DrawRegion feedRegion;    // or null
    // Under DrawLock: the colour walk's, changed only by the worker once it
    // runs.
    int32_t colour[3];        // red, green, blue in 1/128 intensity units
    int32_t colourVelocity[3];  // 0 in a new record
    DrawBrush brush;          // of the colour before the latest change
    // The worker's only, once it runs.
    int32_t stepCount;        // steps since the last colour change
    int32_t clearing;         // set at creation, cleared at the first change
    // The window thread's only.
    SpiralPoint targetCentre;
    float targetAngleOffset;  // radians
    int32_t direction;        // 1 forward, 0 reversed; 0 in a new record
    int32_t countdown;        // seconds to the next wander target
};

// The draw callback's work: kStepsPerDrawCall steps, each under DrawLock,
// with a colour change every ColChangePer steps. Runs on the draw worker
// only.
void DrawSpiral(SpiralState* state);
// How many calls of DrawSpiral a second the process's step budget allows; 0
// for no budget.
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

// Window creation's part of the engine, in order: width and height, the
// first PickTarget into centre and angleOffset, dc and ops recorded (dc
// already mapped 800 by 600 onto the client area), step count and colour
// zeroed, black brush, feed region built, clearing and direction set to 1,
// countdown started. The caller has set settings, random and lock; no
// worker runs yet.
void SpiralCreate(SpiralState* state, EffectWindow window, DrawContext dc, const DrawOps* ops);
// Window destruction's part: brush and feed region deleted. The caller
// releases its drawing context and its lock. The draw worker must be gone.
void SpiralRelease(SpiralState* state);
// WM_SPIRAL_SETPARAM, inside DrawLock: rows 0..5 change a setting live,
// PARAM_NEW_TARGET picks a target and starts the glide; others do nothing.
void ApplySpiralParameter(SpiralState* state, uint32_t index, int32_t value);
