// The host build's stand-in for the effect window's platform: a simulated
// clock with a table of periodic timers in place of the window's SetTimer and
// WM_TIMER.
//
// Nothing runs by itself: the reference renderer and the tests advance the
// clock, and every tick that falls due is delivered, in time order, by
// calling OnEffectTimer on the calling thread, as a window's message loop
// would on its UI thread. The new-target message is handled synchronously by
// calling ApplySpiralParameter, as SendMessageA to the window itself would.
#pragma once

#include <cstdint>

#include "effect/effect_platform.h"

// Removes every timer and sets the clock back to 0.
void HostTimersReset();

// The simulated time in milliseconds.
uint64_t HostTimeMs();

// Moves the clock forward, delivering every tick due up to the new time.
// Ticks due at the same moment arrive in the order their timers were set.
void HostAdvanceTime(uint64_t milliseconds);

// Whether the given timer runs, and when it next falls due (0 if it does not
// run).
bool HostTimerRunning(EffectWindow window, uintptr_t id);
uint64_t HostTimerDue(EffectWindow window, uintptr_t id);

// How many new-target messages have been sent since the last reset.
uint64_t HostNewTargetsSent();
