// One spiral on a software surface, driven by whoever holds it: the
// reference renderer, the X11 hack, the web page and the engine benchmark
// each hold a run of their own and make its draw calls and move its clock on
// their thread. Nothing here is shared between runs, so one process may run
// any number side by side.
//
// A run is started as the effect window's creation starts a spiral, on the
// picture its surface holds. Its clock, which the wander's timers follow, is
// moved on by the holder: by real time (the hack, the live page) or by a
// simulated machine's share of each call (the renderer, the page's still
// frames).
#pragma once

#include <cstdint>

#include "effect/draw_ops.h"
#include "effect/effect_platform_host.h"
#include "effect/settings.h"
#include "effect/soft_surface.h"
#include "effect/spiral.h"

struct SoftRun {
    SoftSurface surface;  // the picture: the holder puts the start picture here
    HostClock clock;      // the wander's timers
    SpiralState spiral;
    double clockMs = 0;   // the clock's exact time; its timers see whole ms
    bool running = false;
};

// Starts the spiral on the surface's picture (which keeps its size) with
// the settings and seed given, the clock at 0. The drawing operations are
// the software surface's unless a holder brings its own (a benchmark's
// counting ones). False when there is no memory for the spiral's lock.
bool SoftRunStart(SoftRun* run, const SpiralSettings& settings, uint32_t seed,
                  const DrawOps* ops = &kSoftDrawOps);

// One draw call: kStepsPerDrawCall steps with their colour changes.
void SoftRunDraw(SoftRun* run);

// Moves the clock on, delivering the timer ticks that fall due; fractions of
// a millisecond are carried to the next move.
void SoftRunMoveClock(SoftRun* run, double milliseconds);

// A new size, the picture stretched to fill it (kept within the surface's
// limits); the surface then holds memory for the new size only. A running
// spiral goes on over the stretched picture: it works in its own logical
// space, mapped onto whatever size the surface has.
void SoftRunResize(SoftRun* run, int32_t width, int32_t height);

// Ends the spiral; the surface keeps its picture. Safe on a run not started.
void SoftRunEnd(SoftRun* run);

// A simulated machine that makes `rate` steps a second: each draw call moves
// the clock on by its share, kStepsPerDrawCall / rate seconds.
double SimulatedMsPerCall(int64_t rate);
// The draw calls it makes in so many seconds: the steps rounded to the
// nearest, then up to whole calls.
int64_t SimulatedDrawCalls(double seconds, int64_t rate);
