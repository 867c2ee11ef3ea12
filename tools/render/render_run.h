// A reference run: one spiral on a surface, driven in draw calls of 1000
// steps on a simulated clock that each call moves on by 1000 / rate seconds,
// so that a run shows what a machine making that many steps a second would
// show. gyrel-render and the web page's still frames share it, so that the
// page draws exactly the renderer's frames.
#pragma once

#include <cstdint>

#include "effect/settings.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"

struct RenderRun {
    SpiralState spiral;
    int64_t calls;      // draw calls in the whole run
    int64_t callsDone;
    double clockMs;
    double msPerCall;
};

// The draw calls that a run of so many seconds at so many steps a second
// makes: the steps rounded to the nearest, then up to whole calls.
int64_t RenderRunCalls(double seconds, int64_t rate);

// Starts the spiral on the surface (which holds the start picture and must
// outlive the run) as the effect window's creation does, with the clock at 0.
// False when there is no memory for the spiral's lock.
bool RenderRunStart(RenderRun* run, SoftSurface* surface, const SpiralSettings& settings,
                    uint32_t seed, int64_t rate, double seconds);

// One draw call, then the timer ticks that fell due while it ran.
void RenderRunCall(RenderRun* run);

void RenderRunEnd(RenderRun* run);
